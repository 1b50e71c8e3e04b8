#include "shell/follow/follow_control.h"
#include "shell/library/library_jobs.h"
#include "shell/library/library_snapshot.h"
#include "store/known_files.h"

#include "shell/desktop_notification.h"

#include "shell/downloads/download_control.h"
#include "shell/downloads/download_manager.h"
#include "shell/follow/follow_watch.h"
#include "shell/follow/following_view.h"
#include "shell/message_box.h"
#include "shell/program_end.h"
#include "shell/program_state.h"
#include "shell/settings/program_settings.h"
#include "shell/windows.h"
#include "shell/windows/command_row.h"
#include "shell/windows/main_window.h"
#include "store/library_db.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>

namespace zorvan {

namespace {

QPointer<FollowWatch> watch;
QPointer<FollowingView> view;
QString roundProblem;  // why the last round could not read the library

// Why the following list cannot be read or written, in a box.
void sayLibraryFailed(const std::string& error) {
    askInMainWindow(QCoreApplication::translate("zorvan", "无法打开关注列表：") + QString::fromStdString(error),
                    BoxIcon::Warning, BoxButtons::Ok);
}

std::vector<FollowedPerformer> followingIn(LibraryDb* db, std::string& error) {
    return db ? db->follows().following(error) : std::vector<FollowedPerformer>();
}

// Works listed since a performer's first check are told on the desktop,
// whether or not the following view is open (a first check only learns
// what there is).
void tellNewWorks(const QString& id, int firstSeen) {
    onLibrary<std::vector<FollowedPerformer>>(followingIn, [id, firstSeen](std::vector<FollowedPerformer> list,
                                                                           const std::string&) {
        for (const FollowedPerformer& performer : list)
            if (performer.id == id.toStdString() && performer.newWorks > 0)
                notifyDesktop(QCoreApplication::translate("zorvan", "关注的主播有新作品"),
                              QCoreApplication::translate("zorvan", "主播 %1：%2 个新作品").arg(id).arg(firstSeen));
    });
}

void refreshView() {
    if (!view || !view->isVisible()) return;
    onLibrary<std::vector<FollowedPerformer>>(followingIn, [](std::vector<FollowedPerformer> list,
                                                             const std::string& error) {
        if (!view) return;
        const QString problem = !error.empty() ? QCoreApplication::translate("zorvan", "无法打开关注列表：") +
                                                     QString::fromStdString(error)
                                               : roundProblem;
        view->showPerformers(list, watch ? watch->checkingId() : QString(), problem);
    });
}

// The new works of these performers, as they would be saved; a file under
// a work's name that the library does not know is taken as this work's
// (recorded: it is no longer new). One the library knows as another work's
// is left to it.
std::vector<Work> newWorksIn(LibraryDb* db, const std::vector<std::string>& ids, const std::string& service,
                             std::string& error) {
    std::vector<Work> works;
    if (!db) return works;
    const KnownFiles known = readKnownFiles(*db, error, false);
    for (const std::string& id : ids)
        for (const SeenWork& seen : db->follows().newWorks(id, error)) {
            Work work = workNamed(seen.songName, seen.address, id, seen.sequence, seen.repeat);
            work.service = service;
            work.workId = seen.workId;
            std::error_code failed;
            const auto size = std::filesystem::file_size(work.path, failed);
            if (!failed && known.presenceOf(identityOf(work), work.path) == FilePresence::Unknown)
                db->files().record({seen.key, libraryPath(work.path), static_cast<std::int64_t>(size), true,
                                    work.performer, work.sequence, work.songName, work.workId, work.address},
                                   std::time(nullptr), error);
            works.push_back(std::move(work));
        }
    return works;
}

// "下载新作品": the new works of the chosen performers, into the queue.
void downloadNewWorks(const QStringList& chosen) {
    std::vector<std::string> ids;
    for (const QString& id : chosen) ids.push_back(id.toStdString());
    const std::string service = programStateExists() ? programState().serviceAddress : std::string();
    onLibrary<std::vector<Work>>(
        [ids, service](LibraryDb* db, std::string& error) { return newWorksIn(db, ids, service, error); },
        [](std::vector<Work> works, const std::string& error) {
            if (works.empty() && !error.empty()) return sayLibraryFailed(error);
            librarySnapshot().markStale();  // files found under their names were recorded
            refreshView();
            downloadMissingWorks(std::move(works), QCoreApplication::translate("zorvan", "没有要下载的新作品。"));
        });
}

void unfollow(const QStringList& ids) {
    if (ids.isEmpty()) return;
    const QString text = ids.size() == 1
                             ? QCoreApplication::translate("zorvan", "不再关注 %1 吗？已下载的文件不会删除。").arg(ids.front())
                             : QCoreApplication::translate("zorvan", "不再关注这 %1 个主播吗？已下载的文件不会删除。").arg(ids.size());
    if (askInMainWindow(text, BoxIcon::Question, BoxButtons::YesNo) != BoxYes) return;
    std::vector<std::string> gone;
    for (const QString& id : ids) gone.push_back(id.toStdString());
    onLibrary<bool>(
        [gone](LibraryDb* db, std::string& error) {
            bool ok = db != nullptr;
            for (const std::string& id : gone) ok = db && db->follows().unfollow(id, error) && ok;
            return ok;
        },
        [](bool ok, const std::string& error) {
            if (!ok) sayLibraryFailed(error);
            refreshView();
        });
}

// The performer's works in the main window, as "确定" lists them.
void openPerformer(const QString& id) {
    MainWindow* main = mainWindow();
    if (!main) return;
    main->performerIdEdit()->setText(id);
    main->fetchButton()->click();
    main->raise();
    main->activateWindow();
}

void act(const QString& command) {
    if (!view) return;
    if (command == QStringLiteral("下载新作品")) downloadNewWorks(view->chosenIds());
    else if (command == QStringLiteral("立即检查")) {
        if (watch) watch->checkNow();
        refreshView();
    } else if (command == QStringLiteral("显示作品")) {
        const QStringList ids = view->chosenIds();
        if (!ids.isEmpty()) openPerformer(ids.front());
    } else if (command == QStringLiteral("取消关注")) {
        QStringList selected;
        for (QTreeWidgetItem* row : view->list()->selectedItems()) selected << row->text(0);
        unfollow(selected);
    }
}

}  // namespace

void startFollowWatch() {
    if (watch) return;
    const int minutes = std::max(1, programSettings().value(QStringLiteral("follow/checkMinutes"), 30).toInt());
    watch = new FollowWatch([] { return programStateExists() ? programState().serviceAddress : std::string(); },
                            std::chrono::minutes(minutes));
    QObject::connect(watch, &FollowWatch::checkStarted, watch, [] { refreshView(); });
    QObject::connect(watch, &FollowWatch::performerChecked, watch,
                     [](const QString& id, int firstSeen, const QString& failure) {
                         refreshView();
                         if (firstSeen > 0 && failure.isEmpty()) tellNewWorks(id, firstSeen);
                     });
    QObject::connect(watch, &FollowWatch::roundEnded, watch, [](const QString& problem) {
        roundProblem = problem.isEmpty() ? QString() : QCoreApplication::translate("zorvan", "无法检查关注的主播：") + problem;
        refreshView();
    });
    registerCleanup(releaseFollowWatch);
    watch->checkNow();
}

FollowWatch* followWatch() { return watch.data(); }

void releaseFollowWatch() { delete watch.data(); }

void followShownPerformer() {
    MainWindow* main = mainWindow();
    if (!main) return;
    const QString id = main->performerIdEdit()->text().trimmed();
    if (id.isEmpty()) {
        askInMainWindow(QCoreApplication::translate("zorvan", "请先输入主播的 ID。"), BoxIcon::None, BoxButtons::Ok);
        return;
    }
    onLibrary<bool>(
        [id = id.toStdString()](LibraryDb* db, std::string& error) {
            return db && db->follows().follow(id, std::time(nullptr), error);
        },
        [](bool ok, const std::string& error) {
            if (!ok) return sayLibraryFailed(error);
            showFollowingView();
            if (watch) watch->checkNow();  // its first check sets where following begins
        });
}

void showFollowingView() {
    if (!view) {
        view = new FollowingView;
        QObject::connect(view, &FollowingView::commandChosen, view, [](const QString& command) { act(command); });
        QObject::connect(view, &FollowingView::performerOpened, view, [](const QString& id) { openPerformer(id); });
        registerCleanup([] { delete view.data(); });
        // A new work downloaded is new no more.
        QObject::connect(&downloadManager(), &DownloadManager::itemChanged, view, [](int id) {
            const QueueItem* item = downloadManager().queue().item(id);
            if (item && item->state == ItemState::Done) refreshView();
        });
        placeBesideMainWindow(*view, -160);
    }
    view->show();
    view->raise();
    refreshView();
}

FollowingView* followingView() { return view.data(); }

}  // namespace zorvan
