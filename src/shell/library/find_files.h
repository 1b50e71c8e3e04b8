#pragma once

#include <functional>
#include <string>

namespace zorvan {

// Walks a folder for files whose names match `pattern` ("*.mp4"; letter
// case ignored): first the files of the folder, then each subfolder whose
// name does not start with ".", depth first. Calls `add` with each bare
// file name and its path relative to `folder` (UTF-8; the same for a file
// of the folder itself), and `between` before every further name or
// folder, so a window can stay responsive. A missing folder finds nothing.
void findFiles(const std::string& folder, const std::string& pattern,
               const std::function<void(const std::string& name, const std::string& relative)>& add,
               const std::function<void()>& between = {});

}  // namespace zorvan
