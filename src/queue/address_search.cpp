#include "queue/address_search.h"

#include "download/part_record.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace zorvan {

struct AddressSearch::Shared {
    mutable std::mutex lock;
    std::condition_variable ended;
    bool done = false;
    std::string address;
};

AddressSearch::AddressSearch(const Finder& finder, const Work& work) : shared_(std::make_shared<Shared>()) {
    std::thread([shared = shared_, finder, work] {
        std::string found = finder(work);
        std::lock_guard hold(shared->lock);
        shared->address = std::move(found);
        shared->done = true;
        shared->ended.notify_all();
    }).detach();
}

AddressSearch::~AddressSearch() {
    std::unique_lock hold(shared_->lock);
    shared_->ended.wait_for(hold, std::chrono::seconds(2), [this] { return shared_->done; });
}

bool AddressSearch::ready() const {
    std::lock_guard hold(shared_->lock);
    return shared_->done;
}

std::string AddressSearch::address() const {
    std::lock_guard hold(shared_->lock);
    return shared_->address;
}

bool moveRecordAddress(const std::string& path, const std::string& oldAddress, const std::string& newAddress) {
    std::optional<PartRecord> record = loadPartRecord(recordPathOf(path));
    if (!record || record->address != oldAddress) return false;
    record->address = newAddress;
    return savePartRecord(recordPathOf(path), *record, true);
}

}  // namespace zorvan
