#pragma once

namespace zorvan {

class MainWindow;
class PreviewWindow;
class LocalPlayerWindow;
class DownloadWindow;

enum class WindowKind { Main, Preview, LocalPlayer, Download };

// How each kind of window is wired to its routines and told of its
// creation. The routing, which stands above every window, gives them once
// at start (wireWindows); a window loaded before that has no routes.
struct WindowRoutes {
    void (*routeMain)(MainWindow&) = nullptr;
    void (*routePreview)(PreviewWindow&) = nullptr;
    void (*routeLocalPlayer)(LocalPlayerWindow&) = nullptr;
    void (*routeDownload)(DownloadWindow&) = nullptr;
    void (*mainCreated)() = nullptr;
    void (*previewCreated)() = nullptr;
    void (*localPlayerCreated)() = nullptr;
    void (*downloadCreated)() = nullptr;
};
void setWindowRoutes(const WindowRoutes& routes);

// Creates a window with all its units from its design, wires its events to
// their routines and fires its creation event; a window designed hidden
// stays hidden. The main window and the preview window live until the
// program ends; a local player or download window replaces an earlier one
// of its kind. Loads are non-modal (the flag is kept for the callers that
// name it). Returns false when the window could not be made.
bool loadWindow(WindowKind kind, bool modal = false);

// The live window of each kind, or null.
MainWindow* mainWindow();
PreviewWindow* previewWindow();
LocalPlayerWindow* localPlayerWindow();
DownloadWindow* downloadWindow();

// Destroys every window without firing close events (tests and start-up
// failures only; the program itself ends through endProgram).
void destroyAllWindows();

}  // namespace zorvan
