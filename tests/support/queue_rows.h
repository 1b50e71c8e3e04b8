#pragma once

// The downloads view's rows as a user meets them: found by song name or
// place, read cell by cell, chosen. A row is known by its work, so it is
// the same row after the queue moved it.
#include "shell/downloads/downloads_model.h"
#include "shell/downloads/downloads_view.h"

#include <QItemSelectionModel>
#include <QTreeView>

#include <optional>

namespace zorvan::test {

struct QueueRow {
    int id;

    int place() const { return downloadsView()->rows()->rowOf(id); }
    QVariant data(int column, int role) const {
        const DownloadsModel* rows = downloadsView()->rows();
        return rows->data(rows->index(place(), column), role);
    }
    QString text(int column) const { return data(column, Qt::DisplayRole).toString(); }
    void setSelected(bool chosen) const {
        const DownloadsModel* rows = downloadsView()->rows();
        downloadsView()->list()->selectionModel()->select(
            rows->index(place(), 0), (chosen ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                          QItemSelectionModel::Rows);
    }
};

inline int queueRowCount() { return downloadsView()->rows()->rowCount(); }

inline std::optional<QueueRow> queueRowAt(int place) {
    const int id = downloadsView()->rows()->idAt(place);
    return id ? std::optional<QueueRow>(QueueRow{id}) : std::nullopt;
}

inline std::optional<QueueRow> queueRowNamed(const QString& name) {
    for (int place = 0; place < queueRowCount(); ++place)
        if (queueRowAt(place)->text(DownloadsModel::Name) == name) return queueRowAt(place);
    return std::nullopt;
}

// The song names in the view's order.
inline QStringList queueRowNames() {
    QStringList names;
    for (int place = 0; place < queueRowCount(); ++place) names << queueRowAt(place)->text(DownloadsModel::Name);
    return names;
}

}  // namespace zorvan::test
