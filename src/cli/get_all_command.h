#pragma once

#include "cli/cli_options.h"

namespace zorvan::cli {

// "get-all": every listed work of a performer not yet in the folder's
// archive, several at once, taking up the part files an earlier run left.
// Exit 0 when all are done, 1 when any failed, 130 or 143 when stopped
// (Ctrl-C, SIGTERM).
int runGetAll(const GetAllOptions& options);

}  // namespace zorvan::cli
