#pragma once

#include "download/task_param.h"

#include <string>

namespace zorvan {

// What the program tells the user about how a download ended (UTF-8), the
// one table of these texts for the window and the command line alike.
const char* outcomeText(TaskOutcome outcome);
// The same when the download's part file was kept for a later one: the
// bytes are not lost, and the text says so instead of "not saved".
std::string outcomeText(TaskOutcome outcome, bool partKept);

}  // namespace zorvan
