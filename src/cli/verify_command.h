#pragma once

#include "cli/cli_options.h"

namespace zorvan::cli {

// "verify": reads the library's files through against the digests taken
// when they were saved, says which are damaged, missing, unverified or
// unknown, and with --repair fetches the damaged ones again. Returns the
// exit code: 1 when a file is damaged or missing (and not repaired).
int runVerify(const VerifyOptions& options);

}  // namespace zorvan::cli
