#pragma once

#include <string>

namespace zorvan {

// The folder holding the program file, without a trailing "/" (except for
// the root itself). Read from /proc/self/exe once and then kept.
std::string programDirectory();

// The folder part of a path: everything before its last "/".
std::string folderOf(const std::string& path);

// Makes the program directory the process's current directory.
bool enterProgramDirectory();

}  // namespace zorvan
