#include "shell/downloads/download_control.h"

#include "download_policy/program_limits.h"
#include "download_policy/work_file.h"
#include "shell/downloads/download_texts.h"
#include "shell/downloads/download_window.h"
#include "shell/gui_thread.h"
#include "shell/library/downloaded_view.h"
#include "shell/message_box.h"
#include "shell/program_directory.h"
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

namespace zorvan {

namespace {

constexpr const char* infoCaption = "信息：";

// The size the engine reported for the running download. Written on the
// engine's thread, read by the timer; it outlives the program-wide state so
// a late engine event never writes into freed memory.
std::atomic<double> totalBytes{0};

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
std::string toGbk(const QString& text) { return utf8ToGbk(text.toStdString()); }

// What event 4 does on the GUI thread.
void showEnd(TaskOutcome outcome) {
    if (DownloadWindow* window = downloadWindow()) window->setCloseEnabled(true);
    ask(QString::fromUtf8(endMessage(outcome)),
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
    state.currentFilePath = utf8ToGbk(downloadFolder()) + "/" + songFileName(state.currentSongName) + ".mp4";

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
    window->setWindowTitle(QStringLiteral("正下载: ") + fromGbk(state.currentSongName));

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

int onDownloadEvent(int type, int, std::int64_t value, std::int64_t extra, TaskId) {
    switch (type) {
        case event::nameClash:
            return ask(QStringLiteral("文件已存在,继续下载吗?"), BoxIcon::None, BoxButtons::YesNo) == BoxYes
                       ? clashAnswer::rename
                       : clashAnswer::giveUp;
        case event::size:
            totalBytes = static_cast<double>(value);
            postToGui([value] {
                if (DownloadWindow* window = downloadWindow()) {
                    window->setCloseEnabled(false);
                    window->setPartText(0, QString::fromStdString(sizeText(value)) + "M");
                }
            });
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
