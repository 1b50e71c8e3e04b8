#pragma once

#include <atomic>
#include <chrono>
#include <string>

namespace zorvan::cli {

// Whether standard error is a terminal: live lines there, plain lines else.
bool onTerminal();
// Where a live line may stand, a printed line starts by clearing it.
const char* lineStart();
// Prints a line to standard output and says whether it got there (a full
// disk, a closed pipe): a listing that could not be written is a failure.
bool printOut(const std::string& line);

// How progress shows: redrawn in place on a terminal (Bar), a plain line
// now and then (Line, the default elsewhere, for logs), or not at all.
enum class ProgressStyle { Auto, Bar, Line, None };
// How often a plain progress line may be written: a log gains nothing from
// a line a second.
inline constexpr std::chrono::seconds plainLineInterval{10};
// Chosen once from the options; quiet also leaves out what is not a failure.
void setOutputStyle(ProgressStyle style, bool quiet);
ProgressStyle progressStyle();  // never Auto
bool quiet();

// Set by Ctrl-C (and SIGTERM): every command stops cleanly.
extern std::atomic<bool> interrupted;
void catchInterrupts();
// The exit code of a command that was stopped: 128 + the signal's number
// (130 for Ctrl-C, 143 for SIGTERM), as shells report it.
int interruptedExitCode();

}  // namespace zorvan::cli
