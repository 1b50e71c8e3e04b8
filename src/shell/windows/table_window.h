#pragma once

#include <QSize>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <initializer_list>
#include <vector>

class QLabel;
class QPushButton;
class QTreeView;

namespace zorvan {

// The shape the program's list views share (the downloads and the
// followed performers): a list of rows that are selected many at a time,
// a row of command buttons under it, a status line at the bottom.
class TableWindow : public QWidget {
public:
    struct Design {
        QString title;                       // translated
        const char* name;                    // the window's object name
        QSize size;
        const char* listName;                // the list's object name
        QStringList columns;                 // translated headings
        std::vector<int> columnWidths;       // the last column stretches
        std::initializer_list<const char*> commands;  // source texts, context "zorvan"
        const char* statusName;              // the status line's object name
    };
    // `list` is the rows' view: a QTreeWidget, or a QTreeView with its
    // model set (the headings go to the model). `chosen` hears the source
    // text of a clicked command button.
    TableWindow(const Design& design, QTreeView* list, std::function<void(const QString&)> chosen);

    QTreeView* list() const { return list_; }
    QLabel* statusLine() const { return status_; }
    QPushButton* button(const QString& text) const;

private:
    QTreeView* list_;
    QLabel* status_;
    std::vector<QPushButton*> buttons_;
};

}  // namespace zorvan
