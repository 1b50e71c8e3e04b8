// Entry point of the GUI test programs: one application object on the main
// thread, which is the program's GUI thread, and the program-wide state.
#include "shell/gui_thread.h"
#include "shell/program_state.h"
#include "shell/routing.h"
#include "shell/startup.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    // Headless unless the caller chose a platform (e.g. xcb under Xvfb).
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QT_MEDIA_BACKEND", "gstreamer", 0);
    // The library, the remembered window and the downloads are the tests'
    // own: see test_home.cpp.
    testing::InitGoogleTest(&argc, argv);
    // Death tests re-run this program, which is safe with the threads Qt starts.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    zorvan::applyProgramLook();
    zorvan::markGuiThread();
    zorvan::createProgramState("http://127.0.0.1:1");
    zorvan::wireWindows();
    return RUN_ALL_TESTS();
}
