#include "cli/works_listing.h"

#include "catalogue/works_retrieval.h"
#include "cli/network_setup.h"
#include "cli/terminal.h"
#include "follow/follow_check.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <thread>

namespace zorvan::cli {

namespace {

// The listing's progress on a console, in the chosen style; the bar's line
// is cleared when the listing ends.
class ConsoleProgress {
public:
    ~ConsoleProgress() {
        if (drawn_) std::fprintf(stderr, "\r\033[K");
    }
    void operator()(WorksView::Step step, std::size_t at, std::size_t of) {
        const std::string line = (step == WorksView::Step::Pages ? "fetching page " : "reading works ") +
                                 std::to_string(at) + "/" + std::to_string(of);
        const ProgressStyle style = progressStyle();
        if (style == ProgressStyle::Bar) {
            std::fprintf(stderr, "\r\033[K%s", line.c_str());
            drawn_ = true;
        }
        // Plain lines only for pages: one per work would flood a log.
        if (style == ProgressStyle::Line && step == WorksView::Step::Pages) std::fprintf(stderr, "%s\n", line.c_str());
    }

private:
    bool drawn_ = false;
};

}  // namespace

WorksListing listWorks(const std::string& serviceAddress, const std::string& performerId, int retries,
                       int retryWaitSeconds) {
    const std::string address = worksAddressFor(serviceAddress);
    for (int attempt = 0;; ++attempt) {
        WorksListing listing;
        {
            ConsoleProgress shown;
            static_cast<PerformerWorks&>(listing) =
                listPerformerWorks(serviceAddress, performerId, [&shown](auto step, auto at, auto of) { shown(step, at, of); });
        }
        // Nothing usable came: the request that brought nothing says why.
        if (!listing.reached || (!listing.understood && listing.works.empty()))
            listing.cause = causeOfFetch(lastHttpFetchReport(), address);
        if (listing.reached || attempt >= retries || interrupted) return listing;
        if (!quiet())
            std::fprintf(stderr, "zorvan-cli: %s; trying again in %d s\n", causeText(listing.cause).c_str(),
                         retryWaitSeconds);
        for (int waited = 0; waited < retryWaitSeconds * 10 && !interrupted; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

Verdict listingFault(const WorksListing& listing, const std::string& serviceAddress, const std::string& performerId) {
    if (!listing.reached)
        return {"cannot list the works at " + serviceAddress + ": " + causeText(listing.cause), exitCodeOf(listing.cause)};
    if (!listing.understood && listing.works.empty()) {
        const std::string said = listing.serviceMessage;
        if (listingFaultOf(listing) == ListingFault::NotFound)
            return {"performer " + performerId + " not found (the service says \"" + said + "\")", exitCode::refused};
        if (listing.cause.kind == CauseKind::HttpStatus)
            return {"cannot list the works at " + serviceAddress + ": " + causeText(listing.cause), exitCode::refused};
        return {"the service at " + serviceAddress + " did not answer with a works list" +
                    (said.empty() ? std::string() : " (it says \"" + said + "\")"),
                exitCode::refused};
    }
    return {{}, exitCode::done};
}

std::vector<ListedWork> selectWorks(const std::vector<ListedWork>& works, const WorkSelection& selection) {
    const auto lower = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    const std::string match = lower(selection.match);
    std::vector<ListedWork> chosen;
    for (const ListedWork& work : works) {
        if (selection.max > 0 && static_cast<int>(chosen.size()) >= selection.max) break;
        bool listed = selection.items.empty();
        for (const auto& [first, last] : selection.items) listed = listed || (work.sequence >= first && work.sequence <= last);
        if (!listed) continue;
        if (!match.empty() && lower(work.songName).find(match) == std::string::npos) continue;
        chosen.push_back(work);
    }
    return chosen;
}

}  // namespace zorvan::cli
