#pragma once

#include "cli/cli_options.h"
#include "cli/download_job.h"
#include "cli/json_results.h"
#include "cli/works_listing.h"
#include "queue/queue_item.h"

#include <chrono>
#include <functional>
#include <string>

namespace zorvan {
class LibraryDb;
}

namespace zorvan::cli {

// "get-all": every listed work of a performer not yet in the folder's
// archive, several at once, taking up the part files an earlier run left.
// Exit 0 when all are done, 1 when any failed, 130 or 143 when stopped
// (Ctrl-C, SIGTERM).
int runGetAll(const GetAllOptions& options);

// The parts of it that "sync" runs per performer: the output, engine and
// network settings (false with `error` when they cannot be used), and the
// downloads of a listing already made.
bool prepareGetAll(const GetAllOptions& options, JobSettings& job, std::string& error);
// `library`, when there is one, tells which work each file holds and
// learns of each work saved; `summary` adds up what became of the works.
int fetchListed(const GetAllOptions& options, const JobSettings& job, const WorksListing& listing,
                std::chrono::steady_clock::time_point started, LibraryDb* library, RunSummary& summary);
// With --json, the summary object after every work's; returns `code`, or 6
// when standard output could not take it.
int endWithSummary(const GetAllOptions& options, RunSummary& summary, std::chrono::steady_clock::time_point started,
                   int code);

}  // namespace zorvan::cli
