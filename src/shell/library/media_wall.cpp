#include "shell/library/media_wall.h"
#include "shell/library/library_jobs.h"

#include "download_policy/download_folder.h"
#include "shell/library/library_actions.h"
#include "shell/library/media_wall_model.h"
#include "shell/windows.h"
#include "shell/windows/main_window.h"
#include "store/library_db.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>
#include <set>

namespace zorvan {

namespace {

constexpr QSize posterSize(192, 108);
constexpr int captionHeight = 40;
constexpr int gap = 8;

// A poster, or a placeholder with the song's first character, and below it
// the song and the performer.
class PosterDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {posterSize.width() + gap, posterSize.height() + captionHeight + gap};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        painter->save();
        const QRect cell = option.rect.adjusted(gap / 2, gap / 2, -gap / 2, -gap / 2);
        if (option.state & QStyle::State_Selected) painter->fillRect(option.rect, option.palette.highlight());
        const QRect picture(cell.topLeft(), posterSize);
        const QPixmap poster = index.data(Qt::DecorationRole).value<QPixmap>();
        if (!poster.isNull()) {
            // Filled and cut to the frame, as the page's wall shows them.
            const QRect source((poster.width() - std::min(poster.width(), poster.height() * 16 / 9)) / 2, 0,
                               std::min(poster.width(), poster.height() * 16 / 9), poster.height());
            painter->drawPixmap(picture, poster, source);
        } else {
            painter->fillRect(picture, QColor(0xd5, 0xdb, 0xe1));
            const bool none = index.data(MediaWallModel::PosterStateRole).toInt() == MediaWallModel::PosterNone;
            QFont big = option.font;
            big.setPointSizeF(big.pointSizeF() * 2.2);
            painter->setFont(big);
            painter->setPen(QColor(0x4a, 0x55, 0x60));
            painter->drawText(picture, Qt::AlignCenter, none ? index.data(MediaWallModel::SongRole).toString().left(1)
                                                             : QString());
        }
        painter->setFont(option.font);
        const QColor ink = option.state & QStyle::State_Selected ? option.palette.highlightedText().color()
                                                                 : option.palette.text().color();
        painter->setPen(ink);
        const QFontMetrics metrics(option.font);
        const QRect song(cell.left(), picture.bottom() + 4, cell.width(), metrics.height());
        painter->drawText(song, Qt::AlignLeft | Qt::AlignVCenter,
                          metrics.elidedText(index.data(MediaWallModel::SongRole).toString(), Qt::ElideRight,
                                             song.width()));
        painter->setPen(option.state & QStyle::State_Selected ? ink : QColor(0x5a, 0x64, 0x6e));
        const QRect performer(cell.left(), song.bottom() + 1, cell.width(), metrics.height());
        // A damaged file, or a video no poster can be made of, says so under
        // its picture, as the page's card does.
        const bool damaged = index.data(MediaWallModel::DamagedRole).toBool();
        if (damaged) painter->setPen(QColor(0xb0, 0x1c, 0x1c));
        const QString below = damaged ? MediaWallModel::damagedText()
                              : index.data(MediaWallModel::UndecodableRole).toBool()
                                  ? MediaWallModel::undecodableText()
                                  : index.data(MediaWallModel::PerformerRole).toString();
        painter->drawText(performer, Qt::AlignLeft | Qt::AlignVCenter,
                          metrics.elidedText(below, Qt::ElideRight, performer.width()));
        painter->restore();
    }
};

}  // namespace

MediaWall::MediaWall(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("媒体库"));
    setWindowTitle(tr("媒体库"));
    model_ = new MediaWallModel(posterSize, this);
    filter_ = new MediaWallFilter(this);
    filter_->setSourceModel(model_);
    filter_->setDynamicSortFilter(false);

    performers_ = new QComboBox(this);
    performers_->setAccessibleName(tr("主播"));
    search_ = new QLineEdit(this);
    search_->setPlaceholderText(tr("搜索歌名"));
    search_->setClearButtonEnabled(true);
    order_ = new QComboBox(this);
    order_->addItem(tr("最新在前"));
    order_->addItem(tr("按序号"));
    status_ = new QLabel(this);

    view_ = new QListView(this);
    view_->setViewMode(QListView::IconMode);
    view_->setResizeMode(QListView::Adjust);
    view_->setMovement(QListView::Static);
    view_->setUniformItemSizes(true);
    view_->setLayoutMode(QListView::Batched);  // a thousand laid out a piece at a time
    view_->setBatchSize(200);
    view_->setSpacing(0);
    view_->setWordWrap(false);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setItemDelegate(new PosterDelegate(view_));
    view_->setModel(filter_);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);

    auto* tools = new QHBoxLayout;
    tools->addWidget(performers_);
    tools->addWidget(search_, 1);
    tools->addWidget(order_);
    auto* column = new QVBoxLayout(this);
    column->addLayout(tools);
    column->addWidget(view_, 1);
    column->addWidget(status_);
    resize(4 * (posterSize.width() + gap) + 40, 600);

    connect(performers_, &QComboBox::currentIndexChanged, this, [this] { chooseAgain(); });
    connect(order_, &QComboBox::currentIndexChanged, this, [this] { chooseAgain(); });
    connect(search_, &QLineEdit::textChanged, this, [this] { chooseAgain(); });
    connect(view_, &QListView::activated, this,
            [this](const QModelIndex& at) { emit playRequested(at.data(MediaWallModel::EntryRole).toString()); });
    connect(view_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) { showMenu(at); });
}

void MediaWall::reload() {
    onLibrary<std::vector<WallEntry>>(
        [folder = downloadFolder()](LibraryDb* db, std::string& error) { return wallEntriesIn(db, folder, error); },
        [self = QPointer<MediaWall>(this)](std::vector<WallEntry> entries, const std::string& error) {
            if (!self) return;
            self->showEntries(std::move(entries));
            if (!error.empty())
                self->status_->setText(QCoreApplication::translate("zorvan", "无法读取媒体库：") +
                                       QString::fromStdString(error));
            emit self->reloaded();
        });
}

void MediaWall::showEntries(std::vector<WallEntry> entries) {
    const QString chosen = performers_->currentData().toString();
    std::set<QString> names;
    for (const WallEntry& e : entries)
        if (!e.performer.isEmpty()) names.insert(e.performer);
    model_->setEntries(std::move(entries));
    const QSignalBlocker quiet(performers_);
    performers_->clear();
    performers_->addItem(tr("全部主播"), QString());
    for (const QString& name : names) performers_->addItem(name, name);
    performers_->setCurrentIndex(std::max(0, performers_->findData(chosen)));
    chooseAgain();
}

void MediaWall::chooseAgain() {
    filter_->choose(performers_->currentData().toString(), search_->text(),
                    order_->currentIndex() == 1 ? MediaWallFilter::Order::Sequence : MediaWallFilter::Order::Newest);
    status_->setText(model_->rowCount() == 0 ? tr("媒体库里还没有作品。")
                                             : tr("共 %1 个作品").arg(filter_->rowCount()));
}

QStringList MediaWall::shownEntries() const {
    QStringList entries;
    for (int row = 0; row < filter_->rowCount(); ++row)
        entries << filter_->index(row, 0).data(MediaWallModel::EntryRole).toString();
    return entries;
}

void MediaWall::showMenu(const QPoint& at) {
    const QModelIndex index = view_->indexAt(at);
    if (!index.isValid()) return;
    const QString entry = index.data(MediaWallModel::EntryRole).toString();
    QMenu menu(view_);
    QAction* play = menu.addAction(tr("播放"));
    QAction* open = menu.addAction(tr("打开所在文件夹"));
    QAction* remove = menu.addAction(tr("删除"));
    QAction* chosen = menu.exec(view_->viewport()->mapToGlobal(at));
    if (chosen == play) emit playRequested(entry);
    if (chosen == open) emit folderRequested(entry);
    if (chosen == remove) emit deleteRequested(entry);
}

std::vector<WallEntry> wallEntriesIn(LibraryDb* db, const std::string& downloads, std::string& error) {
    std::vector<WallEntry> entries;
    std::error_code ignored;
    std::vector<LibraryEntry> files;
    if (db) files = db->files().entries(error);
    const std::filesystem::path folder = std::filesystem::weakly_canonical(downloads, ignored);
    for (const LibraryEntry& file : files) {
        if (!file.file.complete || file.file.path.empty()) continue;
        const std::filesystem::path path(file.file.path);
        const std::filesystem::path relative = path.lexically_relative(folder);
        if (relative.empty() || *relative.begin() == ".." || !std::filesystem::exists(path, ignored)) continue;
        const std::optional<std::string> note = db->posterNotes().current(file.file.path);
        const std::optional<FileDigest> digest = db->digests().of(file.file.path);
        entries.push_back({QString::fromStdString(relative.string()), QString::fromStdString(path.string()),
                           QString::fromStdString(file.file.songName.empty() ? path.stem().string()
                                                                             : file.file.songName),
                           QString::fromStdString(file.file.performer), file.file.sequence, file.recorded,
                           note.has_value(), digest && digest->damagedAsItIs()});
    }
    return entries;
}

void showMediaWall(std::function<void(const QString& entry)> play) {
    static QPointer<MediaWall> wall;
    if (!wall) {
        wall = new MediaWall(mainWindow());
        wall->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(wall, &MediaWall::playRequested, wall, [play = std::move(play)](const QString& entry) {
            if (play) play(entry);
        });
        QObject::connect(wall, &MediaWall::folderRequested, wall, [](const QString& entry) {
            openFolderOf(downloadFolder() + "/" + entry.toStdString());
        });
        QObject::connect(wall, &MediaWall::deleteRequested, wall, [](const QString& entry) {
            if (deleteLibraryEntry(entry) && wall) wall->reload();
        });
    }
    wall->reload();
    wall->show();
    wall->raise();
    wall->activateWindow();
}

}  // namespace zorvan
