#pragma once

namespace zorvan {

// The download window sits directly above the main window, this far up.
inline constexpr int downloadWindowDockOffset = 79;

// Puts the download window (if any) directly above the main window,
// left-aligned with it.
void dockDownloadWindow();

// Gives the download window (if any) the main window's width, its progress
// bar that width less 2, and each status bar part a quarter of it.
void fitDownloadWindow();

}  // namespace zorvan
