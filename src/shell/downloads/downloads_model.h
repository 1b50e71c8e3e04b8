#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include "queue/queue_order.h"

#include <functional>
#include <set>
#include <unordered_map>
#include <vector>

namespace zorvan {

class QueueMirror;
struct QueueItem;

// The download queue as a table for the downloads view: one row per queued
// work in the queue's order (the order works run in), read from the queue
// when a row is drawn, so ten thousand rows cost what is on the screen.
// Rows are dragged to another place in the queue.
class DownloadsModel : public QAbstractTableModel {
public:
    enum Column { Name, Size, Progress, Speed, Left, State, ColumnCount };
    static constexpr int IdRole = Qt::UserRole + 1;  // the row's queue item id
    // Progress's Qt::UserRole: the share done, 0 to 100, -1 when unknown.

    // Works dragged to another place are moved by `move`; the rows follow
    // once the queue says they moved.
    using Move = std::function<void(const std::vector<int>& ids, Placement where, int anchorId)>;
    DownloadsModel(const QueueMirror& queue, Move move, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

    int idAt(int row) const;
    int rowOf(int id) const;  // -1: not shown

    // What the queue told: a work changed or was added, left, or the order changed.
    void itemChanged(int id);
    void itemRemoved(int id);
    void reordered();
    // The figures of every row may have moved.
    void figuresMoved();

private:
    const QueueItem* itemAt(int row) const;
    void dropRemoved();
    void reindex();

    const QueueMirror& queue_;
    Move move_;
    std::vector<int> ids_;                 // the rows' items, in the queue's order
    std::unordered_map<int, int> rows_;    // id -> row
    std::set<int> removed_;                // gone from the queue, their rows not yet taken out
    QStringList headers_;
};

}  // namespace zorvan
