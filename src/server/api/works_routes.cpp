#include "server/api/api_routes.h"

#include "follow/follow_check.h"
#include "catalogue/performer_works.h"
#include "media_files/work_sidecars.h"
#include "server/service/server_downloads.h"
#include "store/known_files.h"

#include <algorithm>
#include <unordered_map>

namespace zorvan {

using nlohmann::json;

namespace {

// The performer's works as the service lists them now; 404 when it knows
// no such performer, 503 when it cannot be used.
std::vector<ListedWork> listed(ServerParts& parts, const std::string& performer) {
    const PerformerWorks listing = listPerformerWorks(parts.downloads.place().serviceAddress, performer);
    switch (listingFaultOf(listing)) {
        case ListingFault::None: return listing.works;
        case ListingFault::NotFound: refuse(404, "the service knows no performer " + performer);
        case ListingFault::Unreachable: refuse(503, "the service cannot be reached");
        case ListingFault::NotAList: break;
    }
    refuse(503, "the service did not answer with a works list");
}

void listWorks(ServerParts& parts, Exchange& x) {
    const std::string& performer = x.params[0];
    const std::vector<ListedWork> works = listed(parts, performer);
    std::string error;
    const KnownFiles known = readKnownFiles(parts.downloads.place().libraryPath(), error, false);
    if (!error.empty()) refuse(503, "the library cannot be read: " + error);
    const std::string folder = parts.downloads.folder();
    const ServerSettings settings = parts.downloads.settings();
    const std::unordered_map<std::string, int> queued = parts.downloads.unsettledPaths();
    const std::vector<Work> asWorks = parts.downloads.worksOf(performer, works);
    const std::vector<int> repeats = listedRepeats(works);
    json list = json::array();
    std::vector<WorkMedia> saved;  // works whose files are here, as listed now
    for (std::size_t i = 0; i < works.size(); ++i) {
        const ListedWork& work = works[i];
        const Work& asWork = asWorks[i];
        const WorkIdentity identity{workKey(asWork.address), performer, work.sequence, work.songName, work.id,
                                    repeats[i]};
        if (settings.withMediaFiles())
            if (std::string own = ownFileOf(known, identity, folder, settings.naming); !own.empty())
                saved.push_back({std::move(own), work.songName, performer, work.sequence, 0, asWork.service});
        const auto there = queued.find(asWork.path);
        const json queuedId = there == queued.end() ? json(nullptr) : json(there->second);
        json item = {{"sequence", work.sequence},
                     {"song", work.songName},
                     {"title", asWork.title},
                     {"address", asWork.address},
                     {"downloaded", workFileThere(known, identity, folder, settings.naming)},
                     {"queued", queuedId}};
        if (!work.id.empty()) item["workId"] = work.id;
        list.push_back(std::move(item));
    }
    // Their media-server files follow the record (a song renamed on the service).
    parts.downloads.refreshMediaFiles(std::move(saved));
    x.reply({{"performer", performer}, {"works", std::move(list)}});
}

// Queues a performer's works by their sequence numbers (all when none are named).
void downloadWorks(ServerParts& parts, Exchange& x) {
    const std::string& performer = x.params[0];
    const json body = x.body();
    std::vector<int> wanted;
    if (body.contains("sequences")) wanted = idsOf(body, "sequences");
    std::vector<Work> works = parts.downloads.worksOf(performer, listed(parts, x.params[0]));
    std::erase_if(works, [&](const Work& work) {
        return !wanted.empty() && std::find(wanted.begin(), wanted.end(), work.sequence) == wanted.end();
    });
    if (works.empty()) refuse(422, "none of those sequence numbers is listed");
    x.reply({{"ids", parts.downloads.enqueue(works)}}, 201);
}

}  // namespace

void addWorksRoutes(ApiRoutes& routes, ServerParts* parts) {
    routes.add("GET", "/api/performers/{performer}/works", Access::Session,
               [parts](Exchange& x) { listWorks(*parts, x); });
    routes.add("POST", "/api/performers/{performer}/download", Access::Session,
               [parts](Exchange& x) { downloadWorks(*parts, x); });
}

}  // namespace zorvan
