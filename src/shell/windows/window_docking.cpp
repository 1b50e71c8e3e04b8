#include "shell/windows/window_docking.h"

#include "shell/windows/download_window.h"
#include "shell/windows.h"
#include "shell/windows/main_window.h"
#include "shell/windows/window_geometry.h"

#include <QProgressBar>

namespace zorvan {

void dockDownloadWindow() {
    MainWindow* main = mainWindow();
    DownloadWindow* download = downloadWindow();
    if (!main || !download) return;
    moveOuter(download, outerLeft(main), outerTop(main) - outerHeight(download) - downloadWindowDockGap);
}

void fitDownloadWindow() {
    MainWindow* main = mainWindow();
    DownloadWindow* download = downloadWindow();
    if (!main || !download) return;
    const int width = outerWidth(main);
    setOuterWidth(download, width);
    QProgressBar* bar = download->progressBar();
    bar->resize(outerWidth(download) - 2, bar->height());
    for (int part = 0; part < DownloadWindow::partCount; ++part)
        download->setPartWidth(part, width / DownloadWindow::partCount);
}

}  // namespace zorvan
