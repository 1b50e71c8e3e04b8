#include "shell/windows/preview_window.h"

#include "shell/windows/window_geometry.h"

#include <QCloseEvent>

namespace zorvan {

PreviewWindow::PreviewWindow() {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    applyDesignSize(this, designWidth, designHeight, true);
}

void PreviewWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit resized();
}

void PreviewWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    emit closeRequested();
}

void PreviewWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) emit shown();
}

void PreviewWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous()) emit hidden();
}

}  // namespace zorvan
