#include "shell/follow/following_view.h"

#include "shell/windows/command_row.h"
#include "store/library_db.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zorvan {

namespace {

enum Column { Performer, NewWorks, Works, LastCheck, Status, ColumnCount };

QString checkTime(std::int64_t seconds) {
    if (seconds <= 0) return QCoreApplication::translate("zorvan", "从未检查");
    return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("MM-dd HH:mm"));
}

}  // namespace

QString newWorksText(int count) {
    return count > 0 ? QCoreApplication::translate("zorvan", "%1 个新作品").arg(count) : QString();
}

FollowingView::FollowingView() {
    setWindowTitle(QCoreApplication::translate("zorvan", "关注列表"));
    setObjectName(QStringLiteral("关注窗口"));
    resize(520, 260);
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("关注列表1"));
    list_->setColumnCount(ColumnCount);
    list_->setHeaderLabels({QCoreApplication::translate("zorvan", "主播"), QCoreApplication::translate("zorvan", "新作品"),
                            QCoreApplication::translate("zorvan", "作品"), QCoreApplication::translate("zorvan", "上次检查"),
                            QCoreApplication::translate("zorvan", "状态")});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->header()->setStretchLastSection(true);
    list_->setColumnWidth(Performer, 90);
    list_->setColumnWidth(NewWorks, 90);
    list_->setColumnWidth(Works, 50);
    list_->setColumnWidth(LastCheck, 100);
    connect(list_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* row) { emit performerOpened(row->text(Performer)); });

    auto* buttons = commandRow(this,
                               {QT_TRANSLATE_NOOP("zorvan", "下载新作品"), QT_TRANSLATE_NOOP("zorvan", "立即检查"),
                                QT_TRANSLATE_NOOP("zorvan", "显示作品"), QT_TRANSLATE_NOOP("zorvan", "取消关注")},
                               buttons_, [this](const QString& command) { emit commandChosen(command); });
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("关注状态"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    layout->addWidget(status_);
}

QPushButton* FollowingView::button(const QString& text) const { return buttonWithText(buttons_, text); }

void FollowingView::showPerformers(const std::vector<FollowedPerformer>& performers, const QString& checking,
                         const QString& problem) {
    const QStringList selected = [this] {
        QStringList ids;
        for (QTreeWidgetItem* row : list_->selectedItems()) ids << row->text(Performer);
        return ids;
    }();
    list_->clear();
    for (const FollowedPerformer& p : performers) {
        const QString id = QString::fromStdString(p.id);
        auto* row = new QTreeWidgetItem(list_);
        row->setText(Performer, id);
        row->setText(NewWorks, newWorksText(p.newWorks));
        row->setText(Works, p.lastChecked > 0 ? QString::number(p.works) : QString());
        row->setText(LastCheck, id == checking ? QCoreApplication::translate("zorvan", "正在检查…") : checkTime(p.lastChecked));
        row->setText(Status, QString::fromStdString(p.lastError));
        row->setSelected(selected.contains(id));
    }
    status_->setText(!problem.isEmpty()      ? problem
                     : performers.empty()    ? QCoreApplication::translate("zorvan", "还没有关注主播：在作品列表的菜单中选“关注”。")
                                             : QString());
}

QStringList FollowingView::chosenIds() const {
    QStringList ids;
    const bool all = list_->selectedItems().isEmpty();
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        if (all || list_->topLevelItem(i)->isSelected()) ids << list_->topLevelItem(i)->text(Performer);
    return ids;
}

}  // namespace zorvan
