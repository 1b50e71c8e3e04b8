#pragma once

#include "cli/cli_options.h"

namespace zorvan::cli {

// "get URL -o -": the body to standard output as it comes, over one
// connection (a pipe cannot take parts out of order). The exit codes of
// "get"; a standard output that cannot be written is a local file problem.
int streamGet(const GetOptions& options);

}  // namespace zorvan::cli
