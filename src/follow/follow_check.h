#pragma once

#include "catalogue/performer_works.h"
#include "store/library_db.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zorvan {

// Why a listing cannot be used.
enum class ListingFault {
    None,
    Unreachable,  // nothing came from the service
    NotFound,     // the service says there is no such performer
    NotAList,     // it answered something else
};
ListingFault listingFaultOf(const PerformerWorks& listing);

// The listing as the library records it, each work with its key.
std::vector<SeenWork> seenWorksOf(const std::vector<ListedWork>& works);

// One check of a followed performer: its works listed and recorded (a
// failure recorded as `failureText(fault)`, the works seen before kept).
struct FollowCheck {
    ListingFault fault = ListingFault::None;
    int firstSeen = 0;             // works the library had not seen of it
    std::string storeError;        // the database could not be written; empty when it could
};
FollowCheck checkFollowed(LibraryDb& db, const std::string& serviceAddress, const std::string& performer,
                          const std::function<std::string(ListingFault)>& failureText, std::int64_t now);

}  // namespace zorvan
