#include "shell/downloads/downloads_view.h"

#include "download/disk_space.h"
#include "download_policy/outcome_text.h"
#include "shell/core_texts.h"
#include "shell/language.h"
#include "shell/library/library_actions.h"

#include "shell/downloads/download_manager.h"
#include "shell/downloads/download_texts.h"
#include "shell/message_box.h"
#include "shell/windows.h"
#include "shell/windows/command_row.h"
#include "shell/windows/main_window.h"
#include "shell/downloads/progress_delegate.h"
#include "text/byte_count.h"
#include "text/duration_text.h"

#include "shell/downloads/downloads_model.h"
#include "shell/downloads/download_settings_dialog.h"

#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTreeView>

#include <algorithm>
#include <chrono>

namespace zorvan {

namespace {

QPointer<DownloadsView> view;

QString bytesText(double bytes) { return QString::fromStdString(humanBytes(bytes)); }

constexpr int refreshMs = 200;

}  // namespace

QString whyFailed(const QueueItem& item) {
    if (languageInUse() == Language::Chinese) return QString::fromStdString(failureWords(item, Words::Chinese));
    if (item.cause.kind == CauseKind::Disk && item.cause.available >= 0)
        return DownloadsView::tr("磁盘空间不足：需要 %1，可用 %2")
            .arg(QString::fromStdString(humanBytes(static_cast<double>(item.cause.needed))),
                 QString::fromStdString(humanBytes(static_cast<double>(item.cause.available))));
    if (const std::string disk = diskTroubleText(item.cause); !disk.empty()) return coreText(disk);
    switch (item.failureKind) {
        case FailureKind::Unreachable: return DownloadsView::tr("无法连接服务器");
        case FailureKind::Stalled: return DownloadsView::tr("长时间没有收到数据");
        default: return coreText(outcomeText(item.outcome));
    }
}

namespace {

QString baseStateText(const QueueItem& item) {
    switch (item.state) {
        case ItemState::Waiting: return DownloadsView::tr("等待");
        case ItemState::Running:
            return item.retrying > 0 ? DownloadsView::tr("下载中（正在重试 %1）").arg(item.retrying) : DownloadsView::tr("下载中");
        case ItemState::Paused: return DownloadsView::tr("已暂停");
        case ItemState::Failed: return DownloadsView::tr("失败：") + whyFailed(item);
        case ItemState::Done: return DownloadsView::tr("完毕");
        case ItemState::Skipped: return DownloadsView::tr("已存在，未下载");
    }
    return {};
}

}  // namespace

QString stateText(const QueueItem& item, bool waitingForServer) {
    if (item.heldElsewhere && item.state == ItemState::Waiting) return DownloadsView::tr("由服务下载中");
    // Lost with the server while the queue waits for it: taken up again by
    // itself once it answers, not failed.
    if (waitingForServer && item.state == ItemState::Failed && item.failureKind == FailureKind::Unreachable)
        return DownloadsView::tr("等待服务器恢复");
    if (item.findingAddress) return DownloadsView::tr("地址已失效，正在查找新地址");
    // A work that went on from the address a new listing gave says so.
    if (item.addressMoved && item.state != ItemState::Failed && item.state != ItemState::Skipped)
        return baseStateText(item) + DownloadsView::tr("（地址已更新）");
    return baseStateText(item);
}

namespace {

// A list view for the queue's table: rows chosen many at a time and
// dragged to another place in the queue.
QTreeView* makeQueueList(DownloadsModel* model) {
    auto* list = new QTreeView;
    list->setModel(model);
    model->setParent(list);
    list->setItemDelegateForColumn(DownloadsModel::Progress, new ProgressDelegate(list));
    list->setDragEnabled(true);
    list->setAcceptDrops(true);
    list->setDropIndicatorShown(true);
    list->setDragDropMode(QAbstractItemView::InternalMove);
    list->setDefaultDropAction(Qt::MoveAction);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    return list;
}

}  // namespace

DownloadsView::DownloadsView()
    : TableWindow({DownloadsView::tr("下载列表"),
                   "下载列表窗口",
                   {480, 320},  // beside the main window on a 1280 px screen
                   "下载列表1",
                   {DownloadsView::tr("歌名"), DownloadsView::tr("大小"),
                    DownloadsView::tr("进度"), DownloadsView::tr("速度"),
                    DownloadsView::tr("剩余时间"), DownloadsView::tr("状态")},
                   {100, 65, 70, 72, 70},
                   {QT_TRANSLATE_NOOP("zorvan", "暂停"), QT_TRANSLATE_NOOP("zorvan", "继续"),
                    QT_TRANSLATE_NOOP("zorvan", "取消"), QT_TRANSLATE_NOOP("zorvan", "重试"),
                    QT_TRANSLATE_NOOP("zorvan", "移除"), "",
                    QT_TRANSLATE_NOOP("zorvan", "全部暂停"), QT_TRANSLATE_NOOP("zorvan", "全部继续"),
                    QT_TRANSLATE_NOOP("zorvan", "全部取消"), QT_TRANSLATE_NOOP("zorvan", "清除已完成"),
                    QT_TRANSLATE_NOOP("zorvan", "设置")},
                   "下载合计"},
                  makeQueueList(new DownloadsModel(downloadManager().queue(),
                                                   [](const std::vector<int>& ids, Placement where, int anchor) {
                                                       downloadManager().move(ids, where, anchor);
                                                   })),
                  [this](const QString& command) { act(command); }),
      model_(static_cast<DownloadsModel*>(list()->model())) {
    // The song name takes what the window's width leaves: the view never
    // scrolls sideways, and a wider window shows longer names.
    list()->header()->setStretchLastSection(false);
    list()->header()->setSectionResizeMode(DownloadsModel::Name, QHeaderView::Stretch);
    // Wide enough for the usual states ("由服务下载中"); longer ones show whole in the tooltip.
    list()->setColumnWidth(DownloadsModel::State, 100);
    DownloadManager& manager = downloadManager();
    // The figures follow the queue a few times a second, a changed work's
    // row at once. A queue at rest is drawn at once (its end is told right
    // after); a skipped redraw is made up when the interval is over, so the
    // last state is always the one shown.
    redrawLater_.setSingleShot(true);
    connect(&redrawLater_, &QTimer::timeout, this, [this] {
        if (isVisible()) refresh();
    });
    connect(&manager, &DownloadManager::ticked, this, [this] {
        if (!isVisible()) return;
        const qint64 since = lastRefresh_.isValid() ? lastRefresh_.elapsed() : refreshMs;
        if (since >= refreshMs || !downloadManager().queue().active()) refresh();
        else if (!redrawLater_.isActive()) redrawLater_.start(static_cast<int>(refreshMs - since));
    });
    // Rows come, change, go and move as the queue says, shown or not.
    connect(&manager, &DownloadManager::itemChanged, model_, &DownloadsModel::itemChanged);
    connect(&manager, &DownloadManager::itemRemoved, model_, &DownloadsModel::itemRemoved);
    connect(&manager, &DownloadManager::reordered, model_, &DownloadsModel::reordered);
    // It shows one manager's queue and goes with it.
    connect(&manager, &QObject::destroyed, this, [this] { delete this; });
    attachKeysAndMenu();
    addedNoteEnds_.setSingleShot(true);
    connect(&addedNoteEnds_, &QTimer::timeout, this, [this] {
        addedNote_.clear();
        showTotals();
    });
    refresh();
}

void DownloadsView::noteAdded(int count) {
    addedNote_ = tr("已加入 %1 个作品").arg(count);
    addedNoteEnds_.start(5000);
    showTotals();
}

void DownloadsView::attachKeysAndMenu() {
    // Delete cancels the chosen works, as the button does; Ctrl+Up and
    // Ctrl+Down move them to the top and the bottom of the queue.
    const auto key = [this](QKeySequence keys, const char* command) {
        auto* shortcut = new QShortcut(keys, list(), nullptr, nullptr, Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, command] { act(QString::fromUtf8(command)); });
    };
    key(QKeySequence::Delete, "取消");
    key(QKeySequence(Qt::CTRL | Qt::Key_Up), "移到顶部");
    key(QKeySequence(Qt::CTRL | Qt::Key_Down), "移到底部");
    connect(list(), &QWidget::customContextMenuRequested, this, &DownloadsView::showMenu);
    // A double-click opens the work's folder (also in the row's menu).
    connect(list(), &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (const QueueItem* item = downloadManager().queue().item(model_->idAt(index.row())))
            openFolderOf(item->savedPath.empty() ? item->work.path : item->savedPath);
    });
}

void DownloadsView::showMenu(const QPoint& at) {
    if (selectedIds().empty()) return;
    QMenu menu(this);
    for (const char* command : {QT_TRANSLATE_NOOP("zorvan", "暂停"), QT_TRANSLATE_NOOP("zorvan", "继续"),
                                QT_TRANSLATE_NOOP("zorvan", "重试"), QT_TRANSLATE_NOOP("zorvan", "移到顶部"),
                                QT_TRANSLATE_NOOP("zorvan", "移到底部"), QT_TRANSLATE_NOOP("zorvan", "取消"),
                                QT_TRANSLATE_NOOP("zorvan", "移除"), QT_TRANSLATE_NOOP("zorvan", "打开所在文件夹")}) {
        QAction* action = menu.addAction(QCoreApplication::translate("zorvan", command));
        connect(action, &QAction::triggered, this, [this, command] { act(QString::fromUtf8(command)); });
    }
    menu.exec(list()->viewport()->mapToGlobal(at));
}

void DownloadsView::refresh() {
    lastRefresh_.start();
    redrawLater_.stop();
    model_->figuresMoved();
    showTotals();
}

void DownloadsView::showTotals() {
    const QueueMirror& queue = downloadManager().queue();
    const QueueTotals t = queue.totals();
    QString line = tr("完毕 %1 个，失败 %2 个，剩余 %3 个，速度 %4/秒")
                       .arg(t.done)
                       .arg(t.failed)
                       .arg(t.waiting + t.running + t.paused)
                       .arg(bytesText(t.speed));
    // Said only when every work left has a known size.
    if (t.running > 0 && t.sizesUnknown == 0)
        if (const std::string left = timeLeftText(t.bytesLeft, t.speed); !left.empty())
            line += tr("，还需 %1").arg(QString::fromStdString(left));
    // Every running work has lost its server: said at once, while they
    // still ride out a link that may come back.
    if (t.running > 0 && t.retrying == t.running) line = tr("连接中断，正在重试") + tr("。") + line;
    if (queue.waitingForServer()) {
        const auto wait = std::chrono::ceil<std::chrono::seconds>(queue.status().nextServerCheck - std::chrono::steady_clock::now());
        QString waiting = tr("无法连接服务器，等待恢复…");
        if (wait.count() > 0) waiting += tr("（%1 秒后再试）").arg(wait.count());
        line = waiting + tr("。") + line;
    } else if (queue.pausedByFailures()) {
        line = coreText(queuePauseWords(queue.pauseCause(), Words::Chinese)) + tr("。") + line;
    }
    if (!addedNote_.isEmpty()) line += tr("；") + addedNote_;
    statusLine()->setText(line);
}

std::vector<int> DownloadsView::selectedIds() const {
    std::vector<int> ids;
    for (const QModelIndex& index : list()->selectionModel()->selectedRows()) ids.push_back(model_->idAt(index.row()));
    // In the queue's order, whatever order they were chosen in.
    std::sort(ids.begin(), ids.end(), [this](int a, int b) { return model_->rowOf(a) < model_->rowOf(b); });
    return ids;
}

void DownloadsView::select(const std::vector<int>& ids) {
    QItemSelection chosen;
    for (int id : ids)
        if (const int row = model_->rowOf(id); row >= 0)
            chosen.select(model_->index(row, 0), model_->index(row, DownloadsModel::ColumnCount - 1));
    list()->selectionModel()->select(chosen, QItemSelectionModel::ClearAndSelect);
}

// Cancelling asks once, for one work by its name and for several by their
// number; what was fetched of them goes.
void DownloadsView::cancelAfterAsking(const std::vector<int>& ids) {
    DownloadManager& manager = downloadManager();
    const QueueMirror& queue = manager.queue();
    if (ids.empty()) return;
    MessageBoxRequest box;
    box.owner = this;
    box.caption = tr("信息：");
    const QueueItem* one = ids.size() == 1 ? queue.item(ids.front()) : nullptr;
    box.text = one ? tr("取消下载“%1”吗？已下载的部分将被删除。").arg(QString::fromStdString(one->work.title))
                   : tr("取消 %1 个下载吗？已下载的部分将被删除。").arg(ids.size());
    box.buttons = BoxButtons::YesNo;
    box.icon = BoxIcon::Question;
    if (showMessageBox(box) == BoxYes) manager.cancel(ids);
}

void DownloadsView::act(const QString& command) {
    DownloadManager& manager = downloadManager();
    const QueueMirror& queue = manager.queue();
    if (command == QStringLiteral("全部继续")) {
        manager.resumeAll();
    } else if (command == QStringLiteral("全部暂停")) {
        manager.pauseAll();
    } else if (command == QStringLiteral("全部取消")) {
        std::vector<int> unfinished;
        for (const QueueItem& item : queue.items())
            if (!item.settled() || item.state == ItemState::Failed) unfinished.push_back(item.id);
        cancelAfterAsking(unfinished);
    } else if (command == QStringLiteral("清除已完成")) {
        std::vector<int> settled;
        for (const QueueItem& item : queue.items())
            if (item.state == ItemState::Done || item.state == ItemState::Skipped) settled.push_back(item.id);
        manager.remove(settled);
    } else if (command == QStringLiteral("设置")) {
        showDownloadSettings(this);
    } else {
        actOnSelected(command);
    }
    // The rows acted on redrew themselves as the queue told of them.
    showTotals();
}

void DownloadsView::actOnSelected(const QString& command) {
    DownloadManager& manager = downloadManager();
    const QueueMirror& queue = manager.queue();
    std::vector<int> chosen = selectedIds();
    if (command == QStringLiteral("取消")) {
        // A finished work has nothing to cancel: its file stays, its row
        // goes with "清除已完成" or "移除".
        std::erase_if(chosen, [&queue](int id) {
            const QueueItem* item = queue.item(id);
            return !item || (item->settled() && item->state != ItemState::Failed);
        });
        cancelAfterAsking(chosen);
    } else if (command == QStringLiteral("移除")) {
        manager.remove(chosen);  // off the list; files and part files stay
    } else if (command == QStringLiteral("移到顶部")) {
        manager.move(chosen, Placement::Top);
    } else if (command == QStringLiteral("移到底部")) {
        manager.move(chosen, Placement::Bottom);
    } else if (command == QStringLiteral("打开所在文件夹")) {
        if (const QueueItem* item = chosen.empty() ? nullptr : queue.item(chosen.front()))
            openFolderOf(item->savedPath.empty() ? item->work.path : item->savedPath);  // one folder is enough
    } else {
        for (int id : chosen) {
            if (command == QStringLiteral("暂停")) manager.pause(id);
            else if (command == QStringLiteral("继续") || command == QStringLiteral("重试")) manager.resume(id);
        }
    }
}

void showDownloadsView() {
    if (!view) {
        view = new DownloadsView;  // lives as long as the queue it shows
        // Beside the main window, where it hides neither that nor the
        // download window above it.
        placeBesideMainWindow(*view, 79);
    }
    view->refresh();
    view->show();
    view->raise();
}

DownloadsView* downloadsView() { return view.data(); }

}  // namespace zorvan
