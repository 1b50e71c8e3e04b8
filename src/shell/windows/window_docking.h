#pragma once

namespace zorvan {

// The gap between the download window's frame and the main window's.
inline constexpr int downloadWindowDockGap = 2;

// Puts the download window (if any) directly above the main window,
// left-aligned with it, its whole frame visible whatever the decoration
// (without one, 79 pixels up for the 77 high window).
void dockDownloadWindow();

// Gives the download window (if any) the main window's width, its progress
// bar that width less 2, and each status bar part a quarter of it.
void fitDownloadWindow();

}  // namespace zorvan
