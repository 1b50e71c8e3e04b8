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

// A window of a kind that replaces any earlier one of its kind and is
// shown unless its creation closed it again.
template <class Window>
bool loadReplacing(QPointer<Window>& slot, void (*route)(Window&), void (*created)()) {
    if (slot) delete slot.data();
    slot = new Window;
    route(*slot);
    created();
    if (slot) slot->show();
    return slot != nullptr;
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
            return loadReplacing(theLocalPlayerWindow, routeLocalPlayerWindow, localPlayerWindowCreated);
        case WindowKind::Download:
            return loadReplacing(theDownloadWindow, routeDownloadWindow, downloadWindowCreated);
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
