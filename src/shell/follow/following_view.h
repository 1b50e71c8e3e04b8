#pragma once

#include "shell/windows/table_window.h"

#include <QStringList>

#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace zorvan {

struct FollowedPerformer;

// "关注": one row per followed performer (id, new works, works, last
// check, and why the last check failed), with the buttons that act on the
// selected rows (on every row when none is selected). Hidden, not
// destroyed, when closed.
class FollowingView : public TableWindow {
    Q_OBJECT
public:
    FollowingView();

    // Its rows are items.
    QTreeWidget* list() const;

    // Rows as the library has them; `checking` is the performer a check
    // is under way for, `problem` why the library could not be read.
    void showPerformers(const std::vector<FollowedPerformer>& performers, const QString& checking, const QString& problem);
    // The ids of the selected rows, or of every row when none is selected.
    QStringList chosenIds() const;

signals:
    void commandChosen(const QString& command);
    void performerOpened(const QString& id);

};

// "1 个新作品"; empty for none.
QString newWorksText(int count);

}  // namespace zorvan
