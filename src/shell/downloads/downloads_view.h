#pragma once

#include "shell/windows/table_window.h"

#include <QElapsedTimer>
#include <QTimer>

#include <map>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace zorvan {

struct QueueItem;

// "下载列表": one row per queued work (song name, size, progress, speed,
// state) with the buttons that act on the selected rows, and a total line.
// Shows the download manager's queue; hidden, not destroyed, when closed.
class DownloadsView : public TableWindow {
    Q_OBJECT
public:
    DownloadsView();

    QLabel* totalLine() const { return statusLine(); }

    // Rows brought up to date with the queue.
    void refresh();

private:
    void act(const QString& command);
    void cancelAfterAsking(const std::vector<int>& ids);
    QTreeWidgetItem* rowOf(int id);
    void fill(QTreeWidgetItem* row, const QueueItem& item);
    void showItem(const QueueItem& item);  // its row, made when it has none
    void showTotals();                     // the line under the rows
    std::vector<int> selectedIds() const;

    std::map<int, QTreeWidgetItem*> rows_;  // by queue item id
    QElapsedTimer lastRefresh_;  // the whole list is redrawn a few times a second at most
    QTimer redrawLater_;         // a redraw skipped for that, made up
    static constexpr std::size_t manyRows = 100;  // more go at once: the list is drawn again
    bool removingMany_ = false;
};

// The program's downloads view, made at first use; shown and raised.
void showDownloadsView();
DownloadsView* downloadsView();  // null until made

// How the view names a work's state ("等待", "下载中", "失败：..." ...).
QString stateText(const QueueItem& item);
// Why a work failed: the queue's own Chinese words, or in another language
// the same said by its kind (without the engine's Chinese log line).
QString whyFailed(const QueueItem& item);

}  // namespace zorvan
