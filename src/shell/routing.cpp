#include "shell/routing.h"

#include "shell/windows/download_window.h"
#include "shell/library/library_actions.h"
#include "shell/program_end.h"
#include "shell/windows.h"
#include "shell/windows/local_player_window.h"
#include "shell/windows/main_window.h"
#include "shell/windows/preview_window.h"
#include "shell/windows/window_docking.h"
#include "shell/windows/works_menu.h"
#include "shell/settings/window_memory.h"
#include "shell/working_set.h"
#include "shell/works/retrieval_worker.h"
#include "shell/works/works_list_tools.h"

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>


namespace zorvan {

namespace {

template <class Routine, class... Args>
void run(const Routine& routine, Args&&... args) {
    if (routine) routine(std::forward<Args>(args)...);
}

}  // namespace

Routines& routines() {
    static Routines table;
    return table;
}

void routeMainWindow(MainWindow& window) {
    QObject::connect(&window, &MainWindow::moved, &window, [] { dockDownloadWindow(); });
    QObject::connect(&window, &MainWindow::resized, &window, [] { fitDownloadWindow(); });
    window.setCloseGuard([] { return !routines().confirmEnd || routines().confirmEnd(); });
    QObject::connect(&window, &MainWindow::closing, &window, [&window] {
        saveWindowMemory(window);
        endProgram(0);
    });
    QObject::connect(window.fetchButton(), &QPushButton::clicked, &window, [&window] {
        if (retrievalUnderWay()) return;
        window.worksList()->clear();
        startRetrieval(routines().retrieveWorks);
    });
    // Enter in the id box is the same as "确定".
    QObject::connect(window.performerIdEdit(), &QLineEdit::returnPressed, window.fetchButton(), &QPushButton::click);
    QObject::connect(&window, &MainWindow::worksListDoubleClicked, &window,
                     [] { run(routines().previewSelectedWork); });
    QObject::connect(window.worksList(), &QWidget::customContextMenuRequested, &window,
                     [&window] { showWorksMenu(window); });
    QObject::connect(window.playCommand(), &QAction::triggered, &window,
                     [] { run(routines().previewSelectedWork); });
    QObject::connect(window.downloadCommand(), &QAction::triggered, &window,
                     [] { run(routines().downloadSelectedWork); });
    QObject::connect(window.downloadAllCommand(), &QAction::triggered, &window,
                     [] { run(routines().downloadAllWorks); });
    QObject::connect(window.downloadListCommand(), &QAction::triggered, &window,
                     [] { run(routines().showDownloadList); });
    QObject::connect(window.settingsCommand(), &QAction::triggered, &window, [] { run(routines().showSettings); });
    QObject::connect(window.followCommand(), &QAction::triggered, &window, [] { run(routines().followPerformer); });
    QObject::connect(window.followingCommand(), &QAction::triggered, &window, [] { run(routines().showFollowing); });
    QObject::connect(window.mediaWallCommand(), &QAction::triggered, &window, [] { run(routines().showMediaWall); });
    QObject::connect(window.viewDownloadedCommand(), &QAction::triggered, &window,
                     [] { run(routines().toggleDownloadedView); });
    QObject::connect(window.stayOnTopCommand(), &QAction::triggered, &window,
                     [] { run(routines().toggleStayOnTop); });
    QObject::connect(window.downloadedList(), &QListWidget::itemDoubleClicked, &window,
                     [](QListWidgetItem* item) {
                         if (item) run(routines().playDownloadedFile, entryOf(*item));
                     });
    QObject::connect(window.trimTimer(), &QTimer::timeout, &window, [] { trimWorkingSet(); });
    attachWorksListTools(window);
    attachLibraryActions(window);
}

void routePreviewWindow(PreviewWindow& window) {
    QObject::connect(&window, &PreviewWindow::resized, &window,
                     [] { run(routines().fitPreviewPlayer); });
    QObject::connect(&window, &PreviewWindow::closeRequested, &window, [&window] {
        run(routines().stopPreview);
        window.hide();
        if (MainWindow* main = mainWindow()) main->show();
    });
    QObject::connect(&window, &PreviewWindow::shown, &window,
                     [] { run(routines().applyPreviewStayOnTop); });
    QObject::connect(&window, &PreviewWindow::hidden, &window,
                     [] { run(routines().releasePreviewStayOnTop); });
}

void routeLocalPlayerWindow(LocalPlayerWindow& window) {
    QObject::connect(&window, &QObject::destroyed, [] {
        if (MainWindow* main = mainWindow()) main->show();
    });
}

void routeDownloadWindow(DownloadWindow& window) {
    QObject::connect(window.timer(), &QTimer::timeout, &window,
                     [] { run(routines().showDownloadProgress); });
    QObject::connect(window.pauseCommand(), &QAction::triggered, &window, [] { run(routines().pauseDownload); });
    QObject::connect(window.cancelCommand(), &QAction::triggered, &window, [] { run(routines().cancelDownload); });
    QObject::connect(window.listCommand(), &QAction::triggered, &window, [] { run(routines().showDownloadList); });
}

void mainWindowCreated() {
    loadWindow(WindowKind::Preview);
    run(routines().attachSkin);
    if (MainWindow* main = mainWindow()) restoreWindowMemory(*main, routines().toggleDownloadedView, routines().toggleStayOnTop);
    run(routines().restoreDownloads);
    run(routines().startFollowing);
}

void wireWindows() {
    setWindowRoutes({routeMainWindow, routePreviewWindow, routeLocalPlayerWindow, routeDownloadWindow, mainWindowCreated,
                     previewWindowCreated, localPlayerWindowCreated, downloadWindowCreated});
}

void previewWindowCreated() { run(routines().createPreviewPlayer); }
void localPlayerWindowCreated() { run(routines().createLocalPlayer); }
void downloadWindowCreated() { run(routines().startDownloadInWindow); }

}  // namespace zorvan
