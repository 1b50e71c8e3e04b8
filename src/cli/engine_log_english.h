#pragma once

#include <string>

namespace zorvan::cli {

// An engine log message (UTF-8) in English: the engine keeps its Chinese
// log for the window, the command line speaks English. Request and
// response headers pass as they are; a message not known stays as it is.
std::string englishLogMessage(const std::string& message);

}  // namespace zorvan::cli
