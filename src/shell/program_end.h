#pragma once


namespace zorvan {

using CleanupRoutine = void (*)();

// Adds a routine to those endProgram runs, in registration order. A routine
// already registered is not added twice. GUI thread only.
void registerCleanup(CleanupRoutine routine);
int registeredCleanupCount();

// Ends the program with the given exit code: the registered routines run
// once, on the GUI thread, then the process ends. Callable from any thread;
// a worker's call is carried out on the GUI thread and never returns. The
// only return is from a call made on the GUI thread while an end is already
// under way (a window closed by the end itself, say), which leaves that end
// to finish.
void endProgram(int code);

bool endUnderWay();

// A fatal error under way (fatal_error.h): the clean-up never runs, and
// every other end waits for the process to end with -1.
void startFailing();
[[noreturn]] void endProcessAfterFailure();

}  // namespace zorvan
