#pragma once

#include <string>

namespace zorvan {

// The path that stands for a movie held in memory.
inline constexpr const char* memoryMoviePath = "A:\\|.swf";

// The three file-function hooks of the media host, installed at start-up
// before any other thread runs and removed at the clean-up. While
// installed, a movie queued in memory answers: the pseudo path exists (as
// the program's own file) and opening the program's own path gives a
// descriptor holding the movie. Every other call goes on unchanged.
// `programPath` is the program's own file (UTF-8). False when a hook could
// not be installed (that function stays unhooked).
bool installFileHooks(const std::string& programPath);
void removeFileHooks();
bool fileHooksInstalled();

}  // namespace zorvan
