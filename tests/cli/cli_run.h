#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace zorvan::test {

struct CliRun {
    int exitCode = -1;
    std::string output;  // standard output and standard error together
};

// Runs zorvan-cli with the arguments (shell words) to its end.
inline CliRun runCli(const std::string& arguments) {
    CliRun run;
    FILE* pipe = ::popen((std::string(ZORVAN_CLI_PATH) + " " + arguments + " 2>&1").c_str(), "r");
    if (!pipe) return run;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) run.output += buffer;
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace zorvan::test
