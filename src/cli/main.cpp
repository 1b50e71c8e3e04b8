// zorvan-cli: the program's works retrieval and download engine without a
// window, driven the way the GUI drives them.
#include "cli/cli_options.h"
#include "cli/config_file.h"
#include "cli/follow_commands.h"
#include "cli/get_all_command.h"
#include "cli/get_command.h"
#include "cli/get_many.h"
#include "cli/terminal.h"
#include "cli/usage_text.h"
#include "cli/verify_command.h"
#include "cli/works_command.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace zorvan::cli;

// One line that names the mistake and where help is, as getopt tools do.
int usageError(const std::string& command, const std::string& error) {
    const bool known = std::find(commandNames().begin(), commandNames().end(), command) != commandNames().end();
    std::fprintf(stderr, "zorvan-cli: %s; try 'zorvan-cli %s--help'\n", error.c_str(),
                 known ? (command + " ").c_str() : "");
    return 2;
}

template <typename Options>
int run(const std::vector<std::string>& args, Options (*parse)(const std::vector<std::string>&, std::string&),
        int (*command)(const typename Options::value_type&)) {
    std::string error;
    const auto configured = withConfigFile(args, error);
    if (!configured) return usageError(args[0], error);
    const auto options = parse(*configured, error);
    return options ? command(*options) : usageError(args[0], error);
}

// "get" with one address fetches it alone; with several, or a list, over the queue.
int getOneOrMany(const GetOptions& options) { return options.url.empty() ? runGetMany(options) : runGet(options); }

int help(const std::string& command) {
    const bool known = command.empty() ||
                       std::find(commandNames().begin(), commandNames().end(), command) != commandNames().end();
    if (!known) return usageError({}, "no command \"" + command + "\"");
    std::fputs(usageText(command).c_str(), stdout);
    return 0;
}

int version() {
    std::printf("zorvan-cli %s\n", ZORVAN_VERSION);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usageError({}, "no command given");
    const std::string& command = args[0];
    if (command == "--version" || command == "-V" || command == "version") return version();
    if (command == "help") return help(args.size() > 1 ? args[1] : std::string());
    for (const std::string& arg : args) {
        if (arg == "--") break;
        if (arg == "--help" || arg == "-h") return help(command == arg ? std::string() : command);
        if (arg == "--version" || arg == "-V") return version();
    }
    catchInterrupts();
    if (command == "get") return run(args, parseGetOptions, getOneOrMany);
    if (command == "works") return run(args, parseWorksOptions, runWorks);
    if (command == "get-all") return run(args, parseGetAllOptions, runGetAll);
    if (command == "follow" || command == "unfollow" || command == "following")
        return run(args, parseFollowOptions, runFollow);
    if (command == "sync") return run(args, parseSyncOptions, runSync);
    if (command == "verify") return run(args, parseVerifyOptions, runVerify);
    return usageError({}, "unknown command \"" + command + "\"");
}
