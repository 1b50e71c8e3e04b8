#pragma once

#include <QTreeWidget>

#include <string>
#include <unordered_map>

namespace zorvan {

// Where a row of the works list keeps the work's own id on the service.
inline constexpr int workIdRole = Qt::UserRole + 1;

// The work's own id of a row; empty when its listing gave none.
std::string workIdOfRow(const QTreeWidgetItem& row);

// Each row's repeat number (workRepeats) over the whole list in its listed
// order, however the list is sorted now: works of one name are told apart
// the same way in the window as everywhere else.
std::unordered_map<const QTreeWidgetItem*, int> rowRepeats(const QTreeWidget& list);

}  // namespace zorvan
