#include "shell/library/downloaded_view.h"

#include "shell/library/find_files.h"
#include "download_policy/download_folder.h"
#include "shell/windows.h"
#include "shell/windows/main_window.h"
#include "shell/windows/window_geometry.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QListWidget>

namespace zorvan {

namespace {
constexpr int openWidth = 526;
constexpr int closedWidth = 300;
}  // namespace

void refreshDownloadedList() {
    MainWindow* main = mainWindow();
    if (!main) return;
    QListWidget* list = main->downloadedList();
    list->clear();
    findFiles(
        downloadFolder(), "*.mp4",
        [list](const std::string& name, const std::string& relative) {
            auto* entry = new QListWidgetItem(QString::fromStdString(name), list);
            // A file in a subfolder (a performer's) keeps where it is.
            if (relative != name) entry->setData(Qt::UserRole, QString::fromStdString(relative));
        },
        [] { QApplication::processEvents(); });
}

void toggleDownloadedView() {
    MainWindow* main = mainWindow();
    if (!main) return;
    refreshDownloadedList();
    const bool open = main->viewDownloadedCommand()->isChecked();
    main->showLibrary(open);
    setOuterWidth(main, open ? openWidth : closedWidth);
}

}  // namespace zorvan
