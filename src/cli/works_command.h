#pragma once

#include "cli/cli_options.h"

namespace zorvan::cli {

// "works": one line per work (sequence, song name, address) or a JSON
// array on standard output. Exit 0 with the list, 1 when there is none to
// be had.
int runWorks(const WorksOptions& options);

}  // namespace zorvan::cli
