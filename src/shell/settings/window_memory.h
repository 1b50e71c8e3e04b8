#pragma once

#include <QString>

#include <functional>

namespace zorvan {

class MainWindow;

// What the window keeps between runs, in the user's configuration folder
// ($XDG_CONFIG_HOME/zorvan/zorvan.ini): the last performer id, the main
// window's place and size, the stay-on-top choice and whether the library
// view was open. A first run starts as designed: the demo performer, the
// design size, nothing on top.
QString windowMemoryPath();
// The library view and stay-on-top come back through their commands'
// routines, so titles, widths and marks follow as when chosen.
void restoreWindowMemory(MainWindow& window, const std::function<void()>& toggleDownloadedView,
                         const std::function<void()>& toggleStayOnTop);
void saveWindowMemory(const MainWindow& window);
// Forgets everything, the chosen service too (tests, and a user who wants
// the design back).
void forgetWindowMemory();

}  // namespace zorvan
