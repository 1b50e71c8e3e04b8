#pragma once

#include "cli/cli_options.h"
#include "cli/failure_report.h"
#include "download/failure_cause.h"

#include <string>
#include <vector>

namespace zorvan::cli {

struct ListedWork {
    int sequence = 0;
    std::string songName;  // UTF-8
    std::string address;   // as the engine takes it
};

struct WorksListing {
    bool reached = false;        // the service answered at all
    bool understood = false;     // and in the works list's shape
    std::vector<ListedWork> works;
    FailureCause cause;          // why nothing usable came: the last request's trouble
    std::string serviceMessage;  // what the service said instead of a list
};

// Every work of a performer, through the program's own works retrieval
// (without the window's pacing). The retrieval's progress shows on
// standard error in the chosen style. A listing that did not reach the
// service is tried `retries` more times, `retryWaitSeconds` apart.
WorksListing listWorks(const std::string& serviceAddress, const std::string& performerId, int retries = 0,
                       int retryWaitSeconds = 5);

// What to tell the user, and the exit code, when the listing cannot be
// used: "performer 999999 not found" when the service says so, "not a
// works list" when the answer is something else, the cause when nothing
// came. Empty text when it can be used.
Verdict listingFault(const WorksListing& listing, const std::string& serviceAddress, const std::string& performerId);

// The works `selection` takes, in their order.
std::vector<ListedWork> selectWorks(const std::vector<ListedWork>& works, const WorkSelection& selection);

}  // namespace zorvan::cli
