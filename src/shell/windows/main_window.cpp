#include "shell/windows/main_window.h"

#include "shell/windows/performer_id_filter.h"
#include "shell/windows/window_geometry.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>

namespace zorvan {

namespace {

// The downloaded-files list shows rows one pixel taller than the default.
class TallerRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(0, 1);
    }
};

void whiteBackgroundBlackText(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    widget->setPalette(palette);
}

}  // namespace

MainWindow::MainWindow() {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Zorvan"));
    setFixedSize(designWidth, designHeight);
    applyDesignSize(this, designWidth, designHeight, true);

    // Created in this order, which is also the order the focus moves in.
    createPerformerRow();
    createDownloadedGroup();
    createWorksMenu();

    fetchButton_ = new QPushButton(tr("确定"), this);
    fetchButton_->setObjectName(QStringLiteral("按钮1"));
    fetchButton_->setGeometry(208, 5, 72, 24);

    trimTimer_ = new QTimer(this);
    trimTimer_->setObjectName(QStringLiteral("时钟1"));
    trimTimer_->setInterval(3000);
    trimTimer_->start();

    createWorksList();
    createFilterRow();
    layOut();
}

MainWindow::~MainWindow() {
    // The children go after this body, and the list's model reports their
    // going: nothing that reads this window may hear it any more.
    worksList_->model()->disconnect(this);
    worksList_->header()->disconnect(this);
    worksList_->disconnect(this);
    filterEdit_->disconnect(this);
    downloadedList_->disconnect(this);
}

void MainWindow::createPerformerRow() {
    performerLabel_ = new QLabel(tr("主播Lumo："), this);
    performerLabel_->setObjectName(QStringLiteral("透明标签1"));
    performerLabel_->setGeometry(8, 5, 56, 24);

    performerIdEdit_ = new QLineEdit(QString::fromLatin1(defaultPerformerId), this);
    performerIdEdit_->setObjectName(QStringLiteral("编辑框1"));
    performerIdEdit_->setGeometry(56, 5, 144, 24);
    whiteBackgroundBlackText(performerIdEdit_);
    performerIdEdit_->installEventFilter(new PerformerIdFilter(performerIdEdit_));
    // With this platform's fonts the label's text is wider than its 56
    // pixels and would run into the edit box. Keep all of it readable:
    // widen the label to its text and let the box start after it, its
    // right edge where the design has it.
    const int textWidth = performerLabel_->fontMetrics().horizontalAdvance(performerLabel_->text()) + 2;
    if (textWidth > performerLabel_->width()) performerLabel_->resize(textWidth, performerLabel_->height());
    labelEnd_ = std::max(performerLabel_->geometry().right() + 1, performerIdEdit_->x());
}

void MainWindow::createDownloadedGroup() {
    downloadedGroup_ = new QGroupBox(tr("已下载："), this);
    downloadedGroup_->setObjectName(QStringLiteral("分组框1"));
    downloadedGroup_->setGeometry(288, 1, 232, 376);  // moved along by layOut
    // Shown only while the window is widened for it: a sliver of it at the
    // narrow window's edge is a stray line, not a view.
    downloadedGroup_->hide();

    downloadedList_ = new QListWidget(downloadedGroup_);
    downloadedList_->setObjectName(QStringLiteral("列表框1"));
    downloadedList_->setGeometry(8, 23, 208, 344);
    downloadedList_->setSortingEnabled(true);
    downloadedList_->setSelectionMode(QAbstractItemView::SingleSelection);
    downloadedList_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    downloadedList_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    downloadedList_->setItemDelegate(new TallerRowDelegate(downloadedList_));
    whiteBackgroundBlackText(downloadedList_);
}

void MainWindow::createWorksMenu() {
    // Never a menu bar: its items are the works list's popup menu.
    worksMenu_ = new QMenu(tr("菜单"), this);
    playCommand_ = worksMenu_->addAction(tr("播放"));
    downloadCommand_ = worksMenu_->addAction(tr("下载"));
    worksMenu_->addSeparator();
    viewDownloadedCommand_ = worksMenu_->addAction(tr("查看已下载"));
    viewDownloadedCommand_->setCheckable(true);
    stayOnTopCommand_ = worksMenu_->addAction(tr("置顶"));
    stayOnTopCommand_->setCheckable(true);
    // Not items of the menu itself: the popup shows them beside "下载".
    downloadAllCommand_ = new QAction(tr("全部下载"), this);
    downloadListCommand_ = new QAction(tr("下载列表"), this);
    settingsCommand_ = new QAction(tr("设置"), this);
    followCommand_ = new QAction(tr("关注"), this);
    followingCommand_ = new QAction(tr("关注列表"), this);
    mediaWallCommand_ = new QAction(tr("媒体库"), this);
}

void MainWindow::createWorksList() {
    worksList_ = new QTreeWidget(this);
    worksList_->setObjectName(QStringLiteral("超级列表框1"));
    worksList_->setGeometry(1, 35, 280, 338);
    worksList_->setColumnCount(3);
    worksList_->setHeaderLabels({QString(), QString(), tr("歌名")});
    worksList_->headerItem()->setTextAlignment(2, Qt::AlignCenter);
    worksList_->setColumnWidth(0, 50);
    worksList_->setColumnWidth(1, 0);
    worksList_->setColumnHidden(1, true);
    worksList_->setColumnWidth(2, 200);
    worksList_->setSortingEnabled(false);
    // Clickable headers that do not sort (set after sorting, which resets it).
    worksList_->header()->setSectionsClickable(true);
    worksList_->header()->setStretchLastSection(false);
    worksList_->setRootIsDecorated(false);
    worksList_->setItemsExpandable(false);
    worksList_->setUniformRowHeights(true);
    worksList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Ctrl, Shift and Ctrl+A choose several works to download at once; a
    // click still chooses one.
    worksList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    worksList_->setAllColumnsShowFocus(true);
    worksList_->setContextMenuPolicy(Qt::CustomContextMenu);
    whiteBackgroundBlackText(worksList_);
    // The selection stays as visible as when the list has the focus.
    QPalette palette = worksList_->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    worksList_->setPalette(palette);
    // A double-click anywhere in the list counts, not only on a row.
    worksList_->viewport()->installEventFilter(this);
}

void MainWindow::createFilterRow() {
    filterEdit_ = new QLineEdit(this);
    filterEdit_->setObjectName(QStringLiteral("搜索框"));
    filterEdit_->setPlaceholderText(tr("搜索歌名"));
    filterEdit_->setClearButtonEnabled(true);
    whiteBackgroundBlackText(filterEdit_);
    countLabel_ = new QLabel(this);
    countLabel_->setObjectName(QStringLiteral("作品数"));
    countLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void MainWindow::showLibrary(bool shown) {
    libraryShown_ = shown;
    downloadedGroup_->setVisible(shown);
    layOut();
}

void MainWindow::layOut() {
    // The units sit where the design has them, measured from the design's
    // width even where a frame makes the inside narrower; a window widened
    // without the library view gives the list the room. The row under the
    // list takes what the inside leaves below the design's list, which is
    // shortened where a frame would hide the row.
    const int left = libraryShown_ ? designWidth : std::max(width(), designWidth);
    constexpr int listTop = 35, designListHeight = 338, rowHeight = 20;
    fetchButton_->setGeometry(left - 82, 5, 72, 24);
    performerIdEdit_->setGeometry(labelEnd_, 5, fetchButton_->x() - 8 - labelEnd_, 24);
    worksList_->setGeometry(1, listTop, left - 10, std::min(designListHeight, height() - listTop - rowHeight - 5));
    const int rowTop = worksList_->geometry().bottom() + 3;
    filterEdit_->setGeometry(1, rowTop, std::min(150, (left - 10) / 2), rowHeight);
    const int countLeft = filterEdit_->geometry().right() + 8;
    countLabel_->setGeometry(countLeft, rowTop, left - 10 - countLeft + 1, rowHeight);
    downloadedGroup_->move(left - 2, 1);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == worksList_->viewport() && event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        emit worksListDoubleClicked();
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    emit moved();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layOut();
    emit resized();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closeGuard_ && !closeGuard_()) {
        event->ignore();
        return;
    }
    event->accept();
    emit closing();
}

}  // namespace zorvan
