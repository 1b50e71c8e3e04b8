#include "cli/cli_options.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <limits>
#include <utility>

namespace zorvan::cli {

const char* usageText() {
    return "usage: zorvan-cli get URL [-o PATH] [-n CONNECTIONS] [--limit BYTES_PER_S]\n"
           "                  [--proxy HOST:PORT] [--on-exists rename|skip] [-v]\n"
           "                  [--retries N] [--retry-wait S] [--no-fsync] [--buffer B] [--chunk B]\n"
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
           "                 (each at most 64 MiB)\n";
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

bool readOption(ArgumentReader& in, GetOptions& options) {
    constexpr std::int64_t any = std::numeric_limits<std::int64_t>::max();
    const std::string& arg = in.current();
    std::int64_t n = 0;
    std::string text;
    if (arg == "-o") return in.value(options.output);
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
    if (arg == "--on-exists") {
        if (!in.value(text)) return false;
        if (text != "rename" && text != "skip") return in.fail("--on-exists takes rename or skip");
        options.renameOnExists = text == "rename";
        return true;
    }
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

std::optional<GetOptions> parseGetOptions(const std::vector<std::string>& args, std::string& error) {
    if (args.empty() || args[0] != "get") {
        error = "the only command is \"get\"";
        return std::nullopt;
    }
    GetOptions options;
    ArgumentReader in(args, error);
    while (in.next())
        if (!readOption(in, options)) return std::nullopt;
    if (options.url.empty()) {
        error = "no address given";
        return std::nullopt;
    }
    return options;
}

}  // namespace zorvan::cli
