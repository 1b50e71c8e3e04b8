#pragma once

#include <string>

class QWidget;

namespace zorvan {

// The title marker of a window kept on top.
inline constexpr const char* stayOnTopMarker = "     已置顶";

// The main window's own commands. Both act on the check mark their menu
// command has just been given by its click.

// "置顶": the main window goes on top with the marker in its title, or
// back with the marker removed.
void toggleStayOnTop();

// "查看已下载": refreshes the list and widens the window to 526 (open) or
// narrows it to 300 (closed).
void toggleDownloadedView();

// The rule the other windows follow when they appear: on top with the
// marker while "置顶" is checked, else not on top.
void applyStayOnTop(QWidget* window);
// Takes a window out of the topmost band; its title stays.
void releaseStayOnTop(QWidget* window);

// Fills the downloaded-files list with every "*.mp4" under video/.
void refreshDownloadedList();

// The download folder: the program directory + "/video".
std::string downloadFolder();

}  // namespace zorvan
