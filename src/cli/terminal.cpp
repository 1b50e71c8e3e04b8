#include "cli/terminal.h"

#include <unistd.h>

#include <csignal>

namespace zorvan::cli {

std::atomic<bool> interrupted{false};

namespace {
std::atomic<int> interruptSignal{SIGINT};
}  // namespace

bool onTerminal() {
    static const bool terminal = isatty(STDERR_FILENO);
    return terminal;
}

const char* lineStart() { return onTerminal() ? "\r\033[K" : ""; }

void catchInterrupts() {
    const auto onSignal = [](int signal) {
        if (!interrupted.exchange(true)) interruptSignal = signal;
    };
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
}

int interruptedExitCode() { return 128 + interruptSignal.load(); }

}  // namespace zorvan::cli
