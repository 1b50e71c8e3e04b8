#pragma once

#include <QString>

namespace zorvan {

// Tells the user something that needs no answer, without a box in the way:
// a notification on the desktop (the freedesktop notification service on
// the session bus). Never waits: the call goes out and the program goes
// on; a desktop without the service shows nothing more than the window's
// own lines.
void notifyDesktop(const QString& summary, const QString& body);

}  // namespace zorvan
