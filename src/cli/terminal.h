#pragma once

#include <atomic>

namespace zorvan::cli {

// Whether standard error is a terminal: live lines there, plain lines else.
bool onTerminal();
// Where a live line may stand, a printed line starts by clearing it.
const char* lineStart();

// Set by Ctrl-C (and SIGTERM): every command stops cleanly.
extern std::atomic<bool> interrupted;
void catchInterrupts();
// The exit code of a command that was stopped: 128 + the signal's number
// (130 for Ctrl-C, 143 for SIGTERM), as shells report it.
int interruptedExitCode();

}  // namespace zorvan::cli
