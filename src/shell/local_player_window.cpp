#include "shell/local_player_window.h"
#include "shell/window_geometry.h"

#include "shell/escape_closes.h"

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
