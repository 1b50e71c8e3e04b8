#include "shell/downloads/downloads_model.h"

#include "service/queue_mirror.h"
#include "shell/downloads/downloads_view.h"
#include "text/byte_count.h"
#include "text/duration_text.h"

#include <QMimeData>
#include <QTimer>

#include <algorithm>

namespace zorvan {

namespace {

const char* const idsMime = "application/x-zorvan-queue-ids";

QString bytesText(double bytes) { return QString::fromStdString(humanBytes(bytes)); }

// The share done, 0 to 100; -1 while the size is not known.
int shareDone(const QueueItem& item) { return item.total > 0 ? static_cast<int>(item.done * 100 / item.total) : -1; }

QString cellText(const QueueItem& item, int column, bool waitingForServer) {
    const bool moving = item.state == ItemState::Running && item.speed > 0;
    switch (column) {
        case DownloadsModel::Name: return QString::fromStdString(item.work.title);
        case DownloadsModel::Size: return item.total >= 0 ? bytesText(static_cast<double>(item.total)) : QString();
        case DownloadsModel::Progress:
            return shareDone(item) >= 0 ? QString::number(shareDone(item)) + "%" : QString();
        case DownloadsModel::Speed: return moving ? bytesText(item.speed) + DownloadsView::tr("/秒") : QString();
        case DownloadsModel::Left:
            return moving && item.total >= 0
                       ? QString::fromStdString(timeLeftText(item.total - item.done, item.speed))
                       : QString();
        case DownloadsModel::State: return stateText(item, waitingForServer);
        default: return {};
    }
}

}  // namespace

DownloadsModel::DownloadsModel(const QueueMirror& queue, Move move, QObject* parent)
    : QAbstractTableModel(parent), queue_(queue), move_(std::move(move)) {
    for (const QueueItem& item : queue_.items()) ids_.push_back(item.id);
    reindex();
}

void DownloadsModel::reindex() {
    rows_.clear();
    for (std::size_t r = 0; r < ids_.size(); ++r) rows_[ids_[r]] = static_cast<int>(r);
}

int DownloadsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(ids_.size());
}

int DownloadsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

int DownloadsModel::idAt(int row) const {
    return row >= 0 && row < static_cast<int>(ids_.size()) ? ids_[static_cast<std::size_t>(row)] : 0;
}

int DownloadsModel::rowOf(int id) const {
    const auto it = rows_.find(id);
    return it == rows_.end() ? -1 : it->second;
}

const QueueItem* DownloadsModel::itemAt(int row) const { return queue_.item(idAt(row)); }

QVariant DownloadsModel::data(const QModelIndex& index, int role) const {
    // A row whose work has just left the queue draws empty until it goes.
    const QueueItem* item = index.isValid() ? itemAt(index.row()) : nullptr;
    if (!item) return {};
    if (role == IdRole) return item->id;
    if (role == Qt::UserRole && index.column() == Progress) return shareDone(*item);
    if (role == Qt::DisplayRole || (role == Qt::ToolTipRole && index.column() == State))
        return cellText(*item, index.column(), queue_.waitingForServer());
    return {};
}

QVariant DownloadsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < headers_.size())
        return headers_[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

bool DownloadsModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role) {
    const bool text = role == Qt::DisplayRole || role == Qt::EditRole;
    if (orientation != Qt::Horizontal || !text || section < 0 || section >= ColumnCount) return false;
    while (headers_.size() <= section) headers_ << QString();
    headers_[section] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}

Qt::ItemFlags DownloadsModel::flags(const QModelIndex& index) const {
    // Rows are dropped between rows, not on them.
    if (!index.isValid()) return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

Qt::DropActions DownloadsModel::supportedDropActions() const { return Qt::MoveAction; }

QStringList DownloadsModel::mimeTypes() const { return {QString::fromLatin1(idsMime)}; }

QMimeData* DownloadsModel::mimeData(const QModelIndexList& indexes) const {
    std::set<int> rows;
    for (const QModelIndex& index : indexes) rows.insert(index.row());
    QByteArray bytes;
    for (int row : rows) bytes += QByteArray::number(idAt(row)) + ' ';
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(idsMime), bytes);
    return data;
}

// The dragged works go before the row they were dropped at, in the queue
// itself; the view follows the queue's order. No row is removed by the
// view after a move (removeRows is not offered), the queue says what moved.
bool DownloadsModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int, const QModelIndex& parent) {
    if (action != Qt::MoveAction || !data->hasFormat(QString::fromLatin1(idsMime))) return false;
    std::vector<int> ids;
    for (const QByteArray& piece : data->data(QString::fromLatin1(idsMime)).split(' '))
        if (const int id = piece.toInt(); id > 0) ids.push_back(id);
    if (row < 0) row = parent.isValid() ? parent.row() : rowCount();
    const int anchor = idAt(row);
    move_(ids, anchor != 0 ? Placement::Before : Placement::Bottom, anchor);
    return false;  // nothing for the view to take out
}

void DownloadsModel::itemChanged(int id) {
    if (const int row = rowOf(id); row >= 0) {
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
        return;
    }
    // A new work: the queue adds at its end.
    if (!queue_.item(id)) return;
    const int row = rowCount();
    beginInsertRows({}, row, row);
    ids_.push_back(id);
    rows_[id] = row;
    endInsertRows();
}

// Works leave one by one as the queue tells; the rows go together once the
// events of one pass are in (ten thousand cancelled are one range).
void DownloadsModel::itemRemoved(int id) {
    if (rowOf(id) < 0) return;
    if (removed_.empty()) QTimer::singleShot(0, this, [this] { dropRemoved(); });
    removed_.insert(id);
}

void DownloadsModel::dropRemoved() {
    if (removed_.empty()) return;
    const std::set<int> gone = std::move(removed_);
    removed_.clear();
    std::vector<int> rows;
    for (int id : gone)
        if (const int row = rowOf(id); row >= 0) rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    std::vector<std::pair<int, int>> runs;  // neighbouring rows, first and last
    for (int row : rows) {
        if (!runs.empty() && runs.back().second + 1 == row) runs.back().second = row;
        else runs.push_back({row, row});
    }
    // Scattered rows beyond a few hundred runs cost more one by one than
    // the table drawn anew.
    if (runs.size() > 200) {
        beginResetModel();
        std::erase_if(ids_, [&gone](int id) { return gone.count(id) != 0; });
        reindex();
        endResetModel();
        return;
    }
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {  // from the bottom up
        beginRemoveRows({}, run->first, run->second);
        ids_.erase(ids_.begin() + run->first, ids_.begin() + run->second + 1);
        endRemoveRows();
    }
    reindex();
}

// The queue's new order, the chosen rows staying chosen.
void DownloadsModel::reordered() {
    dropRemoved();
    emit layoutAboutToBeChanged();
    std::vector<int> ids;
    ids.reserve(queue_.items().size());
    for (const QueueItem& item : queue_.items())
        if (rowOf(item.id) >= 0) ids.push_back(item.id);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> beforeIds;
    for (const QModelIndex& index : before) beforeIds.push_back(idAt(index.row()));
    ids_ = std::move(ids);
    reindex();
    QModelIndexList after;
    for (std::size_t i = 0; i < beforeIds.size(); ++i) {
        const int row = rowOf(beforeIds[i]);
        after << (row >= 0 ? index(row, before[static_cast<int>(i)].column()) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

void DownloadsModel::figuresMoved() {
    if (!ids_.empty()) emit dataChanged(index(0, Size), index(rowCount() - 1, State), {Qt::DisplayRole, Qt::UserRole});
}

}  // namespace zorvan
