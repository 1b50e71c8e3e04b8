#include "cli/terminal.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace zorvan::cli {

std::atomic<bool> interrupted{false};

namespace {
std::atomic<int> interruptSignal{SIGINT};
ProgressStyle chosenStyle = ProgressStyle::Auto;
bool quietOutput = false;
}  // namespace

void setOutputStyle(ProgressStyle style, bool quiet) {
    chosenStyle = quiet ? ProgressStyle::None : style;
    quietOutput = quiet;
}

ProgressStyle progressStyle() {
    if (chosenStyle != ProgressStyle::Auto) return chosenStyle == ProgressStyle::Bar && !onTerminal() ? ProgressStyle::Line : chosenStyle;
    return onTerminal() ? ProgressStyle::Bar : ProgressStyle::Line;
}

bool quiet() { return quietOutput; }

bool printOut(const std::string& line) {
    return std::fputs(line.c_str(), stdout) >= 0 && std::fputc('\n', stdout) != EOF;
}

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
