#pragma once

#include <functional>
#include <string>

namespace zorvan {

// What start-up runs once the program-wide state exists: the routines of
// the other subsystems in this fixed order, and the two steps after them.
// The program assembles them (app/program_routines.h); tests replace them
// to watch the order.
struct StartupSteps {
    // Fills the routing table for the service at this web host (optional).
    std::function<void(const std::string& serviceAddress)> installRoutines;
    std::function<void()> installFileHooks;   // the player's file-function hooks
    std::function<void()> loadSkinModule;     // the embedded skin library
    std::function<bool()> initHttpClient;     // false: the program ends silently, code 0
    std::function<bool()> loadMainWindow;     // false: fatal "载入启动窗口失败"
    std::function<int()> runMessageLoop;
};

// The program: prepares the process, creates the program-wide state,
// registers the clean-up, runs the start-up steps, shows the main window
// and runs the message loop. Creates the application object unless one
// exists. Returns 0 when the message loop ends by itself.
int programStart(int& argc, char** argv, const StartupSteps& steps);

// The program's font (the windows' layouts assume a 12-pixel one) and
// Qt's own texts in Chinese. Needs the application object.
void applyProgramLook();

// Runs the GUI thread's message loop while any window of the program exists.
int runMessageLoop();

}  // namespace zorvan
