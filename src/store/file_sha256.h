#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace zorvan {

// The SHA-256 of a file's bytes as 64 lower-case hexadecimal digits, what
// `sha256sum` prints; nothing when it cannot be read to its end. `progress` is
// told of the bytes read so far, now and then; `stop` set ends it early
// (nothing).
std::optional<std::string> fileSha256(const std::string& path,
                                      const std::function<void(std::int64_t read)>& progress = {},
                                      const std::atomic<bool>* stop = nullptr);

}  // namespace zorvan
