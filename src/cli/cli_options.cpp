#include "cli/cli_options.h"

#include "web/service_address.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <limits>
#include <utility>

namespace zorvan::cli {

namespace {

const char* const getUsage =
    "usage: zorvan-cli get URL [-o PATH] [-n CONNECTIONS] [--limit BYTES_PER_S]\n"
    "                  [--proxy HOST:PORT] [--on-exists rename|skip] [-v]\n"
    "                  [--retries N] [--retry-wait S] [--no-fsync] [--buffer B] [--chunk B]\n"
    "                  [--cacert FILE] [--insecure] [--no-continue] [--checkpoint MS]\n"
    "  -o PATH        where to save (a path ending in / is a folder); default: the\n"
    "                 file name from the address, in the current folder\n"
    "  -n N           connections (default 5)\n"
    "  --limit B      bytes per second for the whole download (default unlimited)\n"
    "  --proxy H:P    HTTP proxy\n"
    "  --on-exists    when the file exists: save as name(1).ext... (rename, default) or skip\n"
    "  -v             print the engine's log\n"
    "  --retries N    further attempts per connection after a failure (default 5)\n"
    "  --retry-wait S seconds between attempts (default 5)\n"
    "  --no-fsync     name the file without waiting for the disk\n"
    "  --buffer B     receive buffer per connection; --chunk B: bytes per receive step\n"
    "                 (each at most 64 MiB)\n"
    "  --cacert FILE  https: trust the CA certificates in FILE (PEM) too\n"
    "  --insecure     https: do not check the server's certificate or name\n"
    "  --no-continue  start over instead of taking up PATH.part, which a stopped\n"
    "                 or failed run leaves (taking it up is the default; -c and\n"
    "                 --continue say so too)\n"
    "  --checkpoint MS how often PATH.part.state records what is on the disk:\n"
    "                 at most what a killed run fetches again (default 1000)\n";

const char* const worksUsage =
    "usage: zorvan-cli works ID [--service URL] [--json]\n"
    "  lists a performer's works: sequence, song name and media address, one\n"
    "  work per line, separated by tabs (or a JSON array with --json)\n"
    "  --service URL  the video service's web host (default: $ZORVAN_SERVICE,\n"
    "                 else the build's default)\n";

const char* const getAllUsage =
    "usage: zorvan-cli get-all ID [--service URL] [-o DIR] [-n CONNECTIONS] [-j PARALLEL]\n"
    "                      [--limit BYTES_PER_S] [--on-exists rename|skip] [--no-continue]\n"
    "  downloads every work of a performer into DIR, named as the window names\n"
    "  them; DIR keeps an archive (zorvan-archive.txt) of the completed works,\n"
    "  so running it again fetches only what is new\n"
    "  --service URL  the video service's web host (default: $ZORVAN_SERVICE,\n"
    "                 else the build's default)\n"
    "  -o DIR         the folder (default: video/ in the program's folder, or\n"
    "                 ~/Videos/Zorvan when the program cannot write there)\n"
    "  -n N           connections per download (default 5)\n"
    "  -j N           downloads at once (default 1)\n"
    "  --limit B      bytes per second for the whole run (default unlimited)\n"
    "  --on-exists    a file that is there but not in the archive: skip it\n"
    "                 (skip, default) or save as name(1).mp4 (rename)\n"
    "  --no-continue  start unfinished works over instead of taking up their\n"
    "                 .part files (taking them up is the default)\n";

}  // namespace

std::string usageText(const std::string& command) {
    if (command == "get") return getUsage;
    if (command == "works") return worksUsage;
    if (command == "get-all") return getAllUsage;
    return std::string("usage: zorvan-cli COMMAND ...   (zorvan-cli COMMAND --help for more)\n"
                       "  get URL        download one address\n"
                       "  works ID       list a performer's works\n"
                       "  get-all ID     download every work of a performer, then only what is new\n"
                       "  --version      the version\n");
}

namespace {

bool readNumber(const std::string& text, std::int64_t& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (*end != '\0' || v < 0) return false;
    value = v;
    return true;
}

// Walks the arguments; each read says what was wrong in `error`.
class ArgumentReader {
public:
    ArgumentReader(const std::vector<std::string>& args, std::string& error) : args_(args), error_(error) {}

    bool next() { return ++at_ < args_.size(); }
    const std::string& current() const { return args_[at_]; }
    bool fail(std::string message) {
        error_ = std::move(message);
        return false;
    }

    // The value after the current option.
    bool value(std::string& out) {
        if (at_ + 1 >= args_.size()) return fail(current() + " needs a value");
        out = args_[++at_];
        return true;
    }

    bool number(std::int64_t& out, std::int64_t least, std::int64_t most) {
        const std::string option = current();
        std::string text;
        if (!value(text)) return false;
        if (!readNumber(text, out) || out < least || out > most)
            return fail(option + " needs a whole number from " + std::to_string(least) + " to " + std::to_string(most));
        return true;
    }

private:
    const std::vector<std::string>& args_;
    std::string& error_;
    std::size_t at_ = 0;  // args_[0] is the command
};

// -c, --continue and --no-continue; false when the argument is another.
bool readContinue(const std::string& arg, bool& continuePart) {
    if (arg == "-c" || arg == "--continue") continuePart = true;
    else if (arg == "--no-continue") continuePart = false;
    else return false;
    return true;
}

bool readOnExists(ArgumentReader& in, bool& renameOnExists) {
    std::string text;
    if (!in.value(text)) return false;
    if (text != "rename" && text != "skip") return in.fail("--on-exists takes rename or skip");
    renameOnExists = text == "rename";
    return true;
}

// "--service URL" or "--service=URL".
bool readService(ArgumentReader& in, std::string& service) {
    const std::string& arg = in.current();
    if (arg.rfind("--service=", 0) == 0) service = arg.substr(10);
    else if (!in.value(service)) return false;
    if (service.empty()) return in.fail("--service needs an address");
    service = serviceAddress({"--service", service});
    return true;
}

bool readPerformerId(ArgumentReader& in, std::string& id) {
    const std::string& arg = in.current();
    if (!arg.empty() && arg[0] == '-') return in.fail("unknown option " + arg);
    if (!id.empty()) return in.fail("only one performer id, please");
    id = arg;
    return true;
}

bool readWorksOption(ArgumentReader& in, WorksOptions& options) {
    const std::string& arg = in.current();
    if (arg == "--json") {
        options.json = true;
        return true;
    }
    if (arg == "--service" || arg.rfind("--service=", 0) == 0) return readService(in, options.service);
    return readPerformerId(in, options.performerId);
}

bool readGetAllOption(ArgumentReader& in, GetAllOptions& options) {
    const std::string& arg = in.current();
    std::int64_t n = 0;
    if (arg == "-o") return in.value(options.folder);
    if (readContinue(arg, options.continuePart)) return true;
    if (arg == "--on-exists") return readOnExists(in, options.renameOnExists);
    if (arg == "--service" || arg.rfind("--service=", 0) == 0) return readService(in, options.service);
    if (arg == "--limit") return in.number(options.speedLimit, 0, std::numeric_limits<std::int64_t>::max());
    if (arg == "-n" || arg == "-j") {
        if (!in.number(n, 1, 64)) return false;
        (arg == "-n" ? options.connections : options.parallel) = static_cast<int>(n);
        return true;
    }
    return readPerformerId(in, options.performerId);
}

bool readOption(ArgumentReader& in, GetOptions& options) {
    constexpr std::int64_t any = std::numeric_limits<std::int64_t>::max();
    const std::string& arg = in.current();
    std::int64_t n = 0;
    if (arg == "-o") return in.value(options.output);
    if (readContinue(arg, options.continuePart)) return true;
    if (arg == "--proxy") return in.value(options.proxy);
    if (arg == "--limit") return in.number(options.speedLimit, 0, any);
    if (arg == "-v") {
        options.verbose = true;
        return true;
    }
    if (arg == "--no-fsync") {
        options.sync = false;
        return true;
    }
    if (arg == "--cacert") return in.value(options.caFile);
    if (arg == "--insecure") {
        options.insecure = true;
        return true;
    }
    if (arg == "--on-exists") return readOnExists(in, options.renameOnExists);
    const struct {
        const char* name;
        std::int64_t least, most;
        std::function<void(std::int64_t)> set;
    } numbers[] = {
        {"-n", 1, 64, [&](std::int64_t v) { options.connections = static_cast<int>(v); }},
        {"--buffer", 1024, maxBufferBytes, [&](std::int64_t v) { options.bufferSize = static_cast<std::size_t>(v); }},
        {"--chunk", 1, maxBufferBytes, [&](std::int64_t v) { options.chunkSize = static_cast<int>(v); }},
        {"--retries", 0, 999, [&](std::int64_t v) { options.retries = static_cast<int>(v); }},
        {"--retry-wait", 0, 3600, [&](std::int64_t v) { options.retryWaitSeconds = static_cast<int>(v); }},
        {"--checkpoint", 10, 60000, [&](std::int64_t v) { options.checkpointMs = static_cast<int>(v); }},
    };
    for (const auto& option : numbers) {
        if (arg != option.name) continue;
        if (!in.number(n, option.least, option.most)) return false;
        option.set(n);
        return true;
    }
    if (!arg.empty() && arg[0] == '-') return in.fail("unknown option " + arg);
    if (!options.url.empty()) return in.fail("only one address, please");
    options.url = arg;
    return true;
}

}  // namespace

namespace {

// Reads every argument after the command with `read`; then `required`
// names the one argument that must have been given.
template <typename Options, typename Read>
std::optional<Options> parseCommand(const std::vector<std::string>& args, std::string& error, const char* command,
                                    Options options, Read read, const std::string& (*required)(const Options&),
                                    const char* missing) {
    if (args.empty() || args[0] != command) {
        error = std::string("not the \"") + command + "\" command";
        return std::nullopt;
    }
    ArgumentReader in(args, error);
    while (in.next())
        if (!read(in, options)) return std::nullopt;
    if (required(options).empty()) {
        error = missing;
        return std::nullopt;
    }
    return options;
}

}  // namespace

std::optional<GetOptions> parseGetOptions(const std::vector<std::string>& args, std::string& error) {
    return parseCommand(args, error, "get", GetOptions{}, readOption,
                        +[](const GetOptions& o) -> const std::string& { return o.url; }, "no address given");
}

std::optional<WorksOptions> parseWorksOptions(const std::vector<std::string>& args, std::string& error) {
    WorksOptions start;
    start.service = serviceAddress({});
    return parseCommand(args, error, "works", start, readWorksOption,
                        +[](const WorksOptions& o) -> const std::string& { return o.performerId; },
                        "no performer id given");
}

std::optional<GetAllOptions> parseGetAllOptions(const std::vector<std::string>& args, std::string& error) {
    GetAllOptions start;
    start.service = serviceAddress({});
    return parseCommand(args, error, "get-all", start, readGetAllOption,
                        +[](const GetAllOptions& o) -> const std::string& { return o.performerId; },
                        "no performer id given");
}

}  // namespace zorvan::cli
