#include "shell/downloads/progress_delegate.h"

#include <QApplication>
#include <QStyleOptionProgressBar>

#include <algorithm>

namespace zorvan {

void ProgressDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QVariant share = index.data(Qt::UserRole);
    if (!share.isValid() || share.toInt() < 0) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The row's selection stays visible around the bar.
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    QApplication::style()->drawControl(QStyle::CE_ItemViewItem, &background, painter, option.widget);

    QStyleOptionProgressBar bar;
    bar.rect = option.rect.adjusted(2, 2, -2, -2);
    bar.minimum = 0;
    bar.maximum = 100;
    bar.progress = std::clamp(share.toInt(), 0, 100);
    bar.text = index.data(Qt::DisplayRole).toString();
    bar.textVisible = true;
    bar.textAlignment = Qt::AlignCenter;
    bar.state = option.state | QStyle::State_Horizontal;
    bar.palette = option.palette;
    QApplication::style()->drawControl(QStyle::CE_ProgressBar, &bar, painter, option.widget);
}

}  // namespace zorvan
