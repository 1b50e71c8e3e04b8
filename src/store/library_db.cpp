#include "store/library_db.h"

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>

namespace zorvan {

namespace {

// What PRAGMA application_id holds in a database of ours ("ZRVN").
constexpr int applicationId = 0x5A52564E;

std::string messageOf(sqlite3* db) { return sqlite3_errmsg(db); }

// One statement, finalized however it ends.
struct Statement {
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &handle, nullptr); }
    ~Statement() { sqlite3_finalize(handle); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* handle = nullptr;
};

int intPragma(sqlite3* db, const char* sql, bool& ok) {
    Statement s(db, sql);
    ok = s.handle && sqlite3_step(s.handle) == SQLITE_ROW;
    return ok ? sqlite3_column_int(s.handle, 0) : 0;
}

// A work listed after the first good check, still listed, and not yet in
// a complete file (as `w`, a row of works_seen).
#define NEW_WORK                                                                                      \
    "w.fresh = 1 AND w.gone = 0 AND NOT EXISTS (SELECT 1 FROM files x WHERE x.complete = 1 AND"       \
    " (x.key = w.key OR (x.performer = w.performer AND x.sequence = w.sequence AND x.song = w.song)))"

std::string text(sqlite3_stmt* s, int column) {
    const unsigned char* value = sqlite3_column_text(s, column);
    return value ? reinterpret_cast<const char*>(value) : "";
}

}  // namespace

std::string libraryDbPath() {
    const char* data = std::getenv("XDG_DATA_HOME");
    std::string folder;
    if (data && data[0] == '/') folder = data;
    else if (const char* home = std::getenv("HOME"); home && home[0]) folder = std::string(home) + "/.local/share";
    else folder = ".";
    return folder + "/zorvan/library.db";
}

namespace {

// Migrations, oldest first; each runs once, in one transaction with the
// version it brings the file to.
const char* const migrations[LibraryDb::schemaVersion] = {
    // 1: the saved queue.
    "CREATE TABLE queue (position INTEGER PRIMARY KEY, title TEXT NOT NULL, address TEXT NOT NULL,"
    " path TEXT NOT NULL, failure TEXT NOT NULL DEFAULT '', total INTEGER NOT NULL DEFAULT -1,"
    " done INTEGER NOT NULL DEFAULT 0);"
    "PRAGMA application_id = 1515345486;",
    // 2: followed performers and the works seen of them.
    "CREATE TABLE followed (performer TEXT PRIMARY KEY, added INTEGER NOT NULL,"
    " last_checked INTEGER NOT NULL DEFAULT 0, last_error TEXT NOT NULL DEFAULT '');"
    "CREATE TABLE works_seen (performer TEXT NOT NULL, sequence INTEGER NOT NULL, song TEXT NOT NULL,"
    " address TEXT NOT NULL, first_seen INTEGER NOT NULL, last_seen INTEGER NOT NULL,"
    " gone INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (performer, song, sequence));",
    // 3: files, which works are new since the first check, the text
    // archives taken in, and where each queued work was listed.
    "ALTER TABLE followed ADD COLUMN listed INTEGER NOT NULL DEFAULT 0;"
    "UPDATE followed SET listed = 1 WHERE performer IN (SELECT performer FROM works_seen);"
    "ALTER TABLE works_seen ADD COLUMN fresh INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE works_seen ADD COLUMN key TEXT NOT NULL DEFAULT '';"
    "CREATE TABLE files (key TEXT PRIMARY KEY, path TEXT NOT NULL DEFAULT '',"
    " size INTEGER NOT NULL DEFAULT -1, complete INTEGER NOT NULL DEFAULT 0, recorded INTEGER NOT NULL,"
    " performer TEXT NOT NULL DEFAULT '', sequence INTEGER NOT NULL DEFAULT 0, song TEXT NOT NULL DEFAULT '');"
    "CREATE INDEX files_by_work ON files (performer, sequence, song);"
    "CREATE TABLE archives_imported (path TEXT PRIMARY KEY, imported INTEGER NOT NULL);"
    "ALTER TABLE queue ADD COLUMN service TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE queue ADD COLUMN performer TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE queue ADD COLUMN sequence INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE queue ADD COLUMN song TEXT NOT NULL DEFAULT '';",
};

// The file is Zorvan's library (or empty) and not newer than this program;
// `version` is its schema.
bool isOurs(sqlite3* db, const std::string& path, int& version, std::string& error) {
    bool ok = false;
    const int app = intPragma(db, "PRAGMA application_id", ok);
    if (!ok) {
        error = path + " is not a database Zorvan can read: " + messageOf(db);
        return false;
    }
    version = intPragma(db, "PRAGMA user_version", ok);
    const int tables = intPragma(db, "SELECT count(*) FROM sqlite_master", ok);
    if (app != applicationId && (app != 0 || tables > 0)) {
        error = path + " belongs to another program; Zorvan leaves it alone";
        return false;
    }
    if (version > LibraryDb::schemaVersion) {
        error = path + " was written by a newer Zorvan (schema " + std::to_string(version) + ")";
        return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<LibraryDb> LibraryDb::open(const std::string& path, std::string& error) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    sqlite3* raw = nullptr;
    if (sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        error = "cannot open " + path + ": " + (raw ? messageOf(raw) : std::string("out of memory"));
        sqlite3_close(raw);
        return nullptr;
    }
    std::unique_ptr<LibraryDb> db(new LibraryDb(raw));
    sqlite3_busy_timeout(raw, 5000);  // the window and the command line may meet here
    int version = 0;
    if (!isOurs(raw, path, version, error) || !db->run("PRAGMA journal_mode=WAL", error)) return nullptr;
    for (int from = version; from < schemaVersion; ++from) {
        const std::string sql = std::string("BEGIN IMMEDIATE;") + migrations[from] +
                                "PRAGMA user_version = " + std::to_string(from + 1) + ";COMMIT;";
        if (!db->run(sql.c_str(), error)) {
            std::string ignored;  // the migration's error is the one to tell
            db->run("ROLLBACK", ignored);
            return nullptr;
        }
    }
    return db;
}

LibraryDb::~LibraryDb() { sqlite3_close(db_); }

bool LibraryDb::run(const char* sql, std::string& error) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
    error = message ? message : messageOf(db_);
    sqlite3_free(message);
    return false;
}

std::vector<SavedWork> LibraryDb::loadQueue(std::string& error) {
    std::vector<SavedWork> works;
    Statement s(db_,
                "SELECT title, address, path, failure, total, done, service, performer, sequence, song FROM queue"
                " ORDER BY position");
    if (!s.handle) {
        error = messageOf(db_);
        return works;
    }
    while (sqlite3_step(s.handle) == SQLITE_ROW) {
        works.push_back({text(s.handle, 0), text(s.handle, 1), text(s.handle, 2), text(s.handle, 3),
                         sqlite3_column_int64(s.handle, 4), sqlite3_column_int64(s.handle, 5), text(s.handle, 6),
                         text(s.handle, 7), sqlite3_column_int(s.handle, 8), text(s.handle, 9)});
    }
    return works;
}

bool LibraryDb::saveQueue(const std::vector<SavedWork>& works, std::string& error) {
    if (!run("BEGIN IMMEDIATE; DELETE FROM queue;", error)) {
        std::string ignored;
        run("ROLLBACK", ignored);
        return false;
    }
    Statement s(db_,
                "INSERT INTO queue (position, title, address, path, failure, total, done, service, performer, sequence,"
                " song) VALUES (?,?,?,?,?,?,?,?,?,?,?)");
    bool ok = s.handle != nullptr;
    for (std::size_t i = 0; ok && i < works.size(); ++i) {
        const SavedWork& w = works[i];
        sqlite3_reset(s.handle);
        sqlite3_bind_int64(s.handle, 1, static_cast<sqlite3_int64>(i));
        sqlite3_bind_text(s.handle, 2, w.title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(s.handle, 3, w.address.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(s.handle, 4, w.path.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(s.handle, 5, w.failure.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(s.handle, 6, w.total);
        sqlite3_bind_int64(s.handle, 7, w.done);
        sqlite3_bind_text(s.handle, 8, w.service.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(s.handle, 9, w.performer.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(s.handle, 10, w.sequence);
        sqlite3_bind_text(s.handle, 11, w.songName.c_str(), -1, SQLITE_TRANSIENT);
        ok = sqlite3_step(s.handle) == SQLITE_DONE;
    }
    if (!ok) {
        error = messageOf(db_);
        std::string ignored;
        run("ROLLBACK", ignored);
        return false;
    }
    return run("COMMIT", error);
}

bool LibraryDb::follow(const std::string& performer, std::int64_t now, std::string& error) {
    Statement s(db_, "INSERT OR IGNORE INTO followed (performer, added) VALUES (?, ?)");
    sqlite3_bind_text(s.handle, 1, performer.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(s.handle, 2, now);
    if (s.handle && sqlite3_step(s.handle) == SQLITE_DONE) return true;
    error = messageOf(db_);
    return false;
}

bool LibraryDb::unfollow(const std::string& performer, std::string& error) {
    Statement s(db_, "DELETE FROM followed WHERE performer = ?");
    sqlite3_bind_text(s.handle, 1, performer.c_str(), -1, SQLITE_TRANSIENT);
    if (!s.handle || sqlite3_step(s.handle) != SQLITE_DONE) {
        error = messageOf(db_);
        return false;
    }
    return sqlite3_changes(db_) > 0;
}

std::vector<FollowedPerformer> LibraryDb::following(std::string& error) {
    std::vector<FollowedPerformer> list;
    Statement s(db_,
                "SELECT f.performer, f.added, f.last_checked, f.last_error,"
                " (SELECT count(*) FROM works_seen w WHERE w.performer = f.performer AND w.gone = 0),"
                " (SELECT count(*) FROM works_seen w WHERE w.performer = f.performer AND " NEW_WORK ")"
                " FROM followed f ORDER BY f.added, f.performer");
    if (!s.handle) {
        error = messageOf(db_);
        return list;
    }
    while (sqlite3_step(s.handle) == SQLITE_ROW)
        list.push_back({text(s.handle, 0), sqlite3_column_int64(s.handle, 1), sqlite3_column_int64(s.handle, 2),
                        text(s.handle, 3), sqlite3_column_int(s.handle, 4), sqlite3_column_int(s.handle, 5)});
    return list;
}

// What a good check listed is seen now, and everything else gone.
bool LibraryDb::markSeen(const std::string& performer, const std::vector<SeenWork>& listed, bool fresh,
                         std::int64_t now) {
    Statement gone(db_, "UPDATE works_seen SET gone = 1 WHERE performer = ?");
    sqlite3_bind_text(gone.handle, 1, performer.c_str(), -1, SQLITE_TRANSIENT);
    if (!gone.handle || sqlite3_step(gone.handle) != SQLITE_DONE) return false;
    Statement seen(db_,
                   "INSERT INTO works_seen (performer, sequence, song, address, first_seen, last_seen, gone, fresh, key)"
                   " VALUES (?1, ?2, ?3, ?4, ?5, ?5, 0, ?6, ?7)"
                   " ON CONFLICT (performer, song, sequence) DO UPDATE SET address = ?4, last_seen = ?5, gone = 0,"
                   " key = ?7");
    for (const SeenWork& work : listed) {
        sqlite3_reset(seen.handle);
        sqlite3_bind_text(seen.handle, 1, performer.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(seen.handle, 2, work.sequence);
        sqlite3_bind_text(seen.handle, 3, work.songName.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(seen.handle, 4, work.address.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(seen.handle, 5, now);
        sqlite3_bind_int(seen.handle, 6, fresh ? 1 : 0);
        sqlite3_bind_text(seen.handle, 7, work.key.c_str(), -1, SQLITE_TRANSIENT);
        if (!seen.handle || sqlite3_step(seen.handle) != SQLITE_DONE) return false;
    }
    return true;
}

int LibraryDb::recordCheck(const std::string& performer, const std::vector<SeenWork>& listed,
                           const std::string& failure, std::int64_t now, std::string& error) {
    std::string ignored;
    if (!run("BEGIN IMMEDIATE", error)) return -1;
    const auto fail = [&] {
        error = messageOf(db_);
        run("ROLLBACK", ignored);
        return -1;
    };
    // Works are new only after a first good check: what it finds is where
    // following began.
    bool listedBefore = false;
    {
        Statement s(db_, "SELECT listed FROM followed WHERE performer = ?");
        sqlite3_bind_text(s.handle, 1, performer.c_str(), -1, SQLITE_TRANSIENT);
        if (!s.handle) return fail();
        listedBefore = sqlite3_step(s.handle) == SQLITE_ROW && sqlite3_column_int(s.handle, 0) != 0;
    }
    {
        Statement s(db_,
                    "UPDATE followed SET last_checked = ?1, last_error = ?2,"
                    " listed = listed OR ?2 = '' WHERE performer = ?3");
        sqlite3_bind_int64(s.handle, 1, now);
        sqlite3_bind_text(s.handle, 2, failure.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(s.handle, 3, performer.c_str(), -1, SQLITE_TRANSIENT);
        if (!s.handle || sqlite3_step(s.handle) != SQLITE_DONE) return fail();
    }
    int added = 0;
    const auto known = [&]() -> int {
        Statement count(db_, "SELECT count(*) FROM works_seen WHERE performer = ?");
        sqlite3_bind_text(count.handle, 1, performer.c_str(), -1, SQLITE_TRANSIENT);
        return count.handle && sqlite3_step(count.handle) == SQLITE_ROW ? sqlite3_column_int(count.handle, 0) : -1;
    };
    // A failed check says nothing of what the service holds: nothing is gone.
    if (failure.empty()) {
        const int before = known();
        if (before < 0) return fail();
        if (!markSeen(performer, listed, listedBefore, now)) return fail();
        const int after = known();
        if (after < 0) return fail();
        added = after - before;
    }
    return run("COMMIT", error) ? added : -1;
}

std::vector<SeenWork> LibraryDb::newWorks(const std::string& performer, std::string& error) {
    std::vector<SeenWork> works;
    Statement s(db_, "SELECT w.sequence, w.song, w.address, w.key FROM works_seen w WHERE w.performer = ? AND " NEW_WORK
                     " ORDER BY w.sequence");
    if (!s.handle) {
        error = messageOf(db_);
        return works;
    }
    sqlite3_bind_text(s.handle, 1, performer.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(s.handle) == SQLITE_ROW)
        works.push_back({sqlite3_column_int(s.handle, 0), text(s.handle, 1), text(s.handle, 2), text(s.handle, 3)});
    return works;
}

bool LibraryDb::recordFile(const WorkFile& file, std::int64_t now, std::string& error) {
    Statement s(db_,
                "INSERT INTO files (key, path, size, complete, recorded, performer, sequence, song)"
                " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)"
                " ON CONFLICT (key) DO UPDATE SET path = ?2, size = ?3, complete = ?4, recorded = ?5, performer = ?6,"
                " sequence = ?7, song = ?8");
    sqlite3_bind_text(s.handle, 1, file.key.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(s.handle, 2, file.path.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(s.handle, 3, file.size);
    sqlite3_bind_int(s.handle, 4, file.complete ? 1 : 0);
    sqlite3_bind_int64(s.handle, 5, now);
    sqlite3_bind_text(s.handle, 6, file.performer.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(s.handle, 7, file.sequence);
    sqlite3_bind_text(s.handle, 8, file.songName.c_str(), -1, SQLITE_TRANSIENT);
    if (s.handle && sqlite3_step(s.handle) == SQLITE_DONE) return true;
    error = messageOf(db_);
    return false;
}

bool LibraryDb::recordFiles(const std::vector<WorkFile>& files, std::int64_t now, std::string& error) {
    if (files.empty()) return true;
    if (!run("BEGIN IMMEDIATE", error)) return false;
    for (const WorkFile& file : files) {
        if (!recordFile(file, now, error)) {
            std::string ignored;  // the insert's error is the one to tell
            run("ROLLBACK", ignored);
            return false;
        }
    }
    return run("COMMIT", error);
}

std::vector<WorkFile> LibraryDb::files(std::string& error) {
    std::vector<WorkFile> files;
    Statement s(db_, "SELECT key, path, size, complete, performer, sequence, song FROM files ORDER BY recorded, rowid");
    if (!s.handle) {
        error = messageOf(db_);
        return files;
    }
    while (sqlite3_step(s.handle) == SQLITE_ROW)
        files.push_back({text(s.handle, 0), text(s.handle, 1), sqlite3_column_int64(s.handle, 2),
                         sqlite3_column_int(s.handle, 3) != 0, text(s.handle, 4), sqlite3_column_int(s.handle, 5),
                         text(s.handle, 6)});
    return files;
}

bool LibraryDb::importArchive(const std::string& archivePath, const std::vector<std::string>& keys, std::int64_t now,
                              std::string& error) {
    std::string ignored;
    if (!run("BEGIN IMMEDIATE", error)) return false;
    const auto fail = [&] {
        error = messageOf(db_);
        run("ROLLBACK", ignored);
        return false;
    };
    Statement mark(db_, "INSERT OR IGNORE INTO archives_imported (path, imported) VALUES (?, ?)");
    sqlite3_bind_text(mark.handle, 1, archivePath.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(mark.handle, 2, now);
    if (!mark.handle || sqlite3_step(mark.handle) != SQLITE_DONE) return fail();
    if (sqlite3_changes(db_) == 0) return run("COMMIT", error);  // taken in before
    Statement add(db_, "INSERT OR IGNORE INTO files (key, complete, recorded) VALUES (?, 1, ?)");
    for (const std::string& key : keys) {
        sqlite3_reset(add.handle);
        sqlite3_bind_text(add.handle, 1, key.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(add.handle, 2, now);
        if (!add.handle || sqlite3_step(add.handle) != SQLITE_DONE) return fail();
    }
    return run("COMMIT", error);
}

}  // namespace zorvan
