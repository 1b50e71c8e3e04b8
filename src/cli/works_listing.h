#pragma once

#include "cli/cli_options.h"
#include "download_policy/failure_report.h"
#include "download/failure_cause.h"
#include "catalogue/performer_works.h"

#include <string>
#include <vector>

namespace zorvan::cli {

struct WorksListing : PerformerWorks {
    FailureCause cause;  // why nothing usable came: the last request's trouble
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
