#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QPixmap>
#include <QSet>
#include <QSize>
#include <QSortFilterProxyModel>
#include <QThreadPool>

#include <memory>
#include <vector>

namespace zorvan {

class PosterWorker;

// A work of the library as the wall shows it.
struct WallEntry {
    QString entry;      // the file below the download folder, as playing and deleting name it
    QString path;       // the video's whole path
    QString song;
    QString performer;
    int sequence = 0;
    qint64 recorded = 0;  // when it was saved (seconds since the epoch)
    bool undecodable = false;  // the library notes that no poster can be made of it
    bool damaged = false;      // its last reading through found bytes other than those saved
};

// The works with their posters, loaded only when a row is first shown
// (off the GUI thread, scaled there) and kept while the wall lives: a wall
// of a thousand never decodes a picture nobody scrolled to. A work shown
// without a poster (saved before posters were made) gets one made then,
// at a low priority, into the user's cache.
class MediaWallModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        EntryRole = Qt::UserRole + 1,
        SongRole,
        PerformerRole,
        SequenceRole,
        RecordedRole,
        PosterStateRole,
        UndecodableRole,  // no poster can be made of its video
        DamagedRole,      // its bytes are no longer those saved
    };
    enum PosterState { PosterLoading, PosterShown, PosterNone };

    explicit MediaWallModel(QSize posterSize, QObject* parent = nullptr);
    ~MediaWallModel() override;

    void setEntries(std::vector<WallEntry> entries);
    const std::vector<WallEntry>& entries() const { return entries_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // What a work whose video gives no poster says.
    static QString undecodableText();
    // What a work whose file is damaged says.
    static QString damagedText();

    // Posters being read now (for tests and the wall's patience).
    int loadsUnderWay() const { return loading_.size(); }

private:
    void loadPoster(int row) const;
    void posterRead(int generation, int row, const QString& path, const QImage& image);
    void posterMade(const QString& path, bool made);

    const QSize posterSize_;
    std::vector<WallEntry> entries_;
    int generation_ = 0;  // entries set anew: late pictures of the old ones are dropped
    mutable QHash<QString, QPixmap> posters_;
    mutable QSet<QString> loading_;
    mutable QSet<QString> none_;  // no poster beside it, or one that cannot be read
    mutable QThreadPool readers_;
    QSet<QString> tried_;                      // posters asked to be made
    QSet<QString> undecodable_;                // videos no poster could be made of (noted, or tried now)
    std::unique_ptr<PosterWorker> backfill_;   // made at the first poster missing
};

// What the wall shows: a performer's works or everyone's, those whose song
// holds a text, newest first or by performer and sequence.
class MediaWallFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    enum class Order { Newest, Sequence };
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void choose(const QString& performer, const QString& text, Order order);

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    QString performer_;
    QString text_;
    Order order_ = Order::Newest;
};

}  // namespace zorvan
