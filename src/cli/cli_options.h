#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zorvan::cli {

struct GetOptions {
    std::string url;
    std::string output;           // UTF-8; empty: the name from the address, here
    int connections = 5;
    std::int64_t speedLimit = 0;
    std::string proxy;
    bool verbose = false;
    bool renameOnExists = true;   // false: skip
    std::size_t bufferSize = 0;   // 0: the tool's default
    int chunkSize = 0;            // 0: the tool's default
    int retries = 5;              // further attempts per connection after a failure
    int retryWaitSeconds = 5;
    bool sync = true;             // the file reaches the disk before it is named
};

// The largest receive buffer and receive step the options accept.
inline constexpr std::int64_t maxBufferBytes = 64 * 1024 * 1024;

// Reads "get URL [options]"; on a mistake returns nothing and sets `error`.
std::optional<GetOptions> parseGetOptions(const std::vector<std::string>& args, std::string& error);

const char* usageText();

}  // namespace zorvan::cli
