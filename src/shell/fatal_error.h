#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace zorvan {

// "运行时出错!" with the optional number and message, as the fatal box shows it.
std::string fatalErrorText(std::optional<long long> code, std::optional<std::string> message);

// Shows the fatal error box, then ends the process with code -1 without
// running the clean-up routines. Callable from any thread.
[[noreturn]] void fatalError(std::optional<long long> code, std::optional<std::string> message);

// The fatal error of an allocation the system refused: "分配 N 字节内存失败!".
[[noreturn]] void outOfMemory(std::size_t bytes);

}  // namespace zorvan
