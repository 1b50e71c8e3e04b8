#include "store/database.h"

#include "store/statement.h"

#include <chrono>
#include <filesystem>
#include <thread>

namespace zorvan {

namespace {

// What PRAGMA application_id holds in a database of ours ("ZRVN").
constexpr int applicationId = 0x5A52564E;

int intPragma(sqlite3* db, const char* sql, bool& ok) {
    store::Statement s(db, sql);
    ok = s.row();
    return ok ? s.integer(0) : 0;
}

// Migrations, oldest first; each runs once, in one transaction with the
// version it brings the file to.
const char* const migrations[Database::schemaVersion] = {
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
    // 4: the home server's queue, beside the window's.
    "CREATE TABLE server_queue (position INTEGER PRIMARY KEY, title TEXT NOT NULL, address TEXT NOT NULL,"
    " path TEXT NOT NULL, failure TEXT NOT NULL DEFAULT '', total INTEGER NOT NULL DEFAULT -1,"
    " done INTEGER NOT NULL DEFAULT 0, service TEXT NOT NULL DEFAULT '', performer TEXT NOT NULL DEFAULT '',"
    " sequence INTEGER NOT NULL DEFAULT 0, song TEXT NOT NULL DEFAULT '');",
    // 5: why a video got no poster.
    "CREATE TABLE poster_notes (path TEXT PRIMARY KEY, size INTEGER NOT NULL, modified INTEGER NOT NULL,"
    " note TEXT NOT NULL, noted INTEGER NOT NULL);",
    // 6: a row per file, not per address (one address saved twice is two
    // files, and neither rewrites the other), with the work's own id and
    // address; rows keep their numbers, which name them to clients. Of two
    // rows of one path the later stands. And each saved file's digest.
    "CREATE TABLE files_by_file (id INTEGER PRIMARY KEY, key TEXT NOT NULL, path TEXT NOT NULL DEFAULT '',"
    " size INTEGER NOT NULL DEFAULT -1, complete INTEGER NOT NULL DEFAULT 0, recorded INTEGER NOT NULL,"
    " performer TEXT NOT NULL DEFAULT '', sequence INTEGER NOT NULL DEFAULT 0, song TEXT NOT NULL DEFAULT '',"
    " work_id TEXT NOT NULL DEFAULT '', address TEXT NOT NULL DEFAULT '');"
    "INSERT INTO files_by_file (id, key, path, size, complete, recorded, performer, sequence, song)"
    " SELECT rowid, key, path, size, complete, recorded, performer, sequence, song FROM files f"
    " WHERE f.path = '' OR f.rowid = (SELECT g.rowid FROM files g WHERE g.path = f.path"
    " ORDER BY g.recorded DESC, g.rowid DESC LIMIT 1);"
    "DROP TABLE files;"
    "ALTER TABLE files_by_file RENAME TO files;"
    "CREATE UNIQUE INDEX files_by_path ON files (path) WHERE path != '';"
    "CREATE UNIQUE INDEX files_of_archives ON files (key) WHERE path = '';"
    "CREATE INDEX files_by_key ON files (key);"
    "CREATE INDEX files_by_work ON files (performer, work_id);"
    "CREATE TABLE digests (path TEXT PRIMARY KEY, size INTEGER NOT NULL, modified INTEGER NOT NULL,"
    " sha256 TEXT NOT NULL, taken INTEGER NOT NULL, checked INTEGER NOT NULL DEFAULT 0,"
    " damaged INTEGER NOT NULL DEFAULT 0);"
    "ALTER TABLE queue ADD COLUMN work_id TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE server_queue ADD COLUMN work_id TEXT NOT NULL DEFAULT '';"
    // A work seen is known by who it is (its id, else its address), not by
    // its place and name: a list that grows at its top moves every place.
    "CREATE TABLE works_seen_by_work (performer TEXT NOT NULL, work TEXT NOT NULL, sequence INTEGER NOT NULL,"
    " song TEXT NOT NULL, address TEXT NOT NULL, first_seen INTEGER NOT NULL, last_seen INTEGER NOT NULL,"
    " gone INTEGER NOT NULL DEFAULT 0, fresh INTEGER NOT NULL DEFAULT 0, key TEXT NOT NULL DEFAULT '',"
    " work_id TEXT NOT NULL DEFAULT '', repeat INTEGER NOT NULL DEFAULT 1, PRIMARY KEY (performer, work));"
    "INSERT OR IGNORE INTO works_seen_by_work (performer, work, sequence, song, address, first_seen, last_seen, gone,"
    " fresh, key) SELECT performer, CASE WHEN key != '' THEN 'key:' || key ELSE 'at:' || sequence || ':' || song END,"
    " sequence, song, address, first_seen, last_seen, gone, fresh, key FROM works_seen;"
    "DROP TABLE works_seen;"
    "ALTER TABLE works_seen_by_work RENAME TO works_seen;",
    // 7: a queued work's id lasts: kept with its row, and the next one to
    // give kept per queue, so an id once given never names another work.
    "ALTER TABLE queue ADD COLUMN item_id INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE server_queue ADD COLUMN item_id INTEGER NOT NULL DEFAULT 0;"
    "CREATE TABLE queue_ids (queue TEXT PRIMARY KEY, next INTEGER NOT NULL);",
    // 8: finished works stay as the queue's history: where each was saved
    // and when it finished.
    "ALTER TABLE queue ADD COLUMN saved_path TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE queue ADD COLUMN finished_at INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE server_queue ADD COLUMN saved_path TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE server_queue ADD COLUMN finished_at INTEGER NOT NULL DEFAULT 0;",
};

// The file is Zorvan's library (or empty) and not newer than this program;
// `version` is its schema.
bool isOurs(sqlite3* db, const std::string& path, int& version, std::string& error) {
    bool ok = false;
    const int app = intPragma(db, "PRAGMA application_id", ok);
    if (!ok) {
        error = path + " is not a database Zorvan can read: " + sqlite3_errmsg(db);
        return false;
    }
    version = intPragma(db, "PRAGMA user_version", ok);
    const int tables = intPragma(db, "SELECT count(*) FROM sqlite_master", ok);
    if (app != applicationId && (app != 0 || tables > 0)) {
        error = path + " belongs to another program; Zorvan leaves it alone";
        return false;
    }
    if (version > Database::schemaVersion) {
        error = path + " was written by a newer Zorvan (schema " + std::to_string(version) + ")";
        return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<Database> Database::open(const std::string& path, std::string& error) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    sqlite3* raw = nullptr;
    if (sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        error = "cannot open " + path + ": " + (raw ? sqlite3_errmsg(raw) : "out of memory");
        sqlite3_close(raw);
        return nullptr;
    }
    std::unique_ptr<Database> db(new Database(raw));
    sqlite3_busy_timeout(raw, 5000);  // the window and the command line may meet here
    // A library others open at the same moment may be locked in ways the
    // busy wait does not cover (one turning it to WAL while another reads
    // it): such a refusal is tried again, for a few seconds.
    const auto giveUpAt = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        bool busy = false;
        if (db->prepare(path, error, busy)) return db;
        if (!busy || std::chrono::steady_clock::now() >= giveUpAt) return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool Database::prepare(const std::string& path, std::string& error, bool& busy) {
    int version = 0;
    // Read as one snapshot: a library another opener is making at this
    // moment is either not there yet or whole, never half-made.
    if (!run("BEGIN", error, busy)) return false;
    const bool ours = isOurs(db_, path, version, error);
    rollback();
    if (!ours || !run("PRAGMA journal_mode=WAL", error, busy)) return false;
    // Each step is taken under the write lock, and the schema read again
    // there: another program (or thread) that opened the library at the
    // same moment may have taken it first.
    while (version < schemaVersion) {
        if (!run("BEGIN IMMEDIATE", error, busy)) return false;
        bool ok = false;
        const int now = intPragma(db_, "PRAGMA user_version", ok);
        if (ok && now > version) {
            rollback();
            version = now;
            continue;
        }
        const std::string sql =
            std::string(migrations[version]) + "PRAGMA user_version = " + std::to_string(version + 1) + ";COMMIT;";
        if (!run(sql.c_str(), error, busy)) {
            rollback();
            return false;
        }
        ++version;
    }
    return true;
}

Database::~Database() { sqlite3_close(db_); }

bool Database::run(const char* sql, std::string& error) {
    bool busy = false;
    return run(sql, error, busy);
}

bool Database::run(const char* sql, std::string& error, bool& busy) {
    char* message = nullptr;
    const int code = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
    if (code == SQLITE_OK) return true;
    busy = (code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED;
    error = message ? message : lastError();
    sqlite3_free(message);
    return false;
}

void Database::rollback() {
    std::string ignored;
    run("ROLLBACK", ignored);
}

std::string Database::lastError() const { return sqlite3_errmsg(db_); }

}  // namespace zorvan
