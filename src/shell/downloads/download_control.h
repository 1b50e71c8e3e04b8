#pragma once

#include "download/task_param.h"

#include <cstdint>

namespace zorvan {

// "下载": downloads the selected work into video/ as its song name + ".mp4",
// showing the progress in the download window above the main window.
// Ignored while a download window is open.
void startDownload();

// The download window's creation: lays it out, docks it and starts the task.
void onDownloadWindowCreated();

// The engine's event procedure (called on the engine's threads).
int onDownloadEvent(int type, int connection, std::int64_t value, std::int64_t extra, TaskId task);

// The download window's one-second tick: speed, amount and percentage.
void onProgressTick();

}  // namespace zorvan
