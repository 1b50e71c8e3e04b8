#pragma once

#include <memory>
#include <string>

struct sqlite3;

namespace zorvan {

// The program's library database file: SQLite in WAL mode, shared by the
// window and the command line, with a schema version and migrations. A
// file that is not ours, or is of a newer schema, is reported and never
// written. The stores (queue, following, files) each work on a part of it.
class Database {
public:
    // Opens (or makes) the file at `path` and brings its schema up to date;
    // nothing, with `error`, when it cannot be used.
    static std::unique_ptr<Database> open(const std::string& path, std::string& error);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Runs statements without results; false with SQLite's words in `error`.
    bool run(const char* sql, std::string& error);
    // Ends a transaction that failed: the first error is the one to tell.
    void rollback();
    // SQLite's words for the last failure.
    std::string lastError() const;
    sqlite3* handle() const { return db_; }

    static constexpr int schemaVersion = 8;

private:
    explicit Database(sqlite3* db) : db_(db) {}
    // Checks the file is ours, turns it to WAL and brings its schema up to
    // date; `busy` when another connection's lock refused it.
    bool prepare(const std::string& path, std::string& error, bool& busy);
    bool run(const char* sql, std::string& error, bool& busy);
    sqlite3* db_;
};

}  // namespace zorvan
