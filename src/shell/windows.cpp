#include "shell/windows.h"

#include "shell/downloads/download_window.h"
#include "shell/routing.h"
#include "shell/windows/local_player_window.h"
#include "shell/windows/main_window.h"
#include "shell/windows/preview_window.h"

#include <QPointer>

#include <memory>

namespace zorvan {

namespace {

std::unique_ptr<MainWindow> theMainWindow;
std::unique_ptr<PreviewWindow> thePreviewWindow;
// These two delete themselves when closed.
QPointer<LocalPlayerWindow> theLocalPlayerWindow;
QPointer<DownloadWindow> theDownloadWindow;

template <class Window>
void replace(QPointer<Window>& slot) {
    if (slot) delete slot.data();
    slot = new Window;
}

}  // namespace

bool loadWindow(WindowKind kind, bool /*modal*/) {
    switch (kind) {
        case WindowKind::Main:
            theMainWindow = std::make_unique<MainWindow>();
            routeMainWindow(*theMainWindow);
            mainWindowCreated();
            theMainWindow->show();
            return true;
        case WindowKind::Preview:
            thePreviewWindow = std::make_unique<PreviewWindow>();
            routePreviewWindow(*thePreviewWindow);
            previewWindowCreated();
            return true;
        case WindowKind::LocalPlayer:
            replace(theLocalPlayerWindow);
            routeLocalPlayerWindow(*theLocalPlayerWindow);
            localPlayerWindowCreated();
            if (theLocalPlayerWindow) theLocalPlayerWindow->show();
            return theLocalPlayerWindow != nullptr;
        case WindowKind::Download:
            replace(theDownloadWindow);
            routeDownloadWindow(*theDownloadWindow);
            downloadWindowCreated();
            if (theDownloadWindow) theDownloadWindow->show();
            return theDownloadWindow != nullptr;
    }
    return false;
}

MainWindow* mainWindow() { return theMainWindow.get(); }
PreviewWindow* previewWindow() { return thePreviewWindow.get(); }
LocalPlayerWindow* localPlayerWindow() { return theLocalPlayerWindow.data(); }
DownloadWindow* downloadWindow() { return theDownloadWindow.data(); }

void destroyAllWindows() {
    delete theDownloadWindow.data();
    delete theLocalPlayerWindow.data();
    thePreviewWindow.reset();
    theMainWindow.reset();
}

}  // namespace zorvan
