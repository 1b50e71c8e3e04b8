// zorvan-cli: the program's works retrieval and download engine without a
// window, driven the way the GUI drives them.
#include "cli/cli_options.h"
#include "cli/follow_commands.h"
#include "cli/get_all_command.h"
#include "cli/get_command.h"
#include "cli/terminal.h"
#include "cli/works_command.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace zorvan::cli;

int usageError(const std::string& command, const std::string& error) {
    std::fprintf(stderr, "zorvan-cli: %s\n%s", error.c_str(), usageText(command).c_str());
    return 2;
}

template <typename Options>
int run(const std::vector<std::string>& args, Options (*parse)(const std::vector<std::string>&, std::string&),
        int (*command)(const typename Options::value_type&)) {
    std::string error;
    const auto options = parse(args, error);
    return options ? command(*options) : usageError(args[0], error);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usageError({}, "no command given");
    const std::string& command = args[0];
    if (command == "--version") {
        std::printf("zorvan-cli %s\n", ZORVAN_VERSION);
        return 0;
    }
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(usageText(command == arg ? std::string() : command).c_str(), stdout);
            return 0;
        }
    }
    catchInterrupts();
    if (command == "get") return run(args, parseGetOptions, runGet);
    if (command == "works") return run(args, parseWorksOptions, runWorks);
    if (command == "get-all") return run(args, parseGetAllOptions, runGetAll);
    if (command == "follow" || command == "unfollow" || command == "following")
        return run(args, parseFollowOptions, runFollow);
    if (command == "sync") return run(args, parseSyncOptions, runSync);
    return usageError({}, "unknown command \"" + command + "\"");
}
