#include "shell/windows/local_player_window.h"

#include "shell/windows/escape_closes.h"
#include "shell/windows/window_geometry.h"

namespace zorvan {

LocalPlayerWindow::LocalPlayerWindow() {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(designWidth, designHeight);
    applyDesignSize(this, designWidth, designHeight, true);
    closeOnEscape(this);
}

}  // namespace zorvan
