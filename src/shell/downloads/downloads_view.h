#pragma once

#include "shell/windows/table_window.h"

#include <QElapsedTimer>
#include <QTimer>

#include <vector>

class QLabel;

namespace zorvan {

class DownloadsModel;
struct QueueItem;

// "下载列表": one row per queued work (song name, size, progress bar,
// speed, time left, state) in the order the queue runs them, the buttons
// and menu that act on the selected rows, and a total line. Rows move to
// the top or bottom (menu, Ctrl+Up/Down) or where they are dragged. Shows
// the download manager's queue; hidden, not destroyed, when closed.
class DownloadsView : public TableWindow {
    Q_OBJECT
public:
    DownloadsView();

    QLabel* totalLine() const { return statusLine(); }
    DownloadsModel* rows() const { return model_; }

    // Rows brought up to date with the queue.
    void refresh();
    // Says for a few seconds, after the totals, how many works were just queued.
    void noteAdded(int count);
    QString addedNote() const { return addedNote_; }
    // Chooses the rows of these queue item ids, and only them.
    void select(const std::vector<int>& ids);
    std::vector<int> selectedIds() const;

private:
    void act(const QString& command);
    void actOnSelected(const QString& command);
    void cancelAfterAsking(const std::vector<int>& ids);
    void attachKeysAndMenu();
    void showMenu(const QPoint& at);
    void showTotals();  // the line under the rows

    DownloadsModel* model_;
    QElapsedTimer lastRefresh_;  // the figures are redrawn a few times a second at most
    QTimer redrawLater_;         // a redraw skipped for that, made up
    QString addedNote_;          // "已加入 N 个作品", while it is news
    QTimer addedNoteEnds_;
};

// The program's downloads view, made at first use; shown and raised.
void showDownloadsView();
DownloadsView* downloadsView();  // null until made

// How the view names a work's state ("等待", "下载中", "失败：..." ...).
// `waitingForServer`: the queue waits for the server, and takes works that
// could not reach it up again by itself.
QString stateText(const QueueItem& item, bool waitingForServer = false);
// Why a work failed: the queue's own Chinese words, or in another language
// the same said by its kind (without the engine's Chinese log line).
QString whyFailed(const QueueItem& item);

}  // namespace zorvan
