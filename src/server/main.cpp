// zorvan-server: Zorvan's downloads, following and library without a
// window, steered over HTTP from a phone or another computer.
#include "server/server_options.h"
#include "server/server_program.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace zorvan;
    std::string error;
    const std::optional<ServerOptions> options = parseServerOptions({argv + 1, argv + argc}, error);
    if (!options) {
        std::fprintf(stderr, "zorvan-server: %s (try 'zorvan-server --help')\n", error.c_str());
        return 2;
    }
    switch (options->task) {
        case ServerOptions::Task::Help: std::fputs(serverUsage(), stdout); return 0;
        case ServerOptions::Task::Version: std::printf("zorvan-server %s\n", ZORVAN_VERSION); return 0;
        case ServerOptions::Task::SetPassword: return setServerPassword(*options);
        case ServerOptions::Task::PrintLink: return printServerLink(*options);
        case ServerOptions::Task::Serve: break;
    }
    return runServer(*options);
}
