#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace zorvan {

using CleanupRoutine = void (*)();

// Adds a routine to those endProgram runs, in registration order. A routine
// already registered is not added twice. GUI thread only.
void registerCleanup(CleanupRoutine routine);
int registeredCleanupCount();

// Ends the program with the given exit code: the registered routines run
// once, on the GUI thread, then the process ends. Callable from any thread;
// a worker's call is carried out on the GUI thread and never returns. The
// only return is from a call made on the GUI thread while an end is already
// under way (a window closed by the end itself, say), which leaves that end
// to finish.
void endProgram(int code);

bool endUnderWay();

// "运行时出错!" with the optional number and message, as the fatal box shows it.
std::string fatalErrorText(std::optional<long long> code, std::optional<std::string> message);

// Shows the fatal error box, then ends the process with code -1 without
// running the clean-up routines. Callable from any thread.
[[noreturn]] void fatalError(std::optional<long long> code, std::optional<std::string> message);

// The fatal error of an allocation the system refused: "分配 N 字节内存失败!".
[[noreturn]] void outOfMemory(std::size_t bytes);

}  // namespace zorvan
