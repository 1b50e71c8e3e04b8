#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace zorvan::test {

struct CliRun {
    int exitCode = -1;
    std::string output;  // standard output and standard error together
};

// Runs zorvan-cli with the arguments (shell words; a redirection of
// standard output among them leaves standard error here) to its end, without
// the proxies of the machine's environment; `environment` sets variables
// ("http_proxy=http://127.0.0.1:8080").
inline CliRun runCli(const std::string& arguments, const std::string& environment = {}) {
    CliRun run;
    const std::string command = "env -u http_proxy -u https_proxy -u HTTPS_PROXY -u all_proxy -u ALL_PROXY "
                                "-u no_proxy -u NO_PROXY " +
                                environment + " " + ZORVAN_CLI_PATH + " 2>&1 " + arguments;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) run.output += buffer;
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace zorvan::test
