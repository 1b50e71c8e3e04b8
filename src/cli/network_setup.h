#pragma once

#include "cli/cli_options.h"
#include "cli/download_job.h"
#include "download/failure_cause.h"
#include "web/http_fetch.h"

#include <string>

namespace zorvan::cli {

// The network options as the engine's downloads of `address` use them: the
// proxy (from the options or the environment), the https checks and the
// time limits. False, with `error`, when they cannot be used.
bool applyNetwork(const NetworkOptions& network, const std::string& address, JobSettings& job, std::string& error);

// The same for the works retrieval's requests to `serviceAddress`.
bool applyFetchNetwork(const NetworkOptions& network, const std::string& serviceAddress, std::string& error);

// The cause behind a works request that brought nothing usable.
FailureCause causeOfFetch(const HttpFetchReport& report, const std::string& address);

// The warning --insecure deserves, once.
void warnIfInsecure(const NetworkOptions& network);

}  // namespace zorvan::cli
