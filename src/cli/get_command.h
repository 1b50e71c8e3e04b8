#pragma once

#include "cli/cli_options.h"

namespace zorvan::cli {

// The command line's engine settings: buffers, retries and writing suited
// to a tool on fast lines. Set once, before any download starts.
void useCliEngineSettings(std::size_t bufferSize, int retries, int retryWaitSeconds, bool sync,
                          int checkpointMs = 1000, bool splice = true);

// Why the engine would not take the address or the local path (code page 936).
std::string whyNotFetchable(const std::string& url, const std::string& localPath);

// "get" of one address (GetOptions::url): into one file, taking up the part file an earlier run
// left. Exit 0 complete, 1 not, 2 refused, 130 or 143 stopped (Ctrl-C,
// SIGTERM).
int runGet(const GetOptions& given);

}  // namespace zorvan::cli
