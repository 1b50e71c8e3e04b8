#include "shell/windows/window_flags.h"

#include <QWidget>

namespace zorvan {

void setWindowFlagInPlace(QWidget* window, Qt::WindowType flag, bool on) {
    if (bool(window->windowFlags() & flag) == on) return;
    const bool visible = window->isVisible();
    const QPoint where = window->pos();
    window->setWindowFlag(flag, on);
    if (visible) {
        window->move(where);
        window->show();
    }
}

}  // namespace zorvan
