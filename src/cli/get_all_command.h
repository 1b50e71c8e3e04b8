#pragma once

#include "cli/cli_options.h"

namespace zorvan::cli {

// "get-all": every listed work of a performer not yet in the folder's
// archive, several at once. Exit 0 when all are done, 1 when any failed,
// 130 when stopped.
int runGetAll(const GetAllOptions& options);

}  // namespace zorvan::cli
