#include "cli/stream_get.h"

#include "download_policy/failure_report.h"
#include "cli/network_setup.h"
#include "cli/terminal.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

namespace zorvan::cli {

int streamGet(const GetOptions& options) {
    std::string error;
    if (!applyFetchNetwork(options.network, options.url, error)) {
        std::fprintf(stderr, "zorvan-cli: %s\n", error.c_str());
        return exitCode::usage;
    }
    warnIfInsecure(options.network);
    // A reader that goes away is said as a failed write, not a killed program.
    std::signal(SIGPIPE, SIG_IGN);
    int writeError = 0;
    const auto sink = [&writeError](const char* data, std::size_t count) {
        while (count > 0) {
            const ssize_t n = ::write(STDOUT_FILENO, data, count);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                writeError = n < 0 ? errno : EIO;
                return false;
            }
            data += n;
            count -= static_cast<std::size_t>(n);
        }
        return true;
    };
    const HttpFetchReport report = httpStream(options.url, sink, options.speedLimit, [] { return interrupted.load(); });
    if (writeError != 0) {
        std::fprintf(stderr, "zorvan-cli: cannot write to standard output: %s\n", systemText(writeError).c_str());
        return exitCode::localFile;
    }
    if (interrupted) {
        std::fprintf(stderr, "zorvan-cli: stopped\n");
        return interruptedExitCode();
    }
    if (report.transferCode == 0) return exitCode::done;
    const FailureCause cause = causeOfFetch(report, options.url);
    std::fprintf(stderr, "zorvan-cli: %s: %s\n", options.url.c_str(), causeText(cause).c_str());
    return exitCodeOf(cause);
}

}  // namespace zorvan::cli
