#include "cli/cli_options.h"

#include <cstdlib>

namespace zorvan::cli {

const char* usageText() {
    return "usage: zorvan-cli get URL [-o PATH] [-n CONNECTIONS] [--limit BYTES_PER_S]\n"
           "                  [--proxy HOST:PORT] [--on-exists rename|skip] [-v]\n"
           "                  [--buffer BYTES] [--chunk BYTES]\n"
           "  -o PATH        where to save (a path ending in / is a folder); default: the\n"
           "                 file name from the address, in the current folder\n"
           "  -n N           connections (default 5)\n"
           "  --limit B      bytes per second for the whole download (default unlimited)\n"
           "  --proxy H:P    HTTP proxy\n"
           "  --on-exists    when the file exists: save as name(1).ext... (rename, default) or skip\n"
           "  -v             print the engine's log\n"
           "  --buffer B     receive buffer per connection; --chunk B: bytes per receive step\n";
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

}  // namespace

std::optional<GetOptions> parseGetOptions(const std::vector<std::string>& args, std::string& error) {
    if (args.empty() || args[0] != "get") {
        error = "the only command is \"get\"";
        return std::nullopt;
    }
    GetOptions options;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto number = [&](std::int64_t& out, std::int64_t least) {
            std::string text;
            if (!value(text)) return false;
            if (!readNumber(text, out) || out < least) {
                error = arg + " needs a whole number of at least " + std::to_string(least);
                return false;
            }
            return true;
        };
        std::int64_t n = 0;
        std::string text;
        if (arg == "-o") {
            if (!value(options.output)) return std::nullopt;
        } else if (arg == "-n") {
            if (!number(n, 1)) return std::nullopt;
            if (n > 64) {
                error = "-n allows at most 64 connections";
                return std::nullopt;
            }
            options.connections = static_cast<int>(n);
        } else if (arg == "--limit") {
            if (!number(options.speedLimit, 0)) return std::nullopt;
        } else if (arg == "--proxy") {
            if (!value(options.proxy)) return std::nullopt;
        } else if (arg == "--on-exists") {
            if (!value(text)) return std::nullopt;
            if (text != "rename" && text != "skip") {
                error = "--on-exists takes rename or skip";
                return std::nullopt;
            }
            options.renameOnExists = text == "rename";
        } else if (arg == "--buffer") {
            if (!number(n, 1024)) return std::nullopt;
            options.bufferSize = static_cast<std::size_t>(n);
        } else if (arg == "--chunk") {
            if (!number(n, 1)) return std::nullopt;
            options.chunkSize = static_cast<int>(std::min<std::int64_t>(n, 1 << 30));
        } else if (arg == "-v") {
            options.verbose = true;
        } else if (!arg.empty() && arg[0] == '-') {
            error = "unknown option " + arg;
            return std::nullopt;
        } else if (options.url.empty()) {
            options.url = arg;
        } else {
            error = "only one address, please";
            return std::nullopt;
        }
    }
    if (options.url.empty()) {
        error = "no address given";
        return std::nullopt;
    }
    return options;
}

}  // namespace zorvan::cli
