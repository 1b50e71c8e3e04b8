#include "store/file_store.h"

#include "store/database.h"
#include "store/file_stamp.h"
#include "store/statement.h"

namespace zorvan {

using store::Statement;

bool FileStore::record(const WorkFile& file, std::int64_t now, std::string& error) {
    const bool onDisk = !file.path.empty();
    Statement s(db_.handle(),
                onDisk ? "INSERT INTO files (key, path, size, complete, recorded, performer, sequence, song, work_id,"
                         " address) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)"
                         " ON CONFLICT (path) WHERE path != '' DO UPDATE SET key = ?1, size = ?3, complete = ?4,"
                         " recorded = ?5, performer = ?6, sequence = ?7, song = ?8, work_id = ?9, address = ?10"
                       : "INSERT INTO files (key, path, size, complete, recorded, performer, sequence, song, work_id,"
                         " address) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)"
                         " ON CONFLICT (key) WHERE path = '' DO UPDATE SET size = ?3, complete = ?4, recorded = ?5,"
                         " performer = ?6, sequence = ?7, song = ?8, work_id = ?9, address = ?10");
    if (!s.ready() || !s.bind(1, file.key).bind(2, file.path).bind(3, file.size).bind(4, file.complete).bind(5, now)
                           .bind(6, file.performer).bind(7, file.sequence).bind(8, file.songName).bind(9, file.workId)
                           .bind(10, file.address).done()) {
        error = db_.lastError();
        return false;
    }
    if (onDisk && file.complete) forgetLostFilesOf(file);
    return true;
}

// The work's other rows whose files are gone (it was saved anew elsewhere)
// and the archive line that told of it before it had a file.
void FileStore::forgetLostFilesOf(const WorkFile& file) {
    Statement others(db_.handle(),
                     "SELECT id, path FROM files WHERE path != ?1 AND (key = ?2 OR (?3 != '' AND ?4 != ''"
                     " AND performer = ?3 AND work_id = ?4))");
    if (!others.ready()) return;
    others.bind(1, file.path).bind(2, file.key).bind(3, file.performer).bind(4, file.workId);
    std::vector<std::int64_t> lost;
    while (others.row()) {
        const std::string path = others.text(1);
        if (path.empty() || !stampOf(path)) lost.push_back(others.int64(0));
    }
    std::string ignored;
    for (const std::int64_t id : lost) forget(id, ignored);
}

bool FileStore::record(const std::vector<WorkFile>& files, std::int64_t now, std::string& error) {
    if (files.empty()) return true;
    if (!db_.run("BEGIN IMMEDIATE", error)) return false;
    for (const WorkFile& file : files) {
        if (!record(file, now, error)) {
            db_.rollback();
            return false;
        }
    }
    return db_.run("COMMIT", error);
}

std::vector<WorkFile> FileStore::all(std::string& error) {
    std::vector<WorkFile> files;
    Statement s(db_.handle(),
                "SELECT key, path, size, complete, performer, sequence, song, work_id, address FROM files"
                " ORDER BY recorded, id");
    if (!s.ready()) {
        error = db_.lastError();
        return files;
    }
    while (s.row())
        files.push_back({s.text(0), s.text(1), s.int64(2), s.integer(3) != 0, s.text(4), s.integer(5), s.text(6),
                         s.text(7), s.text(8)});
    return files;
}

namespace {
constexpr const char* entryColumns =
    "SELECT id, key, path, size, complete, performer, sequence, song, recorded, work_id, address FROM files";

LibraryEntry entryOf(const Statement& s) {
    return {s.int64(0),
            {s.text(1), s.text(2), s.int64(3), s.integer(4) != 0, s.text(5), s.integer(6), s.text(7), s.text(9),
             s.text(10)},
            s.int64(8)};
}
}  // namespace

std::vector<LibraryEntry> FileStore::entries(std::string& error) {
    std::vector<LibraryEntry> entries;
    Statement s(db_.handle(),
                (std::string(entryColumns) + " WHERE complete = 1 AND path != '' ORDER BY recorded DESC, id DESC")
                    .c_str());
    if (!s.ready()) {
        error = db_.lastError();
        return entries;
    }
    while (s.row()) entries.push_back(entryOf(s));
    return entries;
}

std::optional<LibraryEntry> FileStore::entry(std::int64_t id, std::string& error) {
    Statement s(db_.handle(), (std::string(entryColumns) + " WHERE id = ? AND complete = 1 AND path != ''").c_str());
    if (!s.ready()) {
        error = db_.lastError();
        return std::nullopt;
    }
    if (!s.bind(1, id).row()) return std::nullopt;
    return entryOf(s);
}

bool FileStore::forget(std::int64_t id, std::string& error) {
    // Its file's poster note and digest go with it (nothing is left to note).
    for (const char* sql : {"DELETE FROM poster_notes WHERE path = (SELECT path FROM files WHERE id = ?)",
                            "DELETE FROM digests WHERE path = (SELECT path FROM files WHERE id = ?)"}) {
        Statement note(db_.handle(), sql);
        if (note.ready()) note.bind(1, id).done();
    }
    Statement s(db_.handle(), "DELETE FROM files WHERE id = ?");
    if (!s.ready() || !s.bind(1, id).done()) {
        error = db_.lastError();
        return false;
    }
    return sqlite3_changes(db_.handle()) > 0;
}

bool FileStore::importArchive(const std::string& archivePath, const std::vector<std::string>& keys,
                              std::int64_t now, std::string& error) {
    if (!db_.run("BEGIN IMMEDIATE", error)) return false;
    const auto fail = [&] {
        error = db_.lastError();
        db_.rollback();
        return false;
    };
    Statement mark(db_.handle(), "INSERT OR IGNORE INTO archives_imported (path, imported) VALUES (?, ?)");
    if (!mark.ready() || !mark.bind(1, archivePath).bind(2, now).done()) return fail();
    if (sqlite3_changes(db_.handle()) == 0) return db_.run("COMMIT", error);  // taken in before
    // A work the library has a file of needs no archive line.
    Statement add(db_.handle(), "INSERT INTO files (key, complete, recorded) SELECT ?1, 1, ?2"
                                " WHERE NOT EXISTS (SELECT 1 FROM files WHERE key = ?1)");
    if (!add.ready()) return fail();
    for (const std::string& key : keys) {
        add.reset();
        if (!add.bind(1, key).bind(2, now).done()) return fail();
    }
    return db_.run("COMMIT", error);
}

}  // namespace zorvan
