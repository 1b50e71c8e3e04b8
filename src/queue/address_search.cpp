#include "queue/address_search.h"

#include "download/part_record.h"
#include "web/http_fetch.h"

namespace zorvan {

AddressSearch::AddressSearch(const Finder& finder, const Work& work)
    : worker_([this, finder, work](std::stop_token stop) {
          const FetchStopScope stoppable(stop);
          std::string found = finder(work);
          std::lock_guard hold(lock_);
          address_ = std::move(found);
          done_ = true;
      }) {}

AddressSearch::~AddressSearch() {
    worker_.request_stop();
    worker_.join();
}

bool AddressSearch::ready() const {
    std::lock_guard hold(lock_);
    return done_;
}

std::string AddressSearch::address() const {
    std::lock_guard hold(lock_);
    return address_;
}

bool moveRecordAddress(const std::string& path, const std::string& oldAddress, const std::string& newAddress) {
    std::optional<PartRecord> record = loadPartRecord(recordPathOf(path));
    if (!record || record->address != oldAddress) return false;
    record->address = newAddress;
    return savePartRecord(recordPathOf(path), *record, true);
}

}  // namespace zorvan
