#include "cli/terminal.h"

#include <unistd.h>

#include <csignal>

namespace zorvan::cli {

std::atomic<bool> interrupted{false};

bool onTerminal() {
    static const bool terminal = isatty(STDERR_FILENO);
    return terminal;
}

const char* lineStart() { return onTerminal() ? "\r\033[K" : ""; }

void catchInterrupts() {
    std::signal(SIGINT, [](int) { interrupted = true; });
    std::signal(SIGTERM, [](int) { interrupted = true; });
}

}  // namespace zorvan::cli
