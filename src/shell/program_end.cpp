#include "shell/program_end.h"

#include "shell/gui_thread.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace zorvan {

namespace {

std::vector<CleanupRoutine> cleanupRoutines;
std::atomic<bool> ending{false};
// Set by a fatal error: the clean-up must not run, though the error box
// still needs the GUI thread.
std::atomic<bool> failing{false};

[[noreturn]] void endProcess(int code) {
    // Static destructors must not run while Qt objects still live on the
    // GUI thread's stack; the routines above did the real releasing.
    std::fflush(nullptr);
    std::_Exit(code);
}

[[noreturn]] void waitForTheEnd() {
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}

void endOnGuiThread(int code) {
    if (failing.load() || ending.exchange(true)) return;
    for (CleanupRoutine routine : cleanupRoutines) routine();
    endProcess(code);
}

}  // namespace

void registerCleanup(CleanupRoutine routine) {
    if (std::find(cleanupRoutines.begin(), cleanupRoutines.end(), routine) == cleanupRoutines.end())
        cleanupRoutines.push_back(routine);
}

int registeredCleanupCount() { return static_cast<int>(cleanupRoutines.size()); }

bool endUnderWay() { return ending.load(); }

void endProgram(int code) {
    if (failing.load() && !isGuiThread()) waitForTheEnd();  // the fatal error ends the process
    if (isGuiThread()) {
        endOnGuiThread(code);
        return;
    }
    if (!ending.load() && QCoreApplication::instance())
        runOnGuiAndWait([code] { endOnGuiThread(code); });
    // Still here: either the GUI thread is already ending the process, or
    // there is no GUI thread to take the end.
    if (!ending.exchange(true)) endProcess(code);
    waitForTheEnd();
}

void startFailing() {
    // Keeps any other end from running the clean-up; the list itself
    // belongs to the GUI thread.
    failing = true;
    if (isGuiThread()) cleanupRoutines.clear();
}

void endProcessAfterFailure() { endProcess(-1); }

}  // namespace zorvan
