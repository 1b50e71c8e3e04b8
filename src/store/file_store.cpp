#include "store/file_store.h"

#include "store/database.h"
#include "store/statement.h"

namespace zorvan {

using store::Statement;

bool FileStore::record(const WorkFile& file, std::int64_t now, std::string& error) {
    Statement s(db_.handle(),
                "INSERT INTO files (key, path, size, complete, recorded, performer, sequence, song)"
                " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)"
                " ON CONFLICT (key) DO UPDATE SET path = ?2, size = ?3, complete = ?4, recorded = ?5, performer = ?6,"
                " sequence = ?7, song = ?8");
    if (s.ready() && s.bind(1, file.key).bind(2, file.path).bind(3, file.size).bind(4, file.complete).bind(5, now)
                         .bind(6, file.performer).bind(7, file.sequence).bind(8, file.songName).done())
        return true;
    error = db_.lastError();
    return false;
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
                "SELECT key, path, size, complete, performer, sequence, song FROM files ORDER BY recorded, rowid");
    if (!s.ready()) {
        error = db_.lastError();
        return files;
    }
    while (s.row())
        files.push_back({s.text(0), s.text(1), s.int64(2), s.integer(3) != 0, s.text(4), s.integer(5), s.text(6)});
    return files;
}

namespace {
constexpr const char* entryColumns = "SELECT rowid, key, path, size, complete, performer, sequence, song, recorded FROM files";

LibraryEntry entryOf(const Statement& s) {
    return {s.int64(0), {s.text(1), s.text(2), s.int64(3), s.integer(4) != 0, s.text(5), s.integer(6), s.text(7)},
            s.int64(8)};
}
}  // namespace

std::vector<LibraryEntry> FileStore::entries(std::string& error) {
    std::vector<LibraryEntry> entries;
    Statement s(db_.handle(),
                (std::string(entryColumns) + " WHERE complete = 1 AND path != '' ORDER BY recorded DESC, rowid DESC")
                    .c_str());
    if (!s.ready()) {
        error = db_.lastError();
        return entries;
    }
    while (s.row()) entries.push_back(entryOf(s));
    return entries;
}

std::optional<LibraryEntry> FileStore::entry(std::int64_t id, std::string& error) {
    Statement s(db_.handle(), (std::string(entryColumns) + " WHERE rowid = ? AND complete = 1 AND path != ''").c_str());
    if (!s.ready()) {
        error = db_.lastError();
        return std::nullopt;
    }
    if (!s.bind(1, id).row()) return std::nullopt;
    return entryOf(s);
}

bool FileStore::forget(std::int64_t id, std::string& error) {
    // Its file's poster note goes with it (nothing is left to be noted).
    Statement note(db_.handle(), "DELETE FROM poster_notes WHERE path = (SELECT path FROM files WHERE rowid = ?)");
    if (note.ready()) note.bind(1, id).done();
    Statement s(db_.handle(), "DELETE FROM files WHERE rowid = ?");
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
    Statement add(db_.handle(), "INSERT OR IGNORE INTO files (key, complete, recorded) VALUES (?, 1, ?)");
    if (!add.ready()) return fail();
    for (const std::string& key : keys) {
        add.reset();
        if (!add.bind(1, key).bind(2, now).done()) return fail();
    }
    return db_.run("COMMIT", error);
}

}  // namespace zorvan
