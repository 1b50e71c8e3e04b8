#pragma once

#include <functional>

namespace zorvan {

// The start-up routines of the other subsystems, run in this fixed order
// after the program-wide state exists, and the two steps after them. Tests
// replace them to watch the order; the program uses defaultStartupSteps().
struct StartupSteps {
    std::function<void()> installFileHooks;   // the player's file-function hooks
    std::function<void()> loadSkinModule;     // the embedded skin library
    std::function<bool()> initHttpClient;     // false: the program ends silently, code 0
    std::function<bool()> loadMainWindow;     // false: fatal "载入启动窗口失败"
    std::function<int()> runMessageLoop;
};

StartupSteps defaultStartupSteps();

// The program: prepares the process, creates the program-wide state,
// registers the clean-up, runs the start-up steps, shows the main window
// and runs the message loop. Creates the application object unless one
// exists. Returns 0 when the message loop ends by itself.
int programStart(int& argc, char** argv, const StartupSteps& steps = defaultStartupSteps());

// The windows' layouts assume a 12-pixel font; use one.
void applyDesignFont();

// Runs the GUI thread's message loop while any window of the program exists.
int runMessageLoop();

}  // namespace zorvan
