#include "shell/works/work_rows.h"

#include "catalogue/works_retrieval.h"
#include "download_policy/work_file.h"

#include <algorithm>
#include <vector>

namespace zorvan {

std::string workIdOfRow(const QTreeWidgetItem& row) { return row.data(0, workIdRole).toString().toStdString(); }

std::unordered_map<const QTreeWidgetItem*, int> rowRepeats(const QTreeWidget& list) {
    std::vector<const QTreeWidgetItem*> rows;
    rows.reserve(static_cast<std::size_t>(list.topLevelItemCount()));
    for (int i = 0; i < list.topLevelItemCount(); ++i) rows.push_back(list.topLevelItem(i));
    std::stable_sort(rows.begin(), rows.end(), [](const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
        return a->text(sequenceColumn).toLongLong() < b->text(sequenceColumn).toLongLong();
    });
    std::vector<std::string> names;
    names.reserve(rows.size());
    for (const QTreeWidgetItem* row : rows) names.push_back(row->text(songNameColumn).toStdString());
    const std::vector<int> repeats = workRepeats(names);
    std::unordered_map<const QTreeWidgetItem*, int> byRow;
    for (std::size_t i = 0; i < rows.size(); ++i) byRow.emplace(rows[i], repeats[i]);
    return byRow;
}

}  // namespace zorvan
