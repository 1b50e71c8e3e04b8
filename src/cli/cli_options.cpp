#include "cli/cli_options.h"

#include "web/proxy_choice.h"
#include "web/service_address.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <utility>

namespace zorvan::cli {

namespace {

const char* const networkUsage =
    "network (works, get, get-all):\n"
    "  --proxy URL    HTTP proxy, http://host:port or host:port (\"\" for none);\n"
    "                 default: $https_proxy / $http_proxy / $all_proxy as curl reads them\n"
    "  --noproxy LIST hosts (comma-separated, * for all) reached directly; default: $no_proxy\n"
    "  --cacert FILE  https: trust the CA certificates in FILE (PEM) too\n"
    "  --insecure, -k https: do not check the server's certificate or name\n"
    "  --retries N    further attempts after a failure (get, get-all: 5 per connection;\n"
    "                 works: 0)\n"
    "  --retry-wait S seconds between attempts (default 5)\n"
    "  --timeout S    seconds to connect, and of silence on a connection (default 20;\n"
    "                 works: 30 to connect, 60 of silence)\n"
    "output:\n"
    "  -q, --quiet    say nothing but failures\n"
    "  --progress=bar|line|none  redrawn in place (the default on a terminal), a\n"
    "                 plain line a second (the default elsewhere), or none\n";

const char* const exitCodes =
    "exit codes: 0 done; 1 some works failed (get-all); 2 usage; 3 the host cannot be\n"
    "  reached (name, connection, time-out); 4 TLS; 5 the server refused (4xx, 5xx,\n"
    "  an answer that cannot be used); 6 a local file problem (disk full, permission,\n"
    "  name); 130 Ctrl-C; 143 SIGTERM\n";

const char* const selectionUsage =
    "choosing works (works, get-all):\n"
    "  --items LIST   by sequence: 1-5,9\n"
    "  --match TEXT   song names containing TEXT (any case)\n"
    "  --max N        at most N works\n";

const char* const getUsage =
    "usage: zorvan-cli get URL [-o PATH] [-n CONNECTIONS] [--limit RATE] [options]\n"
    "  -o PATH        where to save (into a folder, with or without a trailing /,\n"
    "                 under the name the server or the address gives; - is standard\n"
    "                 output, over one connection); default: the file name from the\n"
    "                 address, in the current folder\n"
    "  -n N           connections (default 5)\n"
    "  --limit RATE   bytes per second for the whole download, with K, M or G\n"
    "                 (default unlimited)\n"
    "  --on-exists    when the file exists: save as name(1).ext... (rename, default)\n"
    "                 or skip it when its bytes are the server's file, whole\n"
    "                 (skip; checked against the server: a shorter one that is its\n"
    "                 start is completed, anything else is left alone and the\n"
    "                 download saved as name(1).ext)\n"
    "  -v             print the engine's log\n"
    "  --no-fsync     name the file without waiting for the disk\n"
    "  --no-splice    pass every body through the program's buffer, as over TLS,\n"
    "                 instead of moving plain ones into the file inside the kernel\n"
    "  --buffer B     receive buffer per connection; --chunk B: bytes per receive step\n"
    "                 (each at most 64 MiB)\n"
    "  --no-continue  start over instead of taking up PATH.part, which a stopped\n"
    "                 or failed run leaves (taking it up is the default; -c and\n"
    "                 --continue say so too)\n"
    "  --checkpoint MS how often PATH.part.state records what is on the disk:\n"
    "                 at most what a killed run fetches again (default 1000)\n";

const char* const worksUsage =
    "usage: zorvan-cli works ID [--service URL] [--json] [options]\n"
    "  lists a performer's works: sequence, song name and media address, one\n"
    "  work per line, separated by tabs (or a JSON array with --json)\n"
    "  --service URL  the video service's web host (default: $ZORVAN_SERVICE,\n"
    "                 else the build's default)\n";

const char* const getAllUsage =
    "usage: zorvan-cli get-all ID [--service URL] [-o DIR] [-n CONNECTIONS] [-j PARALLEL]\n"
    "                      [--limit RATE] [--on-exists rename|skip] [--no-continue]\n"
    "                      [--no-fsync] [--dry-run] [options]\n"
    "  downloads every work of a performer into DIR, named as the window names\n"
    "  them; DIR keeps an archive (zorvan-archive.txt) of the completed works,\n"
    "  so running it again fetches only what is new\n"
    "  --service URL  the video service's web host (default: $ZORVAN_SERVICE,\n"
    "                 else the build's default)\n"
    "  -o DIR         the folder (default: video/ in the program's folder, or\n"
    "                 ~/Videos/Zorvan when the program cannot write there)\n"
    "  -n N           connections per download (default 5)\n"
    "  -j N           downloads at once (default 1)\n"
    "  --limit RATE   bytes per second for the whole run, with K, M or G (default\n"
    "                 unlimited)\n"
    "  --on-exists    a file that is there but not known as this work (archive,\n"
    "                 library): checked against the server, skipped when it is this\n"
    "                 work whole, completed when it is its start, else left alone\n"
    "                 and the work saved as name(1).mp4 (skip, default); or always\n"
    "                 saved as name(1).mp4 (rename)\n"
    "  --no-continue  start unfinished works over instead of taking up their\n"
    "                 .part files (taking them up is the default)\n"
    "  --no-fsync     name and archive each file without waiting for the disk\n"
    "                 (a power cut may then lose works the archive names)\n"
    "  --dry-run      list what would be fetched and why the others are not;\n"
    "                 fetch nothing\n";

const char* const followUsage =
    "usage: zorvan-cli follow ID...     follow performers: sync checks them\n"
    "       zorvan-cli unfollow ID...   stop following them (their files stay)\n"
    "       zorvan-cli following [--json]\n"
    "  the followed performers, with the works seen of each and the last check;\n"
    "  kept in the library database ($XDG_DATA_HOME/zorvan/library.db)\n";

const char* const syncUsage =
    "usage: zorvan-cli sync [--service URL] [-o DIR] [-n CONNECTIONS] [-j PARALLEL]\n"
    "                   [--limit RATE] [--dry-run] [options]\n"
    "  checks every followed performer, one after another, records the works\n"
    "  seen (and those no longer listed), and downloads what is new into DIR as\n"
    "  get-all does (the same archive); a performer whose check fails is said\n"
    "  and tried at the next sync. For a timer: systemctl --user enable --now\n"
    "  zorvan-sync.timer (daily)\n";

}  // namespace

std::string usageText(const std::string& command) {
    if (command == "get") return std::string(getUsage) + networkUsage + exitCodes;
    if (command == "works") return std::string(worksUsage) + selectionUsage + networkUsage + exitCodes;
    if (command == "get-all") return std::string(getAllUsage) + selectionUsage + networkUsage + exitCodes;
    if (command == "follow" || command == "unfollow" || command == "following") return followUsage;
    if (command == "sync") return std::string(syncUsage) + selectionUsage + networkUsage + exitCodes;
    return std::string("usage: zorvan-cli COMMAND ...   (zorvan-cli COMMAND --help for more)\n"
                       "  get URL        download one address\n"
                       "  works ID       list a performer's works\n"
                       "  get-all ID     download every work of a performer, then only what is new\n"
                       "  follow ID      follow a performer (unfollow ID, following)\n"
                       "  sync           download what is new of every followed performer\n"
                       "  --version      the version\n") +
           exitCodes;
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

// "--name VALUE" or "--name=VALUE" for the current argument; false when
// it is another option.
bool isOption(const std::string& arg, const char* name) {
    const std::size_t length = std::strlen(name);
    return arg.compare(0, length, name) == 0 && (arg.size() == length || arg[length] == '=');
}

bool optionValue(ArgumentReader& in, const char* name, std::string& out) {
    const std::string& arg = in.current();
    if (arg.size() > std::strlen(name)) {
        out = arg.substr(std::strlen(name) + 1);
        return true;
    }
    return in.value(out);
}

// "1-5,9": sequence ranges.
bool readItems(ArgumentReader& in, std::vector<std::pair<int, int>>& items) {
    std::string text;
    if (!optionValue(in, "--items", text)) return false;
    std::size_t from = 0;
    while (from <= text.size()) {
        const auto comma = text.find(',', from);
        const std::string part = text.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        from = comma == std::string::npos ? text.size() + 1 : comma + 1;
        const auto dash = part.find('-');
        std::int64_t first = 0, last = 0;
        const bool ok = dash == std::string::npos ? readNumber(part, first) && (last = first, true)
                                                  : readNumber(part.substr(0, dash), first) &&
                                                        readNumber(part.substr(dash + 1), last);
        if (!ok || first < 1 || last < first || last > std::numeric_limits<int>::max())
            return in.fail("--items takes sequence numbers and ranges, like 1-5,9");
        items.emplace_back(static_cast<int>(first), static_cast<int>(last));
    }
    return true;
}

enum class Taken { No, Yes, Failed };

Taken taken(bool ok) { return ok ? Taken::Yes : Taken::Failed; }

// The options every command shares: the network and the output.
Taken readCommonOption(ArgumentReader& in, NetworkOptions& network, OutputOptions& display) {
    const std::string& arg = in.current();
    std::string text;
    std::int64_t n = 0;
    if (isOption(arg, "--proxy")) {
        if (!optionValue(in, "--proxy", text)) return Taken::Failed;
        std::string error;
        if (!text.empty() && !parseProxy(text, error)) return taken(in.fail(error));
        network.proxy = text;
        return Taken::Yes;
    }
    if (isOption(arg, "--noproxy")) {
        if (!optionValue(in, "--noproxy", text)) return Taken::Failed;
        network.noProxy = text;
        return Taken::Yes;
    }
    if (isOption(arg, "--cacert")) return taken(optionValue(in, "--cacert", network.caFile));
    if (arg == "--insecure" || arg == "-k") {
        network.insecure = true;
        return Taken::Yes;
    }
    if (arg == "--retries") {
        if (!in.number(n, 0, 999)) return Taken::Failed;
        network.retries = static_cast<int>(n);
        return Taken::Yes;
    }
    if (arg == "--retry-wait") {
        if (!in.number(n, 0, 3600)) return Taken::Failed;
        network.retryWaitSeconds = static_cast<int>(n);
        return Taken::Yes;
    }
    if (arg == "--timeout") {
        if (!in.number(n, 1, 3600)) return Taken::Failed;
        network.timeoutSeconds = static_cast<int>(n);
        return Taken::Yes;
    }
    if (arg == "-q" || arg == "--quiet") {
        display.quiet = true;
        return Taken::Yes;
    }
    if (isOption(arg, "--progress")) {
        if (!optionValue(in, "--progress", text)) return Taken::Failed;
        if (text == "bar") display.progress = ProgressStyle::Bar;
        else if (text == "line") display.progress = ProgressStyle::Line;
        else if (text == "none") display.progress = ProgressStyle::None;
        else return taken(in.fail("--progress takes bar, line or none"));
        return Taken::Yes;
    }
    return Taken::No;
}

Taken readSelection(ArgumentReader& in, WorkSelection& selection) {
    const std::string& arg = in.current();
    std::int64_t n = 0;
    if (isOption(arg, "--items")) return taken(readItems(in, selection.items));
    if (isOption(arg, "--match")) {
        if (!optionValue(in, "--match", selection.match)) return Taken::Failed;
        if (selection.match.empty()) return taken(in.fail("--match needs a text"));
        return Taken::Yes;
    }
    if (arg == "--max") {
        if (!in.number(n, 1, std::numeric_limits<int>::max())) return Taken::Failed;
        selection.max = static_cast<int>(n);
        return Taken::Yes;
    }
    return Taken::No;
}

bool readLimit(ArgumentReader& in, std::int64_t& limit) {
    std::string text;
    if (!in.value(text)) return false;
    if (!readByteCount(text, limit)) return in.fail("--limit takes bytes per second, like 500K, 2M or 1G");
    return true;
}

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
    if (const Taken t = readCommonOption(in, options.network, options.display); t != Taken::No) return t == Taken::Yes;
    if (const Taken t = readSelection(in, options.selection); t != Taken::No) return t == Taken::Yes;
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
    if (const Taken t = readCommonOption(in, options.network, options.display); t != Taken::No) return t == Taken::Yes;
    if (const Taken t = readSelection(in, options.selection); t != Taken::No) return t == Taken::Yes;
    if (arg == "--dry-run") {
        options.dryRun = true;
        return true;
    }
    if (arg == "--no-fsync") {
        options.sync = false;
        return true;
    }
    if (arg == "-o") return in.value(options.folder);
    if (readContinue(arg, options.continuePart)) return true;
    if (arg == "--on-exists") return readOnExists(in, options.renameOnExists);
    if (arg == "--service" || arg.rfind("--service=", 0) == 0) return readService(in, options.service);
    if (arg == "--limit") return readLimit(in, options.speedLimit);
    if (arg == "-n" || arg == "-j") {
        if (!in.number(n, 1, 64)) return false;
        (arg == "-n" ? options.connections : options.parallel) = static_cast<int>(n);
        return true;
    }
    return readPerformerId(in, options.performerId);
}

bool readOption(ArgumentReader& in, GetOptions& options) {
    const std::string& arg = in.current();
    std::int64_t n = 0;
    if (const Taken t = readCommonOption(in, options.network, options.display); t != Taken::No) return t == Taken::Yes;
    if (arg == "-o") return in.value(options.output);
    if (readContinue(arg, options.continuePart)) return true;
    if (arg == "--limit") return readLimit(in, options.speedLimit);
    if (arg == "-v") {
        options.verbose = true;
        return true;
    }
    if (arg == "--no-fsync") {
        options.sync = false;
        return true;
    }
    if (arg == "--no-splice") {
        options.splice = false;
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

bool readByteCount(const std::string& text, std::int64_t& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    const double number = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || number < 0 || !(text[0] >= '0' && text[0] <= '9')) return false;
    double unit = 1;
    const std::string suffix = end;
    if (suffix == "k" || suffix == "K") unit = 1024.0;
    else if (suffix == "m" || suffix == "M") unit = 1024.0 * 1024;
    else if (suffix == "g" || suffix == "G") unit = 1024.0 * 1024 * 1024;
    else if (!suffix.empty()) return false;
    const double bytes = number * unit;
    if (bytes > 1e18 || (unit == 1 && bytes != static_cast<double>(static_cast<std::int64_t>(bytes)))) return false;
    value = static_cast<std::int64_t>(bytes);
    return true;
}

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

std::optional<FollowOptions> parseFollowOptions(const std::vector<std::string>& args, std::string& error) {
    FollowOptions options;
    options.command = args.empty() ? std::string() : args[0];
    const bool listing = options.command == "following";
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (listing && arg == "--json") {
            options.json = true;
        } else if (!listing && !arg.empty() && arg[0] != '-') {
            options.performers.push_back(arg);
        } else {
            error = "unknown option " + arg;
            return std::nullopt;
        }
    }
    if (!listing && options.performers.empty()) {
        error = "no performer id given";
        return std::nullopt;
    }
    return options;
}

std::optional<GetAllOptions> parseSyncOptions(const std::vector<std::string>& args, std::string& error) {
    GetAllOptions options;
    options.service = serviceAddress({});
    ArgumentReader in(args, error);
    while (in.next()) {
        const std::string& arg = in.current();
        if (!arg.empty() && arg[0] != '-') {
            error = "sync takes no performer id; it checks every followed one (zorvan-cli follow ID)";
            return std::nullopt;
        }
        if (!readGetAllOption(in, options)) return std::nullopt;
    }
    return options;
}

}  // namespace zorvan::cli
