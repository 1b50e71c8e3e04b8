#pragma once

#include <string>

namespace zorvan {

// Where downloads go, for the window, its library view and the command
// line alike: video/ in the program's folder when the program may write
// there (a build tree, a copy unpacked in the user's own folders);
// otherwise, and always for an installed copy (/usr, ~/.local), the user's
// videos folder + "/Zorvan". $ZORVAN_DOWNLOAD_DIR (an absolute path)
// names another. Decided once per run, unless the window's settings chose
// a folder (chooseDownloadFolder), which then wins.
std::string downloadFolder();

// The folder the user chose in the window's settings (absolute; empty: the
// rule above again). Set on the thread that reads downloadFolder().
void chooseDownloadFolder(const std::string& folder);

// The rule itself, for a given program folder.
std::string downloadFolderFor(const std::string& programFolder);

// The user's videos folder: $XDG_VIDEOS_DIR, else the XDG_VIDEOS_DIR line
// of $XDG_CONFIG_HOME/user-dirs.dirs (~/.config/user-dirs.dirs), else
// ~/Videos.
std::string userVideosFolder();

}  // namespace zorvan
