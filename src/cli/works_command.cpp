#include "cli/works_command.h"

#include "cli/network_setup.h"
#include "cli/terminal.h"
#include "cli/works_listing.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>

namespace zorvan::cli {

namespace {

bool printJson(const std::vector<ListedWork>& works) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const ListedWork& work : works)
        list.push_back({{"sequence", work.sequence}, {"songName", work.songName}, {"address", work.address}});
    return printOut(list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
}

}  // namespace

int runWorks(const WorksOptions& options) {
    // A listing's progress is for a person at a terminal, not for a log.
    const bool plain = options.display.progress == ProgressStyle::Auto && !onTerminal();
    setOutputStyle(plain ? ProgressStyle::None : options.display.progress, options.display.quiet);
    std::string error;
    if (!applyFetchNetwork(options.network, options.service, error)) {
        std::fprintf(stderr, "zorvan-cli: %s\n", error.c_str());
        return exitCode::usage;
    }
    warnIfInsecure(options.network);
    const WorksListing listing = listWorks(options.service, options.performerId, options.network.retries.value_or(0),
                                           options.network.retryWaitSeconds);
    if (interrupted) return interruptedExitCode();
    if (const Verdict fault = listingFault(listing, options.service, options.performerId); !fault.text.empty()) {
        std::fprintf(stderr, "zorvan-cli: %s\n", fault.text.c_str());
        return fault.exitCode;
    }
    const std::vector<ListedWork> works = selectWorks(listing.works, options.selection);
    bool written = true;
    if (options.json) {
        written = printJson(works);
    } else {
        for (const ListedWork& work : works)
            written = printOut(std::to_string(work.sequence) + "\t" + work.songName + "\t" + work.address) && written;
    }
    written = std::fflush(stdout) == 0 && written;
    if (!written) {
        std::fprintf(stderr, "zorvan-cli: cannot write the listing to standard output: %s\n",
                     systemText(errno).c_str());
        return exitCode::localFile;
    }
    if (listing.works.empty())
        std::fprintf(stderr, "zorvan-cli: performer %s has no works\n", options.performerId.c_str());
    else if (works.empty())
        std::fprintf(stderr, "zorvan-cli: none of the %zu works is chosen\n", listing.works.size());
    return exitCode::done;
}

}  // namespace zorvan::cli
