#pragma once

#include <QTreeWidgetItem>

namespace zorvan {

// A row of the works list: sorted by its sequence number as a number, by
// any other column as text.
class WorkItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        if (column == 0) return text(0).toLongLong() < other.text(0).toLongLong();
        return QTreeWidgetItem::operator<(other);
    }
};

}  // namespace zorvan
