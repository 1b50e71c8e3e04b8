#pragma once

#include "cli/cli_options.h"

namespace zorvan::cli {

// "get URL URL..." and "get -i FILE": many addresses over the download
// queue, -j at once, each into the folder under its own name. Every
// address ends with a line (and with --json an object); a bad one fails
// alone. The exit code is the worst of the addresses'.
int runGetMany(const GetOptions& options);

}  // namespace zorvan::cli
