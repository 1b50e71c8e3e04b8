#include "follow/follow_check.h"

#include "download_policy/work_file.h"

namespace zorvan {

ListingFault listingFaultOf(const PerformerWorks& listing) {
    if (!listing.reached) return ListingFault::Unreachable;
    if (listing.understood || !listing.works.empty()) return ListingFault::None;
    const std::string& said = listing.serviceMessage;
    if (said.find("no such") != std::string::npos || said.find("not found") != std::string::npos)
        return ListingFault::NotFound;
    return ListingFault::NotAList;
}

std::vector<SeenWork> seenWorksOf(const std::vector<ListedWork>& works) {
    std::vector<SeenWork> seen;
    seen.reserve(works.size());
    const std::vector<int> repeats = listedRepeats(works);
    for (std::size_t i = 0; i < works.size(); ++i) {
        const ListedWork& work = works[i];
        seen.push_back({work.sequence, work.songName, work.address, workKey(work.address), work.id, repeats[i]});
    }
    return seen;
}

FollowCheck checkFollowed(LibraryDb& db, const std::string& serviceAddress, const std::string& performer,
                          const std::function<std::string(ListingFault)>& failureText, std::int64_t now) {
    const PerformerWorks listing = listPerformerWorks(serviceAddress, performer);
    FollowCheck check;
    check.fault = listingFaultOf(listing);
    const std::string failure = check.fault == ListingFault::None ? std::string() : failureText(check.fault);
    const int fresh = db.follows().recordCheck(performer, seenWorksOf(listing.works), failure, now, check.storeError);
    check.firstSeen = fresh < 0 ? 0 : fresh;
    return check;
}

}  // namespace zorvan
