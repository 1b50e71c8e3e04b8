#pragma once

#include <QString>

class QWidget;

namespace zorvan {

enum class BoxIcon { None, Information, Question, Warning, Critical };
enum class BoxButtons { Ok, OkCancel, YesNo, YesNoCancel, YesNoAll };

// Results numbered as the desktop platform numbers them, since callers
// compute with them (the notice returns result - 1).
enum BoxResult : int {
    BoxFailed = 0, BoxOk = 1, BoxCancel = 2, BoxYes = 6, BoxNo = 7, BoxYesToAll = 8, BoxNoToAll = 9,
    BoxExtra = 100,  // the request's extra button
};

struct MessageBoxRequest {
    QWidget* owner = nullptr;  // null: a box of its own
    QString text;
    QString caption;
    BoxIcon icon = BoxIcon::None;
    BoxButtons buttons = BoxButtons::Ok;
    QString extraButton;       // not empty: one more button, beside the standard ones
};

// Shows a modal message box on the GUI thread and returns the button
// pressed. From a worker it waits for the GUI thread's answer. While the
// program is ending no box is shown and the answer is BoxFailed, so no
// worker waits on a GUI thread that will not come back.
int showMessageBox(const MessageBoxRequest& request);

// The download and library boxes: captioned "信息：", over the main window.
int askInMainWindow(const QString& text, BoxIcon icon, BoxButtons buttons, const QString& extraButton = {});

}  // namespace zorvan
