#include "shell/works/works_list_tools.h"
#include "shell/works/work_rows.h"

#include "catalogue/works_retrieval.h"
#include "download_policy/download_folder.h"
#include "download_policy/work_file.h"
#include "shell/settings/download_settings.h"
#include "shell/works/retrieval_worker.h"
#include "shell/windows.h"
#include "shell/windows/main_window.h"
#include "shell/works/works_list_view.h"
#include "shell/library/library_snapshot.h"
#include "store/known_files.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTreeWidget>

namespace zorvan {

namespace {

// Marks the rows (of one song name, or all) as the library's copy says.
void markAll(const QString& songName = {});

constexpr int sequenceColumn = 0;

QPixmap tickPicture(const QColor& colour) {
    QPixmap picture(12, 12);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, 2));
    painter.drawPolyline(QPolygonF({QPointF(2, 6.5), QPointF(5, 9.5), QPointF(10, 2.5)}));
    return picture;
}

// Green, and on a selected row in the selection's text colour: the style's
// own tint of a green tick for selected rows is the selection's colour, on
// which it vanished.
QIcon tickIcon() {
    static const QIcon icon = [] {
        QIcon tick(tickPicture(QColor(0x2e, 0x8b, 0x57)));
        tick.addPixmap(tickPicture(QApplication::palette().color(QPalette::HighlightedText)), QIcon::Selected);
        return tick;
    }();
    return icon;
}

bool matchesFilter(const QTreeWidgetItem& item, const QString& filter) {
    return filter.isEmpty() || item.text(songNameColumn).contains(filter, Qt::CaseInsensitive);
}

void updateCount(MainWindow& window) {
    QTreeWidget* list = window.worksList();
    int shown = 0;
    for (int i = 0; i < list->topLevelItemCount(); ++i) shown += list->topLevelItem(i)->isHidden() ? 0 : 1;
    window.countLabel()->setText(worksCountText(list->topLevelItemCount(), shown));
}

void applyFilter(MainWindow& window) {
    QTreeWidget* list = window.worksList();
    const QString filter = window.filterEdit()->text().trimmed();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        const bool hidden = !matchesFilter(*item, filter);
        item->setHidden(hidden);
        // A hidden work is never downloaded by mistake.
        if (hidden) item->setSelected(false);
    }
    updateCount(window);
}

// Which work each file holds, as the library recorded it: read again (off
// this thread) when the list is filled anew and after a download; the
// marks follow once the new copy is in.
const KnownFiles& knownFiles(bool reload = false) {
    LibrarySnapshot& snapshot = librarySnapshot();
    static bool followed = false;
    if (!followed) {
        followed = true;
        QObject::connect(&snapshot, &LibrarySnapshot::changed, &snapshot, [] { markAll(); });
    }
    if (reload) snapshot.refresh();
    return snapshot.known();
}

}  // namespace

namespace {

// A work is marked when its own file is there, or a file under its name
// that the library does not know; not when that file is another
// performer's same-named song.
// `repeat`: the row's repeat number (rowRepeats); while the list fills,
// 1 (the library knows a work's own file by who it is, whatever its name).
void markIfDownloaded(QTreeWidgetItem& item, const std::string& folder, int repeat = 1) {
    const QString name = item.text(songNameColumn);
    bool there = false;
    if (!name.isEmpty()) {
        const QTreeWidget* list = item.treeWidget();
        const WorkIdentity work{workKey(item.text(mediaAddressColumn).toStdString()),
                                list ? list->property(listedPerformerProperty).toString().toStdString() : std::string(),
                                item.text(sequenceColumn).toInt(), name.toStdString(), workIdOfRow(item), repeat};
        there = workFileThere(knownFiles(), work, folder, fileNaming());
    }
    item.setIcon(sequenceColumn, there ? tickIcon() : QIcon());
    item.setToolTip(sequenceColumn, there ? QCoreApplication::translate("zorvan", "已下载") : QString());
}

void sortBy(MainWindow& window, int column) {
    // Rows are written by their place while the retrieval runs.
    if (column == mediaAddressColumn || retrievalUnderWay()) return;
    QTreeWidget* list = window.worksList();
    QHeaderView* header = list->header();
    // The order last chosen is kept here: the header flips its own
    // indicator on a click before it tells of it, so it cannot say.
    const char* const sortedBy = "zorvanSortedBy";  // column * 2 + order, while shown
    const QVariant last = header->isSortIndicatorShown() ? header->property(sortedBy) : QVariant();
    const bool again = last.isValid() && last.toInt() / 2 == column;
    const Qt::SortOrder order =
        again && last.toInt() % 2 == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    list->sortItems(column, order);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(column, order);
    header->setProperty(sortedBy, column * 2 + order);
}

}  // namespace

QString worksCountText(int total, int shown) {
    if (total <= 0) return {};
    // Filtered, the short form: the label has a third of the window's width.
    if (shown < total) return QCoreApplication::translate("zorvan", "%1 / %2 个作品").arg(shown).arg(total);
    return QCoreApplication::translate("zorvan", "共 %1 个作品").arg(total);
}

void attachWorksListTools(MainWindow& window) {
    QTreeWidget* list = window.worksList();
    QObject::connect(window.filterEdit(), &QLineEdit::textChanged, &window, [&window] { applyFilter(window); });
    QObject::connect(list->header(), &QHeaderView::sectionClicked, &window,
                     [&window](int column) { sortBy(window, column); });
    // A row is filled after it is added: its song name decides its filter
    // and its mark.
    QObject::connect(list, &QTreeWidget::itemChanged, &window, [&window](QTreeWidgetItem* item, int column) {
        if (column != songNameColumn) return;
        const QSignalBlocker quiet(window.worksList());  // the mark changes the item again
        item->setHidden(!matchesFilter(*item, window.filterEdit()->text().trimmed()));
        markIfDownloaded(*item, downloadFolder());
        updateCount(window);
    });
    QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, &window, [&window] { updateCount(window); });
    QObject::connect(list->model(), &QAbstractItemModel::rowsRemoved, &window, [&window] { updateCount(window); });
    QObject::connect(list->model(), &QAbstractItemModel::modelReset, &window, [&window] {
        knownFiles(true);  // a new listing: what the library knows now
        window.worksList()->header()->setSortIndicatorShown(false);
        updateCount(window);
    });
}

void refreshDownloadedMarks(const QString& songName) {
    if (songName.isEmpty()) knownFiles(true);
    markAll(songName);
}

namespace {

void markAll(const QString& songName) {
    MainWindow* window = mainWindow();
    if (!window) return;
    const std::string folder = downloadFolder();
    QTreeWidget* list = window->worksList();
    const QSignalBlocker quiet(list);
    const auto repeats = rowRepeats(*list);
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        if (songName.isEmpty() || item->text(songNameColumn) == songName) markIfDownloaded(*item, folder, repeats.at(item));
    }
}

}  // namespace

}  // namespace zorvan
