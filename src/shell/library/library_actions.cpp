#include "shell/library/library_actions.h"

#include "download_policy/download_folder.h"
#include "media_files/work_sidecars.h"
#include "shell/library/downloaded_view.h"
#include "shell/message_box.h"
#include "shell/windows.h"
#include "shell/windows/main_window.h"
#include "text/folder_of.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QStandardPaths>
#include <QUrl>

namespace zorvan {

QString entryOf(const QListWidgetItem& item) {
    const QVariant relative = item.data(Qt::UserRole);
    return relative.isValid() ? relative.toString() : item.text();
}

namespace {

// An entry names a file below the download folder, as playing it does.
QString entryPath(const QString& entry) { return QString::fromStdString(downloadFolder()) + "/" + entry; }

// The desktop's trash in the user's data folder, made when missing (Qt
// would otherwise fall back to a "files" folder under the current one),
// and a file that did not land in a trash put back.
bool moveToTrash(const QString& path) {
    const QString home = QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash");
    QDir().mkpath(home + "/files");
    QDir().mkpath(home + "/info");
    QString landed;
    if (!QFile::moveToTrash(path, &landed)) return false;
    const QString absolute = QDir::cleanPath(QFileInfo(landed).absoluteFilePath());
    if (absolute.startsWith(home + "/") || absolute.contains(QStringLiteral("/.Trash"))) return true;
    QFile::rename(landed, path);
    return false;
}

void showEntryMenu(MainWindow& window, const QPoint& at) {
    QListWidget* list = window.downloadedList();
    QListWidgetItem* item = list->itemAt(at);
    if (!item) return;
    const QString entry = entryOf(*item);
    QMenu menu(list);
    QAction* open = menu.addAction(QCoreApplication::translate("zorvan", "打开所在文件夹"));
    QAction* remove = menu.addAction(QCoreApplication::translate("zorvan", "删除"));
    menu.addSeparator();
    menu.addAction(window.mediaWallCommand());
    QAction* chosen = menu.exec(list->viewport()->mapToGlobal(at));
    if (chosen == open) openFolderOf(entryPath(entry).toStdString());
    if (chosen == remove) deleteLibraryEntry(entry);
}

}  // namespace

QString libraryEntryDetails(std::int64_t bytes, std::int64_t modified) {
    return QCoreApplication::translate("zorvan", "大小 %1 MB，%2")
        .arg(static_cast<double>(bytes) / 1e6, 0, 'f', 1)
        .arg(QDateTime::fromSecsSinceEpoch(modified).toString(QStringLiteral("yyyy-MM-dd HH:mm")));
}

bool deleteLibraryEntry(const QString& entry) {
    const QString path = entryPath(entry);
    if (!QFileInfo::exists(path)) {
        askInMainWindow(QCoreApplication::translate("zorvan", "找不到文件“%1”").arg(entry), BoxIcon::Warning, BoxButtons::Ok);
        refreshDownloadedList();
        return false;
    }
    if (askInMainWindow(QCoreApplication::translate("zorvan", "删除“%1”吗？文件将移到回收站。").arg(entry), BoxIcon::Question, BoxButtons::YesNo) != BoxYes)
        return false;
    // Never gone for good without a way back: where there is no trash,
    // the file stays and the user is told.
    const bool moved = moveToTrash(path);
    // The poster and .nfo beside it are made again from a video; they go.
    if (moved) removeSidecars(path.toStdString());
    if (!moved) askInMainWindow(QCoreApplication::translate("zorvan", "无法把“%1”移到回收站，文件没有删除。").arg(entry), BoxIcon::Warning, BoxButtons::Ok);
    refreshDownloadedList();
    return moved;
}

void attachLibraryActions(MainWindow& window) {
    QListWidget* list = window.downloadedList();
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(list, &QWidget::customContextMenuRequested, &window,
                     [&window](const QPoint& at) { showEntryMenu(window, at); });
    // The details of an entry as the pointer rests on it: looked up then,
    // so a long list costs nothing while it fills.
    list->setMouseTracking(true);
    QObject::connect(list, &QListWidget::itemEntered, &window, [](QListWidgetItem* item) {
        const QFileInfo file(entryPath(entryOf(*item)));
        item->setToolTip(file.exists() ? libraryEntryDetails(file.size(), file.lastModified().toSecsSinceEpoch())
                                       : QString());
    });
}

void openFolderOf(const std::string& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folderOf(path))));
}

}  // namespace zorvan
