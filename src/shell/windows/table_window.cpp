#include "shell/windows/table_window.h"

#include "shell/windows/command_row.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace zorvan {

TableWindow::TableWindow(const Design& design, QTreeView* list, std::function<void(const QString&)> chosen)
    : list_(list) {
    setWindowTitle(design.title);
    setObjectName(QString::fromUtf8(design.name));
    resize(design.size);
    list_->setParent(this);
    list_->setObjectName(QString::fromUtf8(design.listName));
    if (auto* items = qobject_cast<QTreeWidget*>(list_)) {
        items->setColumnCount(static_cast<int>(design.columns.size()));
        items->setHeaderLabels(design.columns);
    } else {
        for (int c = 0; c < design.columns.size(); ++c)
            list_->model()->setHeaderData(c, Qt::Horizontal, design.columns[c]);
    }
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);  // a long list is laid out without measuring every row
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->header()->setStretchLastSection(true);
    for (std::size_t c = 0; c < design.columnWidths.size(); ++c)
        list_->setColumnWidth(static_cast<int>(c), design.columnWidths[c]);
    auto* buttons = commandRow(this, design.commands, buttons_, std::move(chosen));
    status_ = new QLabel(this);
    status_->setObjectName(QString::fromUtf8(design.statusName));
    status_->setWordWrap(true);  // a long line grows the window's height, never its width
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    layout->addWidget(status_);
}

QPushButton* TableWindow::button(const QString& text) const { return buttonWithText(buttons_, text); }

}  // namespace zorvan
