#pragma once

#include <QString>

namespace zorvan {

class MainWindow;

// What the window keeps between runs, in the user's configuration folder
// ($XDG_CONFIG_HOME/zorvan/zorvan.ini): the last performer id, the main
// window's place and size, the stay-on-top choice and whether the library
// view was open. A first run starts as designed: the demo performer, the
// design size, nothing on top.
QString windowMemoryPath();
void restoreWindowMemory(MainWindow& window);
void saveWindowMemory(const MainWindow& window);
// Forgets everything, the chosen service too (tests, and a user who wants
// the design back).
void forgetWindowMemory();

}  // namespace zorvan
