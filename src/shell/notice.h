#pragma once

#include "shell/program_state.h"

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

class QWidget;

namespace zorvan {

// Shows the program's notice: the text with the caption "友情提醒", the
// information icon and one OK button, owned by the first visible window of
// this process. Returns 0 when OK is pressed, -1 when no box could be shown.
// Callable from any thread; a worker's call is answered on the GUI thread.
int showNotice(const QString& text);
// The same for a code page 936 text.
int showNoticeText(const std::string& codePageText);

// The first visible top-level window of the given process, or null.
QWidget* findProcessWindow(std::int64_t processId);

// One record per top-level window of the program, topmost (active) first.
// GUI thread only.
std::vector<WindowScanRecord> scanWindows();

std::int64_t currentProcessId();

}  // namespace zorvan
