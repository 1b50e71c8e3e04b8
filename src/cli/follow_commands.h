#pragma once

#include "cli/cli_options.h"

namespace zorvan::cli {

// "follow", "unfollow" and "following": the followed performers in the
// library database. Exit 0, or 6 when the database cannot be used.
int runFollow(const FollowOptions& options);

// "sync": every followed performer checked and what is new downloaded, as
// get-all does. Exit 0 when every check and download went through; 1 when
// a work failed; a failed check gives its listing's code (3, 4, 5) after
// the others were tried; 6 for the database; 130 or 143 when stopped.
int runSync(const GetAllOptions& options);

}  // namespace zorvan::cli
