#pragma once

#include <string>

namespace zorvan {

// The folder part of a path: everything before its last "/" ("/" for a file
// at the root, "." for a bare name).
inline std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace zorvan
