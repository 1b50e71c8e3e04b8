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

OptionRule flag(std::vector<std::string> names, char shortName, std::function<void()> set) {
    return {std::move(names), shortName, false, [set](const std::string&, const std::string&, std::string&) {
                set();
                return true;
            }};
}

OptionRule valued(std::vector<std::string> names, char shortName, Apply apply) {
    return {std::move(names), shortName, true, std::move(apply)};
}

OptionRule text(std::vector<std::string> names, char shortName, std::string& out) {
    return valued(std::move(names), shortName, [&out](const std::string&, const std::string& value, std::string&) {
        out = value;
        return true;
    });
}

template <typename Int>
OptionRule number(std::vector<std::string> names, char shortName, std::int64_t least, std::int64_t most, Int& out) {
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

OptionRule headerAs(std::vector<std::string> names, char shortName, const char* header,
                    std::vector<std::string>& headers) {
    return valued(std::move(names), shortName,
                  [header, &headers](const std::string& name, const std::string& value, std::string& error) {
                      return readHeader(name, std::string(header) + ": " + value, headers, error);
                  });
}

// The options every command that reaches the network shares.
void addNetwork(std::vector<OptionRule>& rules, NetworkOptions& network) {
    rules.push_back(valued({"proxy"}, 0, [&network](const std::string&, const std::string& value, std::string& error) {
        if (!value.empty() && !parseProxy(value, error)) return false;
        network.proxy = value;
        return true;
    }));
    rules.push_back(valued({"noproxy"}, 0, [&network](const std::string&, const std::string& value, std::string&) {
        network.noProxy = value;
        return true;
    }));
    rules.push_back(text({"cacert"}, 0, network.caFile));
    rules.push_back(flag({"insecure"}, 'k', [&network] { network.insecure = true; }));
    rules.push_back(valued({"retries"}, 0, [&network](const std::string& name, const std::string& value,
                                                      std::string& error) {
        int n = 0;
        if (!number({"retries"}, 0, 0, 999, n).apply(name, value, error)) return false;
        network.retries = n;
        return true;
    }));
    rules.push_back(number({"retry-wait"}, 0, 0, 3600, network.retryWaitSeconds));
    rules.push_back(number({"timeout"}, 0, 1, 3600, network.timeoutSeconds));
    rules.push_back(valued({"header"}, 'H', [&network](const std::string& name, const std::string& value,
                                                       std::string& error) {
        return readHeader(name, value, network.headers, error);
    }));
    rules.push_back(headerAs({"user-agent"}, 'A', "User-Agent", network.headers));
    rules.push_back(headerAs({"referer"}, 0, "Referer", network.headers));
    rules.push_back(headerAs({"cookie"}, 'b', "Cookie", network.headers));
}

// How much a command says, and the config file (read before the options).
void addOutput(std::vector<OptionRule>& rules, OutputOptions& display) {
    rules.push_back(flag({"quiet"}, 'q', [&display] { display.quiet = true; }));
    rules.push_back(flag({"silent"}, 's', [&display] { display.quiet = true; }));
    rules.push_back(valued({"progress"}, 0, [&display](const std::string&, const std::string& value,
                                                       std::string& error) {
        if (value == "bar") display.progress = ProgressStyle::Bar;
        else if (value == "line") display.progress = ProgressStyle::Line;
        else if (value == "none") display.progress = ProgressStyle::None;
        else return fail(error, "--progress takes bar, line or none");
        return true;
    }));
}

void addConfig(std::vector<OptionRule>& rules) {
    rules.push_back(valued({"config"}, 0, [](const std::string&, const std::string&, std::string&) { return true; }));
    rules.push_back(flag({"no-config"}, 0, [] {}));
}

void addSelection(std::vector<OptionRule>& rules, WorkSelection& selection) {
    rules.push_back(valued({"items"}, 0, [&selection](const std::string&, const std::string& value,
                                                      std::string& error) {
        return readItems(value, selection.items, error);
    }));
    rules.push_back(valued({"match"}, 0, [&selection](const std::string&, const std::string& value,
                                                      std::string& error) {
        if (value.empty()) return fail(error, "--match needs a text");
        selection.match = value;
        return true;
    }));
    rules.push_back(number({"max"}, 0, 1, std::numeric_limits<int>::max(), selection.max));
}

OptionRule limitOption(std::int64_t& limit) {
    return valued({"limit", "limit-rate"}, 0, [&limit](const std::string&, const std::string& value,
                                                       std::string& error) {
        if (!readByteCount(value, limit)) return fail(error, "--limit takes bytes per second, like 500K, 2M or 1G");
        return true;
    });
}

OptionRule onExistsOption(bool& renameOnExists) {
    return valued({"on-exists"}, 0, [&renameOnExists](const std::string&, const std::string& value,
                                                      std::string& error) {
        if (value != "rename" && value != "skip") return fail(error, "--on-exists takes rename or skip");
        renameOnExists = value == "rename";
        return true;
    });
}

void addContinue(std::vector<OptionRule>& rules, bool& continuePart, bool& strict) {
    rules.push_back(flag({"continue"}, 'c', [&continuePart] { continuePart = true; }));
    rules.push_back(flag({"no-continue"}, 0, [&continuePart] { continuePart = false; }));
    rules.push_back(flag({"strict"}, 0, [&strict] { strict = true; }));
}

OptionRule serviceOption(std::string& service) {
    return valued({"service"}, 0, [&service](const std::string&, const std::string& value, std::string& error) {
        if (value.empty()) return fail(error, "--service needs an address");
        service = serviceAddress({"--service", value});
        return true;
    });
}

OptionRule jsonOption(bool& json) {
    return flag({"json"}, 0, [&json] { json = true; });
}

// What every command that reaches the network takes.
std::vector<OptionRule> networkCommandRules(NetworkOptions& network, OutputOptions& display) {
    std::vector<OptionRule> rules;
    addNetwork(rules, network);
    addOutput(rules, display);
    addConfig(rules);
    return rules;
}

std::vector<OptionRule> getRules(GetOptions& o) {
    std::vector<OptionRule> rules = networkCommandRules(o.network, o.display);
    addContinue(rules, o.continuePart, o.strict);
    rules.push_back(text({"output"}, 'o', o.output));
    rules.push_back(text({"output-dir"}, 'd', o.outputDir));
    rules.push_back(valued({"input-file"}, 'i', [&o](const std::string& name, const std::string& value,
                                                     std::string& error) {
        if (value.empty()) return fail(error, name + " needs a file name (- for standard input)");
        o.inputFile = value;
        return true;
    }));
    rules.push_back(number({"connections"}, 'n', 1, 64, o.connections));
    rules.push_back(number({"jobs"}, 'j', 1, 64, o.parallel));
    rules.push_back(limitOption(o.speedLimit));
    rules.push_back(onExistsOption(o.renameOnExists));
    rules.push_back(flag({"verbose"}, 'v', [&o] { o.verbose = true; }));
    rules.push_back(flag({"no-fsync"}, 0, [&o] { o.sync = false; }));
    rules.push_back(flag({"no-splice"}, 0, [&o] { o.splice = false; }));
    rules.push_back(number({"buffer"}, 0, 1024, maxBufferBytes, o.bufferSize));
    rules.push_back(number({"chunk"}, 0, 1, maxBufferBytes, o.chunkSize));
    rules.push_back(number({"checkpoint"}, 0, 10, 60000, o.checkpointMs));
    rules.push_back(jsonOption(o.json));
    return rules;
}

std::vector<OptionRule> worksRules(WorksOptions& o) {
    std::vector<OptionRule> rules = networkCommandRules(o.network, o.display);
    addSelection(rules, o.selection);
    rules.push_back(serviceOption(o.service));
    rules.push_back(jsonOption(o.json));
    return rules;
}

std::vector<OptionRule> getAllRules(GetAllOptions& o) {
    std::vector<OptionRule> rules = networkCommandRules(o.network, o.display);
    addSelection(rules, o.selection);
    addContinue(rules, o.continuePart, o.strict);
    rules.push_back(serviceOption(o.service));
    rules.push_back(text({"output"}, 'o', o.folder));
    rules.push_back(text({"output-dir"}, 'd', o.folder));
    rules.push_back(number({"connections"}, 'n', 1, 64, o.connections));
    rules.push_back(number({"jobs"}, 'j', 1, 64, o.parallel));
    rules.push_back(limitOption(o.speedLimit));
    rules.push_back(onExistsOption(o.renameOnExists));
    rules.push_back(flag({"no-fsync"}, 0, [&o] { o.sync = false; }));
    rules.push_back(flag({"dry-run"}, 0, [&o] { o.dryRun = true; }));
    rules.push_back(valued({"layout"}, 0, [&o](const std::string&, const std::string& value, std::string& error) {
        if (value != "song" && value != "performer") return fail(error, "--layout takes song or performer");
        o.naming = value == "song" ? FileNaming::SongName : FileNaming::PerformerFolder;
        return true;
    }));
    rules.push_back(flag({"media-files"}, 0, [&o] { o.mediaFiles = true; }));
    rules.push_back(flag({"no-media-files"}, 0, [&o] { o.mediaFiles = false; }));
    rules.push_back(jsonOption(o.json));
    return rules;
}

std::vector<OptionRule> verifyRules(VerifyOptions& o) {
    std::vector<OptionRule> rules = networkCommandRules(o.network, o.display);
    rules.push_back(serviceOption(o.service));
    rules.push_back(text({"output"}, 'o', o.folder));
    rules.push_back(text({"output-dir"}, 'd', o.folder));
    rules.push_back(number({"connections"}, 'n', 1, 64, o.connections));
    rules.push_back(flag({"repair"}, 0, [&o] { o.repair = true; }));
    rules.push_back(jsonOption(o.json));
    return rules;
}

std::vector<OptionRule> followRules(FollowOptions& o) {
    std::vector<OptionRule> rules;
    addConfig(rules);
    if (o.command == "following") rules.push_back(jsonOption(o.json));
    return rules;
}

// Reads the arguments with `rules`, each operand with `operand`.
template <typename Options>
std::optional<Options> parseWith(const std::vector<std::string>& args, std::string& error, Options& options,
                                 const std::vector<OptionRule>& rules,
                                 const std::function<bool(const std::string&, std::string&)>& operand) {
    if (!scanOptions(args, rules, operand, error)) return std::nullopt;
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
    auto parsed = parseWith(args, error, options, getRules(options), [&options](const std::string& arg, std::string&) {
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
    auto parsed = parseWith(args, error, options, worksRules(options), performerOperand(options.performerId));
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
    auto parsed = parseWith(args, error, options, getAllRules(options), performerOperand(options.performerId));
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
    auto parsed = parseWith(args, error, options, followRules(options),
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

std::optional<VerifyOptions> parseVerifyOptions(const std::vector<std::string>& args, std::string& error) {
    if (!isCommand(args, "verify", error)) return std::nullopt;
    VerifyOptions options;
    options.service = serviceAddress({});
    return parseWith(args, error, options, verifyRules(options), [&options](const std::string& arg, std::string&) {
        // A performer id is digits; anything else names a file or a folder.
        const bool id = !arg.empty() && std::all_of(arg.begin(), arg.end(), [](char c) { return c >= '0' && c <= '9'; });
        (id ? options.performers : options.paths).push_back(arg);
        return true;
    });
}

std::optional<GetAllOptions> parseSyncOptions(const std::vector<std::string>& args, std::string& error) {
    if (!isCommand(args, "sync", error)) return std::nullopt;
    GetAllOptions options;
    options.service = serviceAddress({});
    return parseWith(args, error, options, getAllRules(options), [](const std::string&, std::string& error) {
        return fail(error, "sync takes no performer id; it checks every followed one (zorvan-cli follow ID)");
    });
}

const std::vector<std::string>& commandNames() {
    static const std::vector<std::string> names{"get", "works", "get-all", "follow", "unfollow", "following",
                                                "sync", "verify", "help", "version"};
    return names;
}

namespace {

std::vector<std::string> namesOf(const std::vector<OptionRule>& rules) {
    std::vector<std::string> names;
    for (const OptionRule& rule : rules) {
        for (const std::string& name : rule.longNames)
            if (std::find(names.begin(), names.end(), "--" + name) == names.end()) names.push_back("--" + name);
        if (rule.shortName && std::find(names.begin(), names.end(), std::string("-") + rule.shortName) == names.end())
            names.push_back(std::string("-") + rule.shortName);
    }
    return names;
}

// The rules of a command, over options that are thrown away: for what the
// command takes, not for reading.
template <typename Use>
auto withRulesOf(const std::string& command, Use use) {
    GetOptions get;
    WorksOptions works;
    GetAllOptions all;
    VerifyOptions verify;
    FollowOptions follow{command, {}, false};
    const std::vector<OptionRule> rules = command == "get"      ? getRules(get)
                                          : command == "works"  ? worksRules(works)
                                          : command == "verify" ? verifyRules(verify)
                                          : command == "get-all" || command == "sync" ? getAllRules(all)
                                          : command == "follow" || command == "unfollow" || command == "following"
                                              ? followRules(follow)
                                              : std::vector<OptionRule>{};
    return use(rules);
}

}  // namespace

std::optional<bool> optionTakesValue(const std::string& command, const std::string& name) {
    return withRulesOf(command, [&name](const std::vector<OptionRule>& rules) -> std::optional<bool> {
        const OptionRule* rule = findLong(rules, name);
        if (!rule) return std::nullopt;
        return rule->takesValue;
    });
}

std::vector<std::string> optionNames(const std::string& command) {
    return withRulesOf(command, [](const std::vector<OptionRule>& rules) { return namesOf(rules); });
}

}  // namespace zorvan::cli
