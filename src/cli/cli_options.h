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
    std::string caFile;           // https: a further CA to trust
    bool insecure = false;        // https: no certificate or name check
    bool continuePart = true;     // take up the part file an earlier run left
    int checkpointMs = 1000;      // how often the part file's record is saved
};

// "works ID": the performer's works on standard output.
struct WorksOptions {
    std::string performerId;
    std::string service;          // the web host; from --service, ZORVAN_SERVICE or the build
    bool json = false;
};

// "get-all ID": every work of the performer into a folder.
struct GetAllOptions {
    std::string performerId;
    std::string service;
    std::string folder;           // UTF-8; empty: the program's download folder
    int connections = 5;
    int parallel = 1;             // downloads at once
    std::int64_t speedLimit = 0;  // bytes per second for the whole run
    bool renameOnExists = false;  // a file that is there but not in the archive: skip
    bool continuePart = true;     // take up the part files an earlier run left
};

// The largest receive buffer and receive step the options accept.
inline constexpr std::int64_t maxBufferBytes = 64 * 1024 * 1024;

// Each reads "COMMAND ARGUMENTS [options]" (args[0] is the command); on a
// mistake returns nothing and sets `error`.
std::optional<GetOptions> parseGetOptions(const std::vector<std::string>& args, std::string& error);
std::optional<WorksOptions> parseWorksOptions(const std::vector<std::string>& args, std::string& error);
std::optional<GetAllOptions> parseGetAllOptions(const std::vector<std::string>& args, std::string& error);

// The usage of one command ("get", "works", "get-all"), or of all when the
// command is unknown.
std::string usageText(const std::string& command = {});

}  // namespace zorvan::cli
