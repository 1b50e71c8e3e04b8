#pragma once

#include <QStyledItemDelegate>

namespace zorvan {

// Draws a row's progress as a bar with its text ("37%"): the share done is
// the cell's Qt::UserRole value (0 to 100; none, or -1, draws the text
// alone, as for a work whose size is not known yet).
class ProgressDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace zorvan
