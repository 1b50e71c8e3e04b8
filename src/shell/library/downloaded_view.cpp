#include "shell/library/downloaded_view.h"
#include "shell/library/library_snapshot.h"

#include "shell/library/find_files.h"
#include "download_policy/download_folder.h"
#include "shell/windows.h"
#include "shell/windows/main_window.h"
#include "shell/windows/window_geometry.h"

#include "store/known_files.h"
#include "store/library_db.h"

#include <QAction>
#include <QCoreApplication>
#include <QStyle>
#include <QApplication>
#include <QGroupBox>
#include <QListWidget>

#include <filesystem>
#include <set>

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
    list->setIconSize(QSize(16, 16));  // a mark beside a name, no taller than the name
    const std::string folder = downloadFolder();
    const std::set<std::string>& damaged = librarySnapshot().damaged();  // as the library's copy says
    findFiles(
        folder, "*.mp4",
        [list, &folder, &damaged](const std::string& name, const std::string& relative) {
            auto* entry = new QListWidgetItem(QString::fromStdString(name), list);
            // A file in a subfolder (a performer's) keeps where it is.
            if (relative != name) entry->setData(Qt::UserRole, QString::fromStdString(relative));
            // A damaged file keeps its name, marked and saying why.
            if (damaged.count(libraryPath(folder + "/" + relative)) != 0) {
                const QString why = QCoreApplication::translate("zorvan", "已损坏：内容与保存时的 SHA-256 不同");
                entry->setForeground(QColor(0xb0, 0x1c, 0x1c));
                entry->setIcon(list->style()->standardIcon(QStyle::SP_MessageBoxWarning));
                entry->setToolTip(why + QCoreApplication::translate("zorvan", "（再次下载它所在的作品即可修复）"));
                entry->setData(Qt::AccessibleDescriptionRole, why);
            }
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
