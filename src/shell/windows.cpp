#include "shell/windows.h"

#include "shell/windows/download_window.h"
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
WindowRoutes theRoutes;

template <class Window>
void route(void (*routeWindow)(Window&), Window& window) {
    if (routeWindow) routeWindow(window);
}
void tell(void (*created)()) {
    if (created) created();
}

// A window of a kind that replaces any earlier one of its kind and is
// shown unless its creation closed it again.
template <class Window>
bool loadReplacing(QPointer<Window>& slot, void (*routeWindow)(Window&), void (*created)()) {
    if (slot) delete slot.data();
    slot = new Window;
    route(routeWindow, *slot);
    tell(created);
    if (slot) slot->show();
    return slot != nullptr;
}

}  // namespace

void setWindowRoutes(const WindowRoutes& routes) { theRoutes = routes; }

bool loadWindow(WindowKind kind, bool /*modal*/) {
    switch (kind) {
        case WindowKind::Main:
            theMainWindow = std::make_unique<MainWindow>();
            route(theRoutes.routeMain, *theMainWindow);
            tell(theRoutes.mainCreated);
            theMainWindow->show();
            return true;
        case WindowKind::Preview:
            thePreviewWindow = std::make_unique<PreviewWindow>();
            route(theRoutes.routePreview, *thePreviewWindow);
            tell(theRoutes.previewCreated);
            return true;
        case WindowKind::LocalPlayer:
            return loadReplacing(theLocalPlayerWindow, theRoutes.routeLocalPlayer, theRoutes.localPlayerCreated);
        case WindowKind::Download:
            return loadReplacing(theDownloadWindow, theRoutes.routeDownload, theRoutes.downloadCreated);
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
