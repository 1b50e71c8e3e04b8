#include "shell/downloads/download_control.h"

#include "download_policy/program_limits.h"
#include "download_policy/work_file.h"
#include "shell/downloads/download_texts.h"
#include "shell/downloads/download_window.h"
#include "shell/gui_thread.h"
#include "shell/library/downloaded_view.h"
#include "shell/message_box.h"
#include "download_policy/download_folder.h"
#include "shell/program_end.h"
#include "shell/program_state.h"
#include "shell/windows.h"
#include "shell/windows/main_window.h"
#include "shell/windows/window_docking.h"
#include "shell/windows/window_geometry.h"
#include "text/code_page.h"

#include <QProgressBar>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <set>

namespace zorvan {

namespace {

constexpr const char* infoCaption = "信息：";

// The size the engine reported for the running download. Written on the
// engine's thread, read by the timer; it outlives the program-wide state so
// a late engine event never writes into freed memory.
std::atomic<double> totalBytes{0};
// Connections being tried again, and how many attempts were made since
// none was. Engine threads only (the event procedure).
std::mutex retryLock;
std::set<int> retryingConnections;
int retries = 0;

// The retry count to show after an event of `connection`; -1: no change.
int noteRetryState(int type, int connection) {
    std::lock_guard lock(retryLock);
    if (type == event::retrying) {
        retryingConnections.insert(connection);
        return ++retries;
    }
    if (retryingConnections.erase(connection) == 0 || !retryingConnections.empty()) return -1;
    retries = 0;  // bytes flow again on every connection that broke
    return 0;
}

int ask(const QString& text, BoxIcon icon, BoxButtons buttons) {
    MessageBoxRequest box;
    box.text = text;
    box.caption = QString::fromUtf8(infoCaption);
    box.icon = icon;
    box.buttons = buttons;
    box.owner = isGuiThread() ? mainWindow() : nullptr;
    return showMessageBox(box);
}

QString fromGbk(const std::string& text) { return QString::fromStdString(gbkToUtf8(text)); }

// What became of an earlier download's part file, for the title (GUI
// thread); whether this download kept its own (engine threads).
QString partNote;
std::atomic<bool> partKept{false};

// "正下载: 歌名", and while connections are being retried, how often; else
// whether an earlier download is being continued.
void showDownloadTitle(int retrying) {
    DownloadWindow* window = downloadWindow();
    if (!window || !programStateExists()) return;
    QString title = QStringLiteral("正下载: ") + fromGbk(programState().currentSongName);
    if (retrying > 0) title += QStringLiteral("（连接中断，正在重试 %1）").arg(retrying);
    else title += partNote;
    window->setWindowTitle(title);
}

QString startOverNote(StartOverReason reason) {
    switch (reason) {
        case StartOverReason::FileChanged: return QStringLiteral("（服务器上的文件已更改，重新下载）");
        case StartOverReason::NoRanges: return QStringLiteral("（服务器不支持断点续传，重新下载）");
        default: return QStringLiteral("（上次未完成的文件无法继续，重新下载）");
    }
}
std::string toGbk(const QString& text) { return utf8ToGbk(text.toStdString()); }

// What event 4 does on the GUI thread.
void showEnd(TaskOutcome outcome) {
    if (DownloadWindow* window = downloadWindow()) window->setCloseEnabled(true);
    ask(QString::fromStdString(endMessage(outcome, partKept)),
        outcome == TaskOutcome::Complete || outcome == TaskOutcome::GivenUp ? BoxIcon::Information : BoxIcon::Warning,
        BoxButtons::Ok);
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

}  // namespace

void startDownload() {
    MainWindow* main = mainWindow();
    if (!main) return;
    std::error_code ignored;
    std::filesystem::create_directories(downloadFolder(), ignored);
    QTreeWidget* list = main->worksList();
    if (list->topLevelItemCount() == 0) {
        ask(QStringLiteral("您还没获取数据哦！"), BoxIcon::None, BoxButtons::Ok);
        return;
    }
    // One download at a time: while its window is open the command does
    // nothing; after the window was closed with Esc the user is told why.
    if (downloadWindow()) return;
    if (programState().downloadTask->hasTask()) {
        ask(QStringLiteral("上一个作品还在下载，请等它完成后再下载。"), BoxIcon::Information, BoxButtons::Ok);
        return;
    }

    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    QTreeWidgetItem* row = selected.isEmpty() ? nullptr : selected.front();
    ProgramState& state = programState();
    state.currentSongName = row ? toGbk(row->text(2)) : std::string();
    state.currentMediaUrl = row ? toGbk(row->text(1)) : std::string();
    state.currentFilePath = workFilePath(utf8ToGbk(downloadFolder()), state.currentSongName);

    // Laid out again once shown: the first show gives a window its design size.
    if (loadWindow(WindowKind::Download)) fitDownloadWindow();
}

void onDownloadWindowCreated() {
    DownloadWindow* window = downloadWindow();
    MainWindow* main = mainWindow();
    if (!window || !main) return;
    ProgramState& state = programState();
    state.taskFilePath = state.currentFilePath;
    fitDownloadWindow();
    dockDownloadWindow();
    {
        std::lock_guard lock(retryLock);
        retryingConnections.clear();
        retries = 0;
    }
    partNote.clear();
    partKept = false;
    showDownloadTitle(0);
    window->setCloseEnabled(false);  // until the end event

    TaskParam& params = state.taskParams;
    setProgramLimits(params);
    params.eventProcedure = onDownloadEvent;
    window->timer()->start(1000);
    params.url = engineAddress(state.currentMediaUrl);
    params.localPath = state.taskFilePath;
    // A new download's percentage must not be taken from the previous size.
    totalBytes = 0;
    if (!state.downloadTask->startTask(params)) {
        // Closed before the box, so nothing waits behind a window that never ends.
        window->timer()->stop();
        window->close();
        const QString address = QString::fromStdString(gbkToUtf8(state.currentMediaUrl));
        ask(QStringLiteral("无法下载这个作品：地址无效或不受支持。\n") + (address.isEmpty() ? QStringLiteral("（没有选中作品）") : address),
            BoxIcon::Warning, BoxButtons::Ok);
    }
}

int onDownloadEvent(int type, int connection, std::int64_t value, std::int64_t extra, TaskId) {
    switch (type) {
        case event::nameClash:
            return ask(QStringLiteral("文件已存在,继续下载吗?"), BoxIcon::None, BoxButtons::YesNo) == BoxYes
                       ? clashAnswer::rename
                       : clashAnswer::giveUp;
        case event::size:
            totalBytes = static_cast<double>(value);
            postToGui([value] {
                if (DownloadWindow* window = downloadWindow())
                    window->setPartText(0, QString::fromStdString(sizeText(value)) + "M");
            });
            return 0;
        case event::retrying:
        case event::received:
            if (const int shown = noteRetryState(type, connection); shown >= 0)
                postToGui([shown] { showDownloadTitle(shown); });
            return 0;
        case event::continued:
            postToGui([percent = extra > 0 ? value * 100 / extra : 0] {
                partNote = QStringLiteral("（从 %1% 继续）").arg(percent);
                showDownloadTitle(0);
            });
            return 0;
        case event::startedOver:
            postToGui([reason = static_cast<StartOverReason>(value)] {
                partNote = startOverNote(reason);
                showDownloadTitle(0);
            });
            return 0;
        case event::partKept:
            // Comes while the program may be ending: nothing here may wait for the GUI.
            partKept = true;
            return 0;
        case event::end:
            runOnGuiAndWait([outcome = static_cast<TaskOutcome>(extra)] {
                if (!endUnderWay()) showEnd(outcome);
            });
            return 0;
        default:
            return 0;
    }
}

void onProgressTick() {
    DownloadWindow* window = downloadWindow();
    if (!window || !programStateExists()) return;
    ProgramState& state = programState();
    const std::int64_t speed = state.downloadTask->takeBytesSinceLastQuery();
    window->setPartText(1, QString::fromStdString(sizeText(speed)) + QStringLiteral("M/秒"));
    const double total = totalBytes;
    const std::int64_t done = state.downloadTask->bytesDownloaded();
    const double percent = total > 0 ? static_cast<double>(done) / total * 100 : 0;
    window->progressBar()->setValue(static_cast<int>(std::clamp(percent, 0.0, 100.0)));
    window->setPartText(2, QString::fromStdString(sizeText(state.downloadTask->bytesDownloaded())) + "M");
    window->setPartText(3, QString::number(window->progressBar()->value()) + "%");
}

}  // namespace zorvan
