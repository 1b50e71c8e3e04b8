#include "queue/address_search.h"

#include "download/part_record.h"

namespace zorvan {

bool moveRecordAddress(const std::string& path, const std::string& oldAddress, const std::string& newAddress) {
    std::optional<PartRecord> record = loadPartRecord(recordPathOf(path));
    if (!record || record->address != oldAddress) return false;
    record->address = newAddress;
    return savePartRecord(recordPathOf(path), *record, true);
}

}  // namespace zorvan
