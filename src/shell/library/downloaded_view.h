#pragma once

namespace zorvan {

// "查看已下载": acts on the check mark its menu command has just been given
// by its click. Refreshes the list and widens the main window to 526 (open)
// or narrows it to 300 (closed).
void toggleDownloadedView();

// Fills the downloaded-files list with every "*.mp4" under video/.
void refreshDownloadedList();

}  // namespace zorvan
