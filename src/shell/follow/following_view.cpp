#include "shell/follow/following_view.h"

#include "store/library_db.h"

#include <QDateTime>
#include <QLabel>
#include <QTreeWidget>

namespace zorvan {

namespace {

enum Column { Performer, NewWorks, Works, LastCheck, Status, ColumnCount };

QString checkTime(std::int64_t seconds) {
    if (seconds <= 0) return FollowingView::tr("从未检查");
    return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("MM-dd HH:mm"));
}

}  // namespace

QString newWorksText(int count) {
    return count > 0 ? FollowingView::tr("%1 个新作品").arg(count) : QString();
}

FollowingView::FollowingView()
    : TableWindow({FollowingView::tr("关注列表"),
                   "关注窗口",
                   {520, 260},
                   "关注列表1",
                   {FollowingView::tr("主播"), FollowingView::tr("新作品"),
                    FollowingView::tr("作品"), FollowingView::tr("上次检查"),
                    FollowingView::tr("状态")},
                   {90, 90, 50, 100},
                   {QT_TRANSLATE_NOOP("zorvan", "下载新作品"), QT_TRANSLATE_NOOP("zorvan", "立即检查"),
                    QT_TRANSLATE_NOOP("zorvan", "显示作品"), QT_TRANSLATE_NOOP("zorvan", "取消关注")},
                   "关注状态"},
                  new QTreeWidget, [this](const QString& command) { emit commandChosen(command); }) {
    connect(list(), &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* row) { emit performerOpened(row->text(Performer)); });
}

QTreeWidget* FollowingView::list() const { return static_cast<QTreeWidget*>(TableWindow::list()); }

void FollowingView::showPerformers(const std::vector<FollowedPerformer>& performers, const QString& checking,
                         const QString& problem) {
    const QStringList selected = [this] {
        QStringList ids;
        for (QTreeWidgetItem* row : list()->selectedItems()) ids << row->text(Performer);
        return ids;
    }();
    list()->clear();
    for (const FollowedPerformer& p : performers) {
        const QString id = QString::fromStdString(p.id);
        auto* row = new QTreeWidgetItem(list());
        row->setText(Performer, id);
        row->setText(NewWorks, newWorksText(p.newWorks));
        row->setText(Works, p.lastChecked > 0 ? QString::number(p.works) : QString());
        row->setText(LastCheck, id == checking ? tr("正在检查…") : checkTime(p.lastChecked));
        row->setText(Status, QString::fromStdString(p.lastError));
        row->setSelected(selected.contains(id));
    }
    statusLine()->setText(!problem.isEmpty()      ? problem
                     : performers.empty()    ? tr("还没有关注主播：在作品列表的菜单中选“关注”。")
                                             : QString());
}

QStringList FollowingView::chosenIds() const {
    QStringList ids;
    const bool all = list()->selectedItems().isEmpty();
    for (int i = 0; i < list()->topLevelItemCount(); ++i)
        if (all || list()->topLevelItem(i)->isSelected()) ids << list()->topLevelItem(i)->text(Performer);
    return ids;
}

}  // namespace zorvan
