#include "cli/cli_options.h"

#include "cli/option_scanner.h"
#include "web/proxy_choice.h"
#include "web/service_address.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
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
    "  -H, --header 'NAME: VALUE'  send this header line (repeatable); it replaces\n"
    "                 the program's line of that name\n"
    "  -A, --user-agent TEXT, --referer URL, -b, --cookie 'K=V; K2=V2'\n"
    "                 the User-Agent, Referer and Cookie lines\n"
    "output:\n"
    "  -q, --quiet, -s, --silent  say nothing but failures\n"
    "  --progress=bar|line|none  redrawn in place (the default on a terminal), a\n"
    "                 plain line every 10 s (the default elsewhere), or none\n"
    "  --config FILE  read options from FILE instead of ~/.config/zorvan/cli.conf\n"
    "                 (one 'option = value' a line); --no-config reads none\n";

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
    "usage: zorvan-cli get URL... [-o PATH] [-n CONNECTIONS] [--limit RATE] [options]\n"
    "       zorvan-cli get -i FILE [-d DIR] [-j PARALLEL] [--json] [options]\n"
    "  -o, --output PATH  where to save one address (into a folder, with or without\n"
    "                 a trailing /, under the name the server or the address gives;\n"
    "                 - is standard output, over one connection); default: the file\n"
    "                 name from the address, in the current folder\n"
    "  -d, --output-dir DIR  the folder for every file (default: the current one)\n"
    "  -i, --input-file FILE  more addresses, one a line (- for standard input);\n"
    "                 # starts a comment, an indented 'out=NAME' line names the\n"
    "                 file of the address above it\n"
    "  -j, --jobs N   downloads at once (default 1)\n"
    "  -n, --connections N  connections per download (default 5)\n"
    "  --limit, --limit-rate RATE  bytes per second for the whole run, with K, M\n"
    "                 or G (default unlimited)\n"
    "  --json         one JSON object per address as it ends (address, path, bytes,\n"
    "                 seconds, state, cause, exitCode), then a summary object, on\n"
    "                 standard output\n"
    "  --on-exists    when the file exists: save as name(1).ext... (rename, default)\n"
    "                 or skip it when its bytes are the server's file, whole\n"
    "                 (skip; checked against the server: a shorter one that is its\n"
    "                 start is completed, anything else is left alone and the\n"
    "                 download saved as name(1).ext)\n"
    "  -v, --verbose  print the engine's log\n"
    "  --no-fsync     name the file without waiting for the disk\n"
    "  --no-splice    pass every body through the program's buffer, as over TLS,\n"
    "                 instead of moving plain ones into the file inside the kernel\n"
    "  --buffer B     receive buffer per connection; --chunk B: bytes per receive step\n"
    "                 (each at most 64 MiB)\n"
    "  --no-continue  start over instead of taking up PATH.part, which a stopped\n"
    "                 or failed run leaves (taking it up is the default; -c and\n"
    "                 --continue say so too)\n"
    "  the exit code of several downloads is the worst of theirs\n"
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
    "                      [--no-fsync] [--dry-run] [--json] [options]\n"
    "  downloads every work of a performer into DIR, named as the window names\n"
    "  them; DIR keeps an archive (zorvan-archive.txt) of the completed works,\n"
    "  so running it again fetches only what is new\n";

// What get-all and sync take alike.
const char* const fetchUsage =
    "  --service URL  the video service's web host (default: $ZORVAN_SERVICE,\n"
    "                 else the build's default)\n"
    "  -o, -d, --output, --output-dir DIR  the folder (default: video/ in the\n"
    "                 program's folder, or ~/Videos/Zorvan when the program cannot\n"
    "                 write there)\n"
    "  -n, --connections N  connections per download (default 5)\n"
    "  -j, --jobs N   downloads at once (default 1)\n"
    "  --limit, --limit-rate RATE  bytes per second for the whole run, with K, M\n"
    "                 or G (default unlimited)\n"
    "  --on-exists    a file that is there but not known as this work (archive,\n"
    "                 library): checked against the server, skipped when it is this\n"
    "                 work whole, completed when it is its start, else left alone\n"
    "                 and the work saved as name(1).mp4 (skip, default); or always\n"
    "                 saved as name(1).mp4 (rename)\n"
    "  -c, --continue, --no-continue  take up the .part files of unfinished works\n"
    "                 (the default), or start them over\n"
    "  --no-fsync     name and archive each file without waiting for the disk\n"
    "                 (a power cut may then lose works the archive names)\n"
    "  --dry-run      list what would be fetched and why the others are not;\n"
    "                 fetch nothing\n"
    "  --json         one JSON object per work as it ends (or, with --dry-run, per\n"
    "                 work that would be fetched), then a summary, on standard output\n";

const char* const followUsage =
    "usage: zorvan-cli follow ID...     follow performers: sync checks them\n"
    "       zorvan-cli unfollow ID...   stop following them (their files stay)\n"
    "       zorvan-cli following [--json]\n"
    "  the followed performers, with the works seen of each and the last check;\n"
    "  kept in the library database ($XDG_DATA_HOME/zorvan/library.db)\n"
    "  --config FILE, --no-config  the config file to read, or none\n";

const char* const syncUsage =
    "usage: zorvan-cli sync [--service URL] [-o DIR] [-n CONNECTIONS] [-j PARALLEL]\n"
    "                   [--limit RATE] [--dry-run] [--json] [options]\n"
    "  checks every followed performer, one after another, records the works\n"
    "  seen (and those no longer listed), and downloads what is new into DIR as\n"
    "  get-all does (the same archive); a performer whose check fails is said\n"
    "  and tried at the next sync. For a timer: systemctl --user enable --now\n"
    "  zorvan-sync.timer (daily)\n";

}  // namespace

std::string usageText(const std::string& command) {
    if (command == "get") return std::string(getUsage) + networkUsage + exitCodes;
    if (command == "works") return std::string(worksUsage) + selectionUsage + networkUsage + exitCodes;
    if (command == "get-all")
        return std::string(getAllUsage) + fetchUsage + selectionUsage + networkUsage + exitCodes;
    if (command == "follow" || command == "unfollow" || command == "following") return followUsage;
    if (command == "sync") return std::string(syncUsage) + fetchUsage + selectionUsage + networkUsage + exitCodes;
    return std::string("usage: zorvan-cli COMMAND ...   (zorvan-cli help COMMAND for more)\n"
                       "  get URL...     download addresses (-i FILE: from a list)\n"
                       "  works ID       list a performer's works\n"
                       "  get-all ID     download every work of a performer, then only what is new\n"
                       "  follow ID      follow a performer (unfollow ID, following)\n"
                       "  sync           download what is new of every followed performer\n"
                       "  help [COMMAND] this text, or a command's (-h, --help after any command)\n"
                       "  version, -V, --version  the version\n"
                       "options go before or after the arguments, as --name VALUE, --name=VALUE,\n"
                       "-n VALUE or -nVALUE; short flags bundle (-qk); -- ends the options. Options\n"
                       "also come from ~/.config/zorvan/cli.conf (see zorvan-cli(1)).\n") +
           exitCodes;
}

namespace {

bool readNumber(const std::string& text, std::int64_t& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (*end != '\0' || v < 0 || errno == ERANGE) return false;
    value = v;
    return true;
}

bool fail(std::string& error, std::string message) {
    error = std::move(message);
    return false;
}

using Apply = std::function<bool(const std::string&, const std::string&, std::string&)>;

OptionSpec flag(std::vector<std::string> names, char shortName, std::function<void()> set) {
    return {std::move(names), shortName, false, [set](const std::string&, const std::string&, std::string&) {
                set();
                return true;
            }};
}

OptionSpec valued(std::vector<std::string> names, char shortName, Apply apply) {
    return {std::move(names), shortName, true, std::move(apply)};
}

OptionSpec text(std::vector<std::string> names, char shortName, std::string& out) {
    return valued(std::move(names), shortName, [&out](const std::string&, const std::string& value, std::string&) {
        out = value;
        return true;
    });
}

template <typename Int>
OptionSpec number(std::vector<std::string> names, char shortName, std::int64_t least, std::int64_t most, Int& out) {
    return valued(std::move(names), shortName,
                  [&out, least, most](const std::string& name, const std::string& value, std::string& error) {
                      std::int64_t n = 0;
                      if (!readNumber(value, n) || n < least || n > most)
                          return fail(error, name + " needs a whole number from " + std::to_string(least) + " to " +
                                                 std::to_string(most));
                      out = static_cast<Int>(n);
                      return true;
                  });
}

// "1-5,9": sequence ranges.
bool readItems(const std::string& text, std::vector<std::pair<int, int>>& items, std::string& error) {
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
            return fail(error, "--items takes sequence numbers and ranges, like 1-5,9");
        items.emplace_back(static_cast<int>(first), static_cast<int>(last));
    }
    return true;
}

bool isToken(const std::string& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return std::isalnum(c) || std::strchr("!#$%&'*+-.^_`|~", c);
    });
}

// A header line the user adds: "Name: value", nothing that could start
// another line, and none of the lines the download itself must write.
bool readHeader(const std::string& option, const std::string& line, std::vector<std::string>& headers,
                std::string& error) {
    const auto colon = line.find(':');
    const std::string name = colon == std::string::npos ? std::string() : line.substr(0, colon);
    if (!isToken(name)) return fail(error, option + " takes a header line, like 'Accept-Language: en'");
    if (line.find_first_of("\r\n") != std::string::npos || line.find('\0') != std::string::npos)
        return fail(error, option + ": a header cannot hold a line break");
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const char* own : {"range", "if-range", "connection", "content-length", "transfer-encoding",
                            "proxy-connection", "te", "upgrade"})
        if (lower == own) return fail(error, option + " cannot set " + name + ": the download writes it itself");
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(" \t"));
    headers.push_back(name + ": " + value);
    return true;
}

OptionSpec headerAs(std::vector<std::string> names, char shortName, const char* header,
                    std::vector<std::string>& headers) {
    return valued(std::move(names), shortName,
                  [header, &headers](const std::string& name, const std::string& value, std::string& error) {
                      return readHeader(name, std::string(header) + ": " + value, headers, error);
                  });
}

// The options every command that reaches the network shares.
void addNetwork(std::vector<OptionSpec>& specs, NetworkOptions& network) {
    specs.push_back(valued({"proxy"}, 0, [&network](const std::string&, const std::string& value, std::string& error) {
        if (!value.empty() && !parseProxy(value, error)) return false;
        network.proxy = value;
        return true;
    }));
    specs.push_back(valued({"noproxy"}, 0, [&network](const std::string&, const std::string& value, std::string&) {
        network.noProxy = value;
        return true;
    }));
    specs.push_back(text({"cacert"}, 0, network.caFile));
    specs.push_back(flag({"insecure"}, 'k', [&network] { network.insecure = true; }));
    specs.push_back(valued({"retries"}, 0, [&network](const std::string& name, const std::string& value,
                                                      std::string& error) {
        int n = 0;
        if (!number({"retries"}, 0, 0, 999, n).apply(name, value, error)) return false;
        network.retries = n;
        return true;
    }));
    specs.push_back(number({"retry-wait"}, 0, 0, 3600, network.retryWaitSeconds));
    specs.push_back(number({"timeout"}, 0, 1, 3600, network.timeoutSeconds));
    specs.push_back(valued({"header"}, 'H', [&network](const std::string& name, const std::string& value,
                                                       std::string& error) {
        return readHeader(name, value, network.headers, error);
    }));
    specs.push_back(headerAs({"user-agent"}, 'A', "User-Agent", network.headers));
    specs.push_back(headerAs({"referer"}, 0, "Referer", network.headers));
    specs.push_back(headerAs({"cookie"}, 'b', "Cookie", network.headers));
}

// How much a command says, and the config file (read before the options).
void addOutput(std::vector<OptionSpec>& specs, OutputOptions& display) {
    specs.push_back(flag({"quiet"}, 'q', [&display] { display.quiet = true; }));
    specs.push_back(flag({"silent"}, 's', [&display] { display.quiet = true; }));
    specs.push_back(valued({"progress"}, 0, [&display](const std::string&, const std::string& value,
                                                       std::string& error) {
        if (value == "bar") display.progress = ProgressStyle::Bar;
        else if (value == "line") display.progress = ProgressStyle::Line;
        else if (value == "none") display.progress = ProgressStyle::None;
        else return fail(error, "--progress takes bar, line or none");
        return true;
    }));
}

void addConfig(std::vector<OptionSpec>& specs) {
    specs.push_back(valued({"config"}, 0, [](const std::string&, const std::string&, std::string&) { return true; }));
    specs.push_back(flag({"no-config"}, 0, [] {}));
}

void addSelection(std::vector<OptionSpec>& specs, WorkSelection& selection) {
    specs.push_back(valued({"items"}, 0, [&selection](const std::string&, const std::string& value,
                                                      std::string& error) {
        return readItems(value, selection.items, error);
    }));
    specs.push_back(valued({"match"}, 0, [&selection](const std::string&, const std::string& value,
                                                      std::string& error) {
        if (value.empty()) return fail(error, "--match needs a text");
        selection.match = value;
        return true;
    }));
    specs.push_back(number({"max"}, 0, 1, std::numeric_limits<int>::max(), selection.max));
}

OptionSpec limitOption(std::int64_t& limit) {
    return valued({"limit", "limit-rate"}, 0, [&limit](const std::string&, const std::string& value,
                                                       std::string& error) {
        if (!readByteCount(value, limit)) return fail(error, "--limit takes bytes per second, like 500K, 2M or 1G");
        return true;
    });
}

OptionSpec onExistsOption(bool& renameOnExists) {
    return valued({"on-exists"}, 0, [&renameOnExists](const std::string&, const std::string& value,
                                                      std::string& error) {
        if (value != "rename" && value != "skip") return fail(error, "--on-exists takes rename or skip");
        renameOnExists = value == "rename";
        return true;
    });
}

void addContinue(std::vector<OptionSpec>& specs, bool& continuePart) {
    specs.push_back(flag({"continue"}, 'c', [&continuePart] { continuePart = true; }));
    specs.push_back(flag({"no-continue"}, 0, [&continuePart] { continuePart = false; }));
}

OptionSpec serviceOption(std::string& service) {
    return valued({"service"}, 0, [&service](const std::string&, const std::string& value, std::string& error) {
        if (value.empty()) return fail(error, "--service needs an address");
        service = serviceAddress({"--service", value});
        return true;
    });
}

OptionSpec jsonOption(bool& json) {
    return flag({"json"}, 0, [&json] { json = true; });
}

// What every command that reaches the network takes.
std::vector<OptionSpec> networkCommandSpecs(NetworkOptions& network, OutputOptions& display) {
    std::vector<OptionSpec> specs;
    addNetwork(specs, network);
    addOutput(specs, display);
    addConfig(specs);
    return specs;
}

std::vector<OptionSpec> getSpecs(GetOptions& o) {
    std::vector<OptionSpec> specs = networkCommandSpecs(o.network, o.display);
    addContinue(specs, o.continuePart);
    specs.push_back(text({"output"}, 'o', o.output));
    specs.push_back(text({"output-dir"}, 'd', o.outputDir));
    specs.push_back(valued({"input-file"}, 'i', [&o](const std::string& name, const std::string& value,
                                                     std::string& error) {
        if (value.empty()) return fail(error, name + " needs a file name (- for standard input)");
        o.inputFile = value;
        return true;
    }));
    specs.push_back(number({"connections"}, 'n', 1, 64, o.connections));
    specs.push_back(number({"jobs"}, 'j', 1, 64, o.parallel));
    specs.push_back(limitOption(o.speedLimit));
    specs.push_back(onExistsOption(o.renameOnExists));
    specs.push_back(flag({"verbose"}, 'v', [&o] { o.verbose = true; }));
    specs.push_back(flag({"no-fsync"}, 0, [&o] { o.sync = false; }));
    specs.push_back(flag({"no-splice"}, 0, [&o] { o.splice = false; }));
    specs.push_back(number({"buffer"}, 0, 1024, maxBufferBytes, o.bufferSize));
    specs.push_back(number({"chunk"}, 0, 1, maxBufferBytes, o.chunkSize));
    specs.push_back(number({"checkpoint"}, 0, 10, 60000, o.checkpointMs));
    specs.push_back(jsonOption(o.json));
    return specs;
}

std::vector<OptionSpec> worksSpecs(WorksOptions& o) {
    std::vector<OptionSpec> specs = networkCommandSpecs(o.network, o.display);
    addSelection(specs, o.selection);
    specs.push_back(serviceOption(o.service));
    specs.push_back(jsonOption(o.json));
    return specs;
}

std::vector<OptionSpec> getAllSpecs(GetAllOptions& o) {
    std::vector<OptionSpec> specs = networkCommandSpecs(o.network, o.display);
    addSelection(specs, o.selection);
    addContinue(specs, o.continuePart);
    specs.push_back(serviceOption(o.service));
    specs.push_back(text({"output"}, 'o', o.folder));
    specs.push_back(text({"output-dir"}, 'd', o.folder));
    specs.push_back(number({"connections"}, 'n', 1, 64, o.connections));
    specs.push_back(number({"jobs"}, 'j', 1, 64, o.parallel));
    specs.push_back(limitOption(o.speedLimit));
    specs.push_back(onExistsOption(o.renameOnExists));
    specs.push_back(flag({"no-fsync"}, 0, [&o] { o.sync = false; }));
    specs.push_back(flag({"dry-run"}, 0, [&o] { o.dryRun = true; }));
    specs.push_back(jsonOption(o.json));
    return specs;
}

std::vector<OptionSpec> followSpecs(FollowOptions& o) {
    std::vector<OptionSpec> specs;
    addConfig(specs);
    if (o.command == "following") specs.push_back(jsonOption(o.json));
    return specs;
}

// Reads the arguments with `specs`, each operand with `operand`.
template <typename Options>
std::optional<Options> parseWith(const std::vector<std::string>& args, std::string& error, Options& options,
                                 const std::vector<OptionSpec>& specs,
                                 const std::function<bool(const std::string&, std::string&)>& operand) {
    if (!scanOptions(args, specs, operand, error)) return std::nullopt;
    return options;
}

bool isCommand(const std::vector<std::string>& args, const char* command, std::string& error) {
    if (!args.empty() && args[0] == command) return true;
    return fail(error, std::string("not the \"") + command + "\" command");
}

// The one performer id a command takes.
std::function<bool(const std::string&, std::string&)> performerOperand(std::string& id) {
    return [&id](const std::string& arg, std::string& error) {
        if (!id.empty()) return fail(error, "only one performer id, please (got " + id + " and " + arg + ")");
        id = arg;
        return true;
    };
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

std::optional<GetOptions> parseGetOptions(const std::vector<std::string>& args, std::string& error) {
    if (!isCommand(args, "get", error)) return std::nullopt;
    GetOptions options;
    auto parsed = parseWith(args, error, options, getSpecs(options), [&options](const std::string& arg, std::string&) {
        options.urls.push_back(arg);
        return true;
    });
    if (!parsed) return std::nullopt;
    if (parsed->urls.empty() && parsed->inputFile.empty()) {
        error = "no address given";
        return std::nullopt;
    }
    const bool many = parsed->urls.size() + (parsed->inputFile.empty() ? 0 : 1) > 1 || !parsed->inputFile.empty();
    if (many && parsed->output == "-") {
        error = "-o - takes one address; several go into files (-d DIR)";
        return std::nullopt;
    }
    if (many && !parsed->output.empty()) {
        error = "-o names one file; for several addresses name their folder with -d DIR";
        return std::nullopt;
    }
    if (!many) parsed->url = parsed->urls.front();
    return parsed;
}

std::optional<WorksOptions> parseWorksOptions(const std::vector<std::string>& args, std::string& error) {
    if (!isCommand(args, "works", error)) return std::nullopt;
    WorksOptions options;
    options.service = serviceAddress({});
    auto parsed = parseWith(args, error, options, worksSpecs(options), performerOperand(options.performerId));
    if (parsed && parsed->performerId.empty()) {
        error = "no performer id given";
        return std::nullopt;
    }
    return parsed;
}

std::optional<GetAllOptions> parseGetAllOptions(const std::vector<std::string>& args, std::string& error) {
    if (!isCommand(args, "get-all", error)) return std::nullopt;
    GetAllOptions options;
    options.service = serviceAddress({});
    auto parsed = parseWith(args, error, options, getAllSpecs(options), performerOperand(options.performerId));
    if (parsed && parsed->performerId.empty()) {
        error = "no performer id given";
        return std::nullopt;
    }
    return parsed;
}

std::optional<FollowOptions> parseFollowOptions(const std::vector<std::string>& args, std::string& error) {
    FollowOptions options;
    options.command = args.empty() ? std::string() : args[0];
    const bool listing = options.command == "following";
    auto parsed = parseWith(args, error, options, followSpecs(options),
                            [&options, listing](const std::string& arg, std::string& error) {
                                if (listing) return fail(error, "following takes no performer id (got " + arg + ")");
                                options.performers.push_back(arg);
                                return true;
                            });
    if (parsed && !listing && parsed->performers.empty()) {
        error = "no performer id given";
        return std::nullopt;
    }
    return parsed;
}

std::optional<GetAllOptions> parseSyncOptions(const std::vector<std::string>& args, std::string& error) {
    if (!isCommand(args, "sync", error)) return std::nullopt;
    GetAllOptions options;
    options.service = serviceAddress({});
    return parseWith(args, error, options, getAllSpecs(options), [](const std::string&, std::string& error) {
        return fail(error, "sync takes no performer id; it checks every followed one (zorvan-cli follow ID)");
    });
}

const std::vector<std::string>& commandNames() {
    static const std::vector<std::string> names{"get", "works", "get-all", "follow", "unfollow", "following",
                                                "sync", "help", "version"};
    return names;
}

namespace {

std::vector<std::string> namesOf(const std::vector<OptionSpec>& specs) {
    std::vector<std::string> names;
    for (const OptionSpec& spec : specs) {
        for (const std::string& name : spec.longNames)
            if (std::find(names.begin(), names.end(), "--" + name) == names.end()) names.push_back("--" + name);
        if (spec.shortName && std::find(names.begin(), names.end(), std::string("-") + spec.shortName) == names.end())
            names.push_back(std::string("-") + spec.shortName);
    }
    return names;
}

// The specs of a command, over options that are thrown away: for what the
// command takes, not for reading.
template <typename Use>
auto withSpecsOf(const std::string& command, Use use) {
    GetOptions get;
    WorksOptions works;
    GetAllOptions all;
    FollowOptions follow{command, {}, false};
    const std::vector<OptionSpec> specs = command == "get"     ? getSpecs(get)
                                          : command == "works" ? worksSpecs(works)
                                          : command == "get-all" || command == "sync" ? getAllSpecs(all)
                                          : command == "follow" || command == "unfollow" || command == "following"
                                              ? followSpecs(follow)
                                              : std::vector<OptionSpec>{};
    return use(specs);
}

}  // namespace

std::optional<bool> optionTakesValue(const std::string& command, const std::string& name) {
    return withSpecsOf(command, [&name](const std::vector<OptionSpec>& specs) -> std::optional<bool> {
        const OptionSpec* spec = findLong(specs, name);
        if (!spec) return std::nullopt;
        return spec->takesValue;
    });
}

std::vector<std::string> optionNames(const std::string& command) {
    return withSpecsOf(command, [](const std::vector<OptionSpec>& specs) { return namesOf(specs); });
}

}  // namespace zorvan::cli
