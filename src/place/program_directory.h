#pragma once


#include <string>

namespace zorvan {

// The folder holding the program file, without a trailing "/" (except for
// the root itself). Read from /proc/self/exe once and then kept.
std::string programDirectory();

// The program file's full path, read from /proc/self/exe once.
std::string programFilePath();

// Makes the program directory the process's current directory.
bool enterProgramDirectory();

}  // namespace zorvan
