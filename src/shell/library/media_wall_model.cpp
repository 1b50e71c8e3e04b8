#include "shell/library/media_wall_model.h"

#include "media_files/noted_poster_worker.h"
#include "media_files/work_sidecars.h"
#include "store/library_db.h"

#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <QPointer>

namespace zorvan {

QString MediaWallModel::undecodableText() { return QCoreApplication::translate("zorvan", "无法从这个视频生成海报"); }

QString MediaWallModel::damagedText() {
    return QCoreApplication::translate("zorvan", "已损坏：内容与保存时的 SHA-256 不同");
}

MediaWallModel::MediaWallModel(QSize posterSize, QObject* parent)
    : QAbstractListModel(parent), posterSize_(posterSize) {
    // Two readers: the pictures come in while the GUI thread stays free.
    readers_.setMaxThreadCount(2);
}

MediaWallModel::~MediaWallModel() {
    ++generation_;
    readers_.clear();
    readers_.waitForDone();
    backfill_.reset();  // its thread ends before the rest goes
}

void MediaWallModel::setEntries(std::vector<WallEntry> entries) {
    beginResetModel();
    ++generation_;
    readers_.clear();
    entries_ = std::move(entries);
    loading_.clear();
    none_.clear();  // a poster made since is shown
    for (const WallEntry& e : entries_) {
        if (!e.undecodable) continue;
        // Noted in the library: not tried again, its placeholder says why.
        undecodable_.insert(e.path);
        tried_.insert(e.path);
    }
    endResetModel();
}

int MediaWallModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

QVariant MediaWallModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const WallEntry& e = entries_[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
        case SongRole: return e.song;
        case Qt::ToolTipRole: {
            const QString text = e.performer.isEmpty() ? e.song : e.song + QStringLiteral(" · ") + e.performer;
            // A video that could not be decoded says so where its picture would be.
            const QString shown = undecodable_.contains(e.path) ? text + QStringLiteral("\n") + undecodableText() : text;
            return e.damaged ? shown + QStringLiteral("\n") + damagedText() : shown;
        }
        case Qt::AccessibleDescriptionRole: return e.damaged ? damagedText() : QString();
        case DamagedRole: return e.damaged;
        case EntryRole: return e.entry;
        case PerformerRole: return e.performer;
        case SequenceRole: return e.sequence;
        case RecordedRole: return e.recorded;
        case Qt::DecorationRole: {
            const auto found = posters_.constFind(e.path);
            if (found != posters_.constEnd()) return *found;
            loadPoster(index.row());
            return {};
        }
        case UndecodableRole: return undecodable_.contains(e.path);
        case PosterStateRole:
            return posters_.contains(e.path) ? PosterShown : none_.contains(e.path) ? PosterNone : PosterLoading;
        default: return {};
    }
}

void MediaWallModel::loadPoster(int row) const {
    const QString path = entries_[static_cast<std::size_t>(row)].path;
    if (loading_.contains(path) || none_.contains(path)) return;
    loading_.insert(path);
    QPointer<MediaWallModel> self(const_cast<MediaWallModel*>(this));
    const int generation = generation_;
    const QSize size = posterSize_;
    readers_.start([self, generation, row, path, size] {
        // Beside the video, else in the cache: looked for here, off the GUI thread.
        QImageReader reader(QString::fromStdString(posterFor(path.toStdString())));
        const QSize full = reader.size();
        // Read at the size shown: a JPEG decodes straight to it.
        if (full.isValid()) reader.setScaledSize(full.scaled(size, Qt::KeepAspectRatioByExpanding));
        const QImage image = reader.read();
        QMetaObject::invokeMethod(
            self, [self, generation, row, path, image] {
                if (self) self->posterRead(generation, row, path, image);
            },
            Qt::QueuedConnection);
    });
}

void MediaWallModel::posterRead(int generation, int row, const QString& path, const QImage& image) {
    if (generation != generation_) return;
    if (image.isNull() && !tried_.contains(path)) {
        // None yet: one is made now, and read when it is there.
        tried_.insert(path);
        if (!backfill_) backfill_ = posterWorkerNotingIn(libraryDbPath());
        const WallEntry& e = entries_[static_cast<std::size_t>(row)];
        QPointer<MediaWallModel> self(this);
        backfill_->add({{path.toStdString(), e.song.toStdString(), e.performer.toStdString(), e.sequence, 0, {}},
                        false, false, false, [self, path](const PosterResult& poster) {
                            QMetaObject::invokeMethod(
                                self, [self, path, made = poster.made] {
                                    if (self) self->posterMade(path, made);
                                },
                                Qt::QueuedConnection);
                        }});
        return;  // still loading
    }
    loading_.remove(path);
    if (image.isNull()) none_.insert(path);
    else posters_.insert(path, QPixmap::fromImage(image));
    const QModelIndex at = index(row);
    emit dataChanged(at, at, {Qt::DecorationRole, PosterStateRole});
}

void MediaWallModel::posterMade(const QString& path, bool made) {
    loading_.remove(path);
    if (!made) {
        none_.insert(path);
        undecodable_.insert(path);
    }
    for (std::size_t row = 0; row < entries_.size(); ++row) {
        if (entries_[row].path != path) continue;
        const QModelIndex at = index(static_cast<int>(row));
        emit dataChanged(at, at, {Qt::DecorationRole, PosterStateRole});  // read again as it is drawn
    }
}

void MediaWallFilter::choose(const QString& performer, const QString& text, Order order) {
    performer_ = performer;
    text_ = text.trimmed();
    order_ = order;
    invalidate();
    sort(0);
}

bool MediaWallFilter::filterAcceptsRow(int row, const QModelIndex& parent) const {
    const QModelIndex at = sourceModel()->index(row, 0, parent);
    if (!performer_.isEmpty() && at.data(MediaWallModel::PerformerRole).toString() != performer_) return false;
    return text_.isEmpty() || at.data(MediaWallModel::SongRole).toString().contains(text_, Qt::CaseInsensitive);
}

bool MediaWallFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    if (order_ == Order::Newest) {
        const qint64 a = left.data(MediaWallModel::RecordedRole).toLongLong();
        const qint64 b = right.data(MediaWallModel::RecordedRole).toLongLong();
        return a != b ? a > b : left.row() > right.row();
    }
    const QString pa = left.data(MediaWallModel::PerformerRole).toString();
    const QString pb = right.data(MediaWallModel::PerformerRole).toString();
    if (pa != pb) return pa < pb;
    return left.data(MediaWallModel::SequenceRole).toInt() < right.data(MediaWallModel::SequenceRole).toInt();
}

}  // namespace zorvan
