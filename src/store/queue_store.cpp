#include "store/queue_store.h"

#include "store/database.h"
#include "store/statement.h"

#include <algorithm>

namespace zorvan {

using store::Statement;

std::vector<SavedWork> QueueStore::load(std::string& error) {
    std::vector<SavedWork> works;
    Statement s(db_.handle(), ("SELECT title, address, path, failure, total, done, service, performer, sequence, song,"
                               " position, work_id, item_id, saved_path, finished_at FROM " + table_ +
                               " ORDER BY position").c_str());
    if (!s.ready()) {
        error = db_.lastError();
        return works;
    }
    while (s.row())
        works.push_back({s.text(0), s.text(1), s.text(2), s.text(3), s.int64(4), s.int64(5), s.text(6), s.text(7),
                         s.integer(8), s.text(9), s.int64(10), s.text(11), s.integer(12), s.text(13), s.int64(14)});
    return works;
}

bool QueueStore::apply(const QueueChanges& changes, std::string& error) {
    if (changes.empty()) return true;
    if (!db_.run("BEGIN IMMEDIATE", error)) return false;
    Statement forget(db_.handle(), ("DELETE FROM " + table_ + " WHERE position = ?").c_str());
    bool ok = forget.ready();
    for (std::size_t i = 0; ok && i < changes.removed.size(); ++i) {
        forget.reset();
        ok = forget.bind(1, changes.removed[i]).done();
    }
    Statement write(db_.handle(),
                    ("INSERT OR REPLACE INTO " + table_ + " (position, title, address, path, failure, total, done,"
                     " service, performer, sequence, song, work_id, item_id, saved_path, finished_at)"
                     " VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)").c_str());
    ok = ok && write.ready();
    for (std::size_t i = 0; ok && i < changes.written.size(); ++i) {
        const SavedWork& w = changes.written[i];
        write.reset();
        ok = write.bind(1, w.position).bind(2, w.title).bind(3, w.address).bind(4, w.path).bind(5, w.failure)
                 .bind(6, w.total).bind(7, w.done).bind(8, w.service).bind(9, w.performer).bind(10, w.sequence)
                 .bind(11, w.songName).bind(12, w.workId).bind(13, w.itemId).bind(14, w.savedPath)
                 .bind(15, w.finishedAt).done();
    }
    if (ok && changes.nextItemId > 0) {
        Statement next(db_.handle(), "INSERT INTO queue_ids (queue, next) VALUES (?1, ?2)"
                                     " ON CONFLICT (queue) DO UPDATE SET next = max(next, ?2)");
        ok = next.ready() && next.bind(1, table_).bind(2, changes.nextItemId).done();
    }
    if (!ok) {
        error = db_.lastError();
        db_.rollback();
        return false;
    }
    return db_.run("COMMIT", error);
}

int QueueStore::nextItemId(std::string& error) {
    Statement s(db_.handle(), ("SELECT max(coalesce((SELECT next FROM queue_ids WHERE queue = ?1), 1),"
                               " coalesce((SELECT max(item_id) + 1 FROM " + table_ + "), 1))").c_str());
    if (s.ready() && s.bind(1, table_).row()) return std::max(1, s.integer(0));
    error = db_.lastError();
    return 1;
}

}  // namespace zorvan
