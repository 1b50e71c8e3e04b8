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
// "下载失败：" and a cause said in other words (the server could not be
// reached, say), with the same note on a kept part file.
std::string failureText(const std::string& cause, bool partKept);

}  // namespace zorvan
