#pragma once

#include "cli/terminal.h"
#include "download_policy/work_file.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zorvan::cli {

// How every command reaches the network.
struct NetworkOptions {
    std::optional<std::string> proxy;    // --proxy; none: from the environment ("" : direct)
    std::optional<std::string> noProxy;  // --noproxy; none: no_proxy from the environment
    std::string caFile;                  // https: a further CA to trust
    bool insecure = false;               // https: no certificate or name check
    std::optional<int> retries;          // further attempts after a failure; none: the command's default
    int retryWaitSeconds = 5;
    int timeoutSeconds = 0;              // connecting, and silence on a connection; 0: the defaults
    // Request header lines ("Name: value") from -H, -A, --referer and
    // --cookie; each replaces the line of that name the program would send.
    std::vector<std::string> headers;
};

// How much the command says: progress style, and -q for failures only.
struct OutputOptions {
    ProgressStyle progress = ProgressStyle::Auto;
    bool quiet = false;
};

// Which of a performer's works a command takes.
struct WorkSelection {
    std::vector<std::pair<int, int>> items;  // --items: sequence ranges, inclusive; empty: all
    std::string match;                       // --match: song names containing this (any case)
    int max = 0;                             // --max: at most this many; 0: no bound
    bool any() const { return !items.empty() || !match.empty() || max > 0; }
};

struct GetOptions {
    std::vector<std::string> urls;  // the addresses given as arguments
    std::string inputFile;        // -i: more addresses, one a line ("-": standard input)
    std::string url;              // the one address, when exactly one is given and no -i
    std::string output;           // UTF-8; empty: the name from the address, here; "-": standard output
    std::string outputDir;        // -d: the folder for every file; empty: here
    int connections = 5;
    int parallel = 1;             // -j: downloads at once
    bool json = false;            // one JSON object per download as it ends, then a summary
    std::int64_t speedLimit = 0;
    NetworkOptions network;
    OutputOptions display;
    bool verbose = false;
    bool renameOnExists = true;   // false: skip (a shorter file is completed)
    std::size_t bufferSize = 0;   // 0: the tool's default
    int chunkSize = 0;            // 0: the tool's default
    bool sync = true;             // the file reaches the disk before it is named
    bool splice = true;           // plain bodies go into the file inside the kernel
    bool continuePart = true;     // take up the part file an earlier run left
    bool strict = false;          // only bytes a validator of the server vouches for are taken up
    int checkpointMs = 1000;      // how often the part file's record is saved
};

// "works ID": the performer's works on standard output.
struct WorksOptions {
    std::string performerId;
    std::string service;          // the web host; from --service, ZORVAN_SERVICE or the build
    bool json = false;
    NetworkOptions network;
    OutputOptions display;
    WorkSelection selection;
};

// "get-all ID": every work of the performer into a folder.
struct GetAllOptions {
    std::string performerId;
    std::string service;
    std::string folder;           // UTF-8; empty: the program's download folder
    int connections = 5;
    int parallel = 1;             // downloads at once
    std::int64_t speedLimit = 0;  // bytes per second for the whole run
    bool renameOnExists = false;  // a file that is there but not in the archive: skip (a shorter one is completed)
    bool continuePart = true;     // take up the part files an earlier run left
    bool strict = false;          // only bytes a validator of the server vouches for are taken up
    bool dryRun = false;          // say what would be fetched, fetch nothing
    bool json = false;            // one JSON object per work as it ends, then a summary
    bool listSkips = true;        // a dry run (and --json) names the works it skips
    FileNaming naming = FileNaming::SongName;  // --layout: song (the window's) or performer
    // --media-files, --no-media-files: a poster and a .nfo beside each work;
    // none given: on with the performer layout.
    std::optional<bool> mediaFiles;
    bool withMediaFiles() const { return mediaFilesBeside(mediaFiles, naming); }
    bool sync = true;             // each file on the disk before it is named and archived
    NetworkOptions network;
    OutputOptions display;
    WorkSelection selection;
};

// "follow ID...", "unfollow ID..." and "following [--json]": the performers
// a "sync" checks.
struct FollowOptions {
    std::string command;
    std::vector<std::string> performers;
    bool json = false;
};

// "verify [PERFORMER|PATH...]": the library's files read through against
// their digests.
struct VerifyOptions {
    std::vector<std::string> performers;  // ids given
    std::vector<std::string> paths;       // files and folders given
    std::string service;          // to list a performer again for a file whose address was not kept
    std::string folder;           // where videos the library does not know are looked for; empty: the download folder
    bool repair = false;          // fetch the damaged ones again
    bool json = false;
    int connections = 5;
    NetworkOptions network;
    OutputOptions display;
};

// "1.5M", "300k", "2G" or plain bytes (K = 1024); false when it is not one.
bool readByteCount(const std::string& text, std::int64_t& value);

// The largest receive buffer and receive step the options accept.
inline constexpr std::int64_t maxBufferBytes = 64 * 1024 * 1024;

// Each reads "COMMAND ARGUMENTS [options]" (args[0] is the command); on a
// mistake returns nothing and sets `error`.
std::optional<GetOptions> parseGetOptions(const std::vector<std::string>& args, std::string& error);
std::optional<WorksOptions> parseWorksOptions(const std::vector<std::string>& args, std::string& error);
std::optional<GetAllOptions> parseGetAllOptions(const std::vector<std::string>& args, std::string& error);
std::optional<FollowOptions> parseFollowOptions(const std::vector<std::string>& args, std::string& error);
std::optional<VerifyOptions> parseVerifyOptions(const std::vector<std::string>& args, std::string& error);
// "sync": get-all's options without a performer id (every followed one).
std::optional<GetAllOptions> parseSyncOptions(const std::vector<std::string>& args, std::string& error);

// Every long option a command takes ("get", "works", ...), as "--name".
std::vector<std::string> optionNames(const std::string& command);

// Whether `command` takes the long option `name` (without "--") with a
// value (true) or as a flag (false); nothing when it does not take it.
std::optional<bool> optionTakesValue(const std::string& command, const std::string& name);

// The commands zorvan-cli knows.
const std::vector<std::string>& commandNames();

}  // namespace zorvan::cli
