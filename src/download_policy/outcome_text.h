#pragma once

#include "download/task_param.h"

namespace zorvan {

// What the program tells the user about how a download ended (UTF-8), the
// one table of these texts for the window and the command line alike.
const char* outcomeText(TaskOutcome outcome);

}  // namespace zorvan
