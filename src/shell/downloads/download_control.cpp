#include "shell/downloads/download_control.h"

#include "shell/core_texts.h"
#include "shell/language.h"

#include "download_policy/download_folder.h"
#include "download_policy/outcome_text.h"
#include "download_policy/work_file.h"
#include "shell/desktop_notification.h"
#include "shell/downloads/download_manager.h"
#include "shell/library/library_snapshot.h"
#include "shell/downloads/download_tray.h"
#include "shell/downloads/download_texts.h"
#include "shell/windows/download_window.h"
#include "shell/downloads/downloads_view.h"
#include "shell/library/downloaded_view.h"
#include "shell/library/library_actions.h"
#include "shell/message_box.h"
#include "shell/settings/download_settings.h"
#include "shell/windows.h"
#include "shell/works/works_list_tools.h"
#include "shell/works/works_list_view.h"
#include "shell/works/work_rows.h"
#include "shell/windows/main_window.h"
#include "shell/windows/window_docking.h"
#include "store/known_files.h"

#include <QCoreApplication>
#include <QAction>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <utility>
#include <filesystem>
#include <sys/stat.h>

namespace zorvan {

namespace {


bool fileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// A row of the works list as a work for the queue (UTF-8 all through);
// `repeats`: rowRepeats of its list.
Work workOf(const QTreeWidgetItem* row, const std::unordered_map<const QTreeWidgetItem*, int>& repeats) {
    const std::string listed = row ? row->text(1).toStdString() : std::string();
    const QTreeWidget* list = row ? row->treeWidget() : nullptr;
    const auto repeat = repeats.find(row);
    Work work = workNamed(row ? row->text(2).toStdString() : std::string(), engineAddress(listed),
                          list ? list->property(listedPerformerProperty).toString().toStdString() : std::string(),
                          list ? row->text(0).toInt() : 0, repeat == repeats.end() ? 1 : repeat->second);
    if (list) {
        work.service = list->property(listedServiceProperty).toString().toStdString();
        work.workId = workIdOfRow(*row);
    }
    return work;
}

QString startOverNote(int reason) {
    switch (static_cast<StartOverReason>(reason)) {
        case StartOverReason::FileChanged: return QCoreApplication::translate("zorvan", "（服务器上的文件已更改，重新下载）");
        case StartOverReason::NoRanges: return QCoreApplication::translate("zorvan", "（服务器不支持断点续传，重新下载）");
        case StartOverReason::NotThisFile:
        case StartOverReason::NotChecked: return QCoreApplication::translate("zorvan", "（同名文件不是这个作品，另存为新文件）");
        default: return QCoreApplication::translate("zorvan", "（上次未完成的文件无法继续，重新下载）");
    }
}

// "正下载: 歌名", and while connections are being retried, how often; else
// whether what an earlier download left is being continued.
void showTitle(DownloadWindow& window, const QueueItem& item) {
    QString title = QCoreApplication::translate("zorvan", "正下载: ") + QString::fromStdString(item.work.title);
    if (item.retrying > 0)
        title += QCoreApplication::translate("zorvan", "（连接中断，正在重试 %1）").arg(item.retrying);
    else if (item.continuedFrom > 0 && item.total > 0)
        title += QCoreApplication::translate("zorvan", "（从 %1% 继续）").arg(item.continuedFrom * 100 / item.total);
    else if (item.startedOver != 0)
        title += startOverNote(item.startedOver);
    if (window.windowTitle() != title) window.setWindowTitle(title);
}

// Which works to queue when their file is there: the familiar question for
// one work; for several, one question each until an answer for all.
// Returns the works to queue; `declinedOne` tells that a single work was
// not queued because its file is kept.
std::vector<Work> settleClashes(std::vector<Work> works, bool& declinedOne) {
    declinedOne = false;
    std::vector<Work> kept;
    int forAll = 0;  // BoxYes or BoxNo once answered for all
    for (Work& work : works) {
        // A damaged file of the work's own is replaced, not asked about.
        if (!fileExists(work.path) || work.replacesDamaged) {
            kept.push_back(std::move(work));
            continue;
        }
        int answer = forAll;
        if (!answer) {
            const QString name = QString::fromStdString(std::filesystem::path(work.path).filename().string());
            answer = works.size() == 1 ? askInMainWindow(QCoreApplication::translate("zorvan", "文件已存在,继续下载吗?"), BoxIcon::None, BoxButtons::YesNo)
                                       : askInMainWindow(QCoreApplication::translate("zorvan", "“%1”已存在,继续下载吗?").arg(name), BoxIcon::None,
                                             BoxButtons::YesNoAll);
            if (answer == BoxYesToAll || answer == BoxNoToAll) {
                answer = answer == BoxYesToAll ? BoxYes : BoxNo;
                forAll = answer;
            }
        }
        if (answer == BoxYes) {
            work.clash = ClashChoice::Rename;  // never over the existing file
            kept.push_back(std::move(work));
        } else if (works.size() == 1) {
            declinedOne = true;
        }
    }
    return kept;
}

// The download window was opened (or was open) as works were queued: the
// batch they start needs no other.
bool openedForQueued = false;

void downloadChosen(std::vector<Work> works);
void queueMissing(std::vector<Work> works, const QString& allThere);

// Queues works and shows their progress in the download window. Works
// whose name is taken are asked about, unless `askAboutTaken` is false:
// then they are saved under another name without a question.
void queueWorks(std::vector<Work> works, bool askAboutTaken = true) {
    DownloadManager& manager = downloadManager();
    std::erase_if(works, [&](const Work& w) { return manager.isQueued(w); });
    if (works.empty()) {
        askInMainWindow(QCoreApplication::translate("zorvan", "这个作品已在下载列表中。"), BoxIcon::Information, BoxButtons::Ok);
        return;
    }
    bool declinedOne = false;
    const std::size_t asked = works.size();
    if (askAboutTaken) works = settleClashes(std::move(works), declinedOne);
    if (declinedOne) {
        // An existing file left alone ends as a download would: nothing written, "完毕".
        askInMainWindow(QCoreApplication::translate("zorvan", "完毕"), BoxIcon::Information, BoxButtons::Ok);
        return;
    }
    if (works.empty()) return;
    // A batch is fetched fastest with each work split only when it pays;
    // a single work splits as the engine plans it.
    for (Work& work : works) work.batch = asked > 1 || !askAboutTaken;
    manager.enqueue(works);
    // The window opens as the works are queued, unless the queue gave up
    // for want of the server; it shows the first as the service tells of it.
    // Their batch starting a moment later does not open it again (the user
    // may have closed it meanwhile).
    if (!manager.queue().pausedByFailures()) {
        openedForQueued = true;
        if (!downloadWindow()) loadWindow(WindowKind::Download);
    }
    if (asked > 1) {
        showDownloadsView();
        downloadsView()->noteAdded(static_cast<int>(works.size()));  // "已加入 28 个作品"
    }
}

// Size, speed, amount and percent of a work in the download window.
void showProgress(DownloadWindow& window, const QueueItem& item) {
    window.setPartText(0, item.total >= 0 ? QString::fromStdString(sizeText(item.total)) + "M" : QString());
    window.setPartText(1, QString::fromStdString(sizeText(static_cast<std::int64_t>(item.speed))) +
                              QCoreApplication::translate("zorvan", "M/秒"));
    const double percent = item.total > 0 ? static_cast<double>(item.done) / static_cast<double>(item.total) * 100 : 0;
    window.progressBar()->setValue(static_cast<int>(std::clamp(percent, 0.0, 100.0)));
    window.setPartText(2, QString::fromStdString(sizeText(item.done)) + "M");
    window.setPartText(3, QString::number(window.progressBar()->value()) + "%");
}

// Beside the box that tells of a batch's end, the download window shows
// where its last work ended, not the last second's reading: no speed, no
// retry count, and that the queue stopped when it did.
void showFinalFigures(const std::vector<QueueItem>& batch, bool queuePaused) {
    DownloadWindow* window = downloadWindow();
    if (!window || batch.empty()) return;
    window->timer()->stop();
    const auto last = std::find_if(batch.rbegin(), batch.rend(), [](const QueueItem& i) { return i.state != ItemState::Waiting; });
    QueueItem ended = last != batch.rend() ? *last : batch.front();
    ended.speed = 0;
    ended.retrying = 0;
    showTitle(*window, ended);
    if (queuePaused) window->setWindowTitle(window->windowTitle() + QCoreApplication::translate("zorvan", "（已暂停）"));
    showProgress(*window, ended);
}

// The end of one work on its own: the usual message, with its folder one
// click away when it was saved.
void showSingleEnd(const QueueItem& item) {
    const TaskOutcome outcome = item.state == ItemState::Done      ? TaskOutcome::Complete
                                : item.state == ItemState::Skipped ? TaskOutcome::GivenUp
                                                                   : item.outcome;
    const bool kept = item.state == ItemState::Failed && item.done > 0;
    const bool fine = outcome == TaskOutcome::Complete || outcome == TaskOutcome::GivenUp;
    QString text = coreText(endMessage(outcome, kept));
    if (!fine && item.state == ItemState::Failed && item.failureKind != FailureKind::Refused)
        text = languageInUse() == Language::Chinese
                   ? QString::fromStdString(failureText(failureWords(item, Words::Chinese), kept))
                   : QCoreApplication::translate("zorvan", "下载失败：%1").arg(whyFailed(item));
    const bool saved = item.state == ItemState::Done && !item.savedPath.empty();
    const int answer = askInMainWindow(text, fine ? BoxIcon::Information : BoxIcon::Warning, BoxButtons::Ok,
                                       saved ? QCoreApplication::translate("zorvan", "打开所在文件夹") : QString());
    if (answer == BoxExtra) openFolderOf(item.savedPath);
}

// The end of what was queued: the usual message for one work; for a batch,
// and when the queue stopped or waits for its server, a notice on the
// desktop and the downloads view's total line, nothing to answer.
void showBatchEnd() {
    DownloadManager& manager = downloadManager();
    if (DownloadWindow* window = downloadWindow()) window->setCloseEnabled(true);
    const std::vector<QueueItem>& batch = manager.lastBatch();
    const bool userPaused = std::any_of(batch.begin(), batch.end(), [](const QueueItem& i) { return i.state == ItemState::Paused; });
    showFinalFigures(batch, manager.queue().pausedByFailures());
    const QString title = QCoreApplication::translate("zorvan", "Zorvan 下载");
    if (manager.queue().waitingForServer()) {
        // The queue goes on by itself; the downloads view says when it
        // asks the server next.
        notifyDesktop(title, QCoreApplication::translate("zorvan", "无法连接服务器，等待恢复…"));
        showDownloadsView();
    } else if (manager.queue().pausedByFailures()) {
        notifyDesktop(title, coreText(queuePauseWords(manager.queue().pauseCause(), Words::Chinese)));
        showDownloadsView();
    } else if (userPaused) {
        // Stopped by the user's own word: nothing to announce.
    } else if (batch.size() == 1) {
        showSingleEnd(batch.front());
    } else if (batch.size() > 1) {
        const int done = static_cast<int>(std::count_if(batch.begin(), batch.end(), [](const QueueItem& i) {
            return i.state == ItemState::Done || i.state == ItemState::Skipped;
        }));
        const int failed =
            static_cast<int>(std::count_if(batch.begin(), batch.end(), [](const QueueItem& i) { return i.state == ItemState::Failed; }));
        notifyDesktop(title, QCoreApplication::translate("zorvan", "完成 %1 个，失败 %2 个").arg(done).arg(failed));
    }
    // The user may have closed the window with Esc meanwhile: then there is
    // nothing left to update.
    if (DownloadWindow* window = downloadWindow()) {
        window->timer()->stop();
        for (int part = 0; part < DownloadWindow::partCount; ++part) window->setPartText(part, QString());
        window->progressBar()->setValue(0);
        window->close();
    }
    if (MainWindow* main = mainWindow(); main && main->viewDownloadedCommand()->isChecked()) refreshDownloadedList();
}

// The manager's signals, connected once.
void followManager() {
    DownloadManager& manager = downloadManager();
    static QPointer<DownloadManager> followed;
    if (followed == &manager) return;
    followed = &manager;
    showDownloadTray();  // where the desktop has a tray
    QObject::connect(&manager, &DownloadManager::ticked, &manager, [] {
        DownloadWindow* window = downloadWindow();
        const QueueItem* item = downloadManager().current();
        if (!window || !item) return;
        showTitle(*window, *item);
        // The size as soon as it is known, as the size event showed it.
        const QString size = item->total >= 0 ? QString::fromStdString(sizeText(item->total)) + "M" : QString();
        if (window->partText(0) != size) window->setPartText(0, size);
    });
    // The library has every file of a batch that ended (the service wrote
    // it before telling): what is judged next knows them.
    QObject::connect(&manager, &DownloadManager::batchSettled, &manager, [] { librarySnapshot().markStale(); });
    QObject::connect(&manager, &DownloadManager::batchSettled, &manager, [] { showBatchEnd(); });
    // A work saved gets its tick in the list at once.
    QObject::connect(&manager, &DownloadManager::itemChanged, &manager, [](int id) {
        const QueueItem* item = downloadManager().queue().item(id);
        if (item && item->state == ItemState::Done) refreshDownloadedMarks(QString::fromStdString(item->work.songName));
    });
    // And by the library's word once it is written (a work saved beside
    // another performer's song of its name).
    QObject::connect(&manager, &DownloadManager::filesRecorded, &manager, [] {
        librarySnapshot().markStale();
        refreshDownloadedMarks();
    });
    // Works continued from the downloads view show in the download window too.
    QObject::connect(&manager, &DownloadManager::batchStarted, &manager, [] {
        if (std::exchange(openedForQueued, false)) return;
        if (!downloadWindow() && mainWindow()) loadWindow(WindowKind::Download);
    });
}

}  // namespace

void restoreDownloads() {
    DownloadManager& manager = downloadManager();
    followManager();
    // The saved queue is taken up off this thread; shown once it is.
    QObject::connect(&manager, &DownloadManager::restored, &manager, [] {
        DownloadManager& taken = downloadManager();
        if (!taken.storeProblem().isEmpty())
            askInMainWindow(QCoreApplication::translate("zorvan", "无法读取下载列表：") + taken.storeProblem(),
                            BoxIcon::Warning, BoxButtons::Ok);
        if (taken.unfinished() > 0) showDownloadsView();  // taken up paused: "继续" is the user's
    }, Qt::SingleShotConnection);
}

void startDownload() {
    MainWindow* main = mainWindow();
    if (!main) return;
    followManager();
    std::error_code ignored;
    std::filesystem::create_directories(downloadFolder(), ignored);
    QTreeWidget* list = main->worksList();
    if (list->topLevelItemCount() == 0) {
        askInMainWindow(QCoreApplication::translate("zorvan", "您还没获取数据哦！"), BoxIcon::None, BoxButtons::Ok);
        return;
    }
    std::vector<Work> works;
    const auto repeats = rowRepeats(*list);
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->isSelected()) works.push_back(workOf(list->topLevelItem(i), repeats));
    // Judged by what the library knows of every file this program saved.
    librarySnapshot().whenFresh([works = std::move(works)]() mutable { downloadChosen(std::move(works)); });
}

namespace {

void downloadChosen(std::vector<Work> works) {
    const KnownFiles& known = librarySnapshot().known();  // without a library, nothing is known to be damaged
    for (Work& work : works) replaceIfDamaged(known, work);
    const bool unusable = works.empty() ||
                          std::any_of(works.begin(), works.end(), [](const Work& w) { return w.address.empty(); });
    if (unusable && works.size() <= 1) {
        const QString address = works.empty() ? QString() : QString::fromStdString(works.front().address);
        askInMainWindow(QCoreApplication::translate("zorvan", "无法下载这个作品：地址无效或不受支持。\n") +
                (address.isEmpty() ? QCoreApplication::translate("zorvan", "（没有选中作品）") : address),
            BoxIcon::Warning, BoxButtons::Ok);
        return;
    }
    queueWorks(std::move(works));
}

// Those of `works` whose files are not there, once the library's copy
// knows every file this program saved.
void queueMissing(std::vector<Work> works, const QString& allThere) {
    // Complete already, or on its way: nothing to ask. A work is its
    // performer, sequence and song: a file of its name that the library
    // knows as another work's is left, and this one saved beside it.
    const KnownFiles& known = librarySnapshot().known();  // without a library, files are known by name
    const std::string folder = downloadFolder();
    const FileNaming naming = fileNaming();
    std::erase_if(works, [&](Work& work) {
        if (downloadManager().isQueued(work)) return true;
        work.clash = ClashChoice::Rename;
        if (replaceIfDamaged(known, work)) return false;
        return workFileThere(known, identityOf(work), folder, naming);
    });
    if (works.empty()) {
        askInMainWindow(allThere, BoxIcon::Information, BoxButtons::Ok);
        return;
    }
    queueWorks(std::move(works), false);
}

}  // namespace

void downloadAllWorks() {
    MainWindow* main = mainWindow();
    if (!main) return;
    QTreeWidget* list = main->worksList();
    if (list->topLevelItemCount() == 0) {
        followManager();
        askInMainWindow(QCoreApplication::translate("zorvan", "您还没获取数据哦！"), BoxIcon::None, BoxButtons::Ok);
        return;
    }
    // What the search filter shows: a filtered list is a choice.
    std::vector<Work> works;
    const auto repeats = rowRepeats(*list);
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (!list->topLevelItem(i)->isHidden()) works.push_back(workOf(list->topLevelItem(i), repeats));
    downloadMissingWorks(std::move(works), QCoreApplication::translate("zorvan", "列表中的作品都已下载。"));
}

void downloadMissingWorks(std::vector<Work> works, const QString& allThere) {
    followManager();
    std::error_code ignored;
    std::filesystem::create_directories(downloadFolder(), ignored);
    librarySnapshot().whenFresh(
        [works = std::move(works), allThere]() mutable { queueMissing(std::move(works), allThere); });
}

void refreshListedMediaFiles() {
    MainWindow* window = mainWindow();
    if (!window || !downloadManager().settings().withMediaFiles()) return;
    const KnownFiles& known = librarySnapshot().known();
    const std::string folder = downloadFolder();
    std::vector<WorkMedia> saved;
    QTreeWidget* list = window->worksList();
    const auto repeats = rowRepeats(*list);
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        Work work = workOf(list->topLevelItem(i), repeats);
        std::string own = ownFileOf(known, identityOf(work), folder, fileNaming());
        if (!own.empty())
            saved.push_back({std::move(own), work.songName, work.performer, work.sequence, 0, work.service});
    }
    downloadManager().refreshMediaFiles(std::move(saved));
}

bool replaceIfDamaged(const KnownFiles& known, Work& work) {
    std::string where;
    if (known.presenceOf(identityOf(work), work.path, &where) != FilePresence::Damaged) return false;
    work.path = where;
    work.clash = ClashChoice::Rename;
    work.replacesDamaged = true;
    return true;
}

WorkIdentity identityOf(const Work& work) {
    return {workKey(work.address), work.performer, work.sequence, work.songName, work.workId, work.repeat};
}

Work workNamed(const std::string& title, const std::string& address, const std::string& performer, int sequence,
               int repeat) {
    Work work;
    work.title = repeatedTitle(title, repeat);
    work.address = address;
    work.path = workFilePath(downloadFolder(), title, fileNaming(), performer, sequence, repeat);
    work.songName = title;
    work.repeat = repeat;
    work.performer = performer;
    work.sequence = sequence;
    return work;
}

void onDownloadWindowCreated() {
    DownloadWindow* window = downloadWindow();
    if (!window || !mainWindow()) return;
    fitDownloadWindow();
    dockDownloadWindow();
    window->setCloseEnabled(false);  // until the queue's end
    if (const QueueItem* item = downloadManager().current()) showTitle(*window, *item);
    window->timer()->start(1000);
}

void onProgressTick() {
    DownloadWindow* window = downloadWindow();
    if (!window) return;
    const QueueItem* item = downloadManager().current();
    if (!item) return;
    showTitle(*window, *item);
    showProgress(*window, *item);
}

void pauseCurrentDownload() {
    if (const QueueItem* item = downloadManager().current()) downloadManager().pause(item->id);
}

void cancelCurrentDownload() {
    const QueueItem* item = downloadManager().current();
    if (!item) return;
    const int id = item->id;
    if (askInMainWindow(QCoreApplication::translate("zorvan", "取消下载“%1”吗？已下载的部分将被删除。").arg(QString::fromStdString(item->work.title)),
            BoxIcon::Question, BoxButtons::YesNo) == BoxYes)
        downloadManager().cancel({id});
}

bool confirmEnd() {
    const int left = downloadManager().unfinished();
    if (left == 0) return true;
    return askInMainWindow(QCoreApplication::translate("zorvan", "还有 %1 个下载未完成，退出吗？下次启动时继续。").arg(left), BoxIcon::Question,
               BoxButtons::YesNo) == BoxYes;
}

}  // namespace zorvan
