#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;

namespace zorvan {

// A work of the download queue as it is kept between runs of the program.
struct SavedWork {
    std::string title;
    std::string address;
    std::string path;      // UTF-8
    std::string failure;   // why it failed, when it did (UTF-8); empty: it was waiting or paused
    std::int64_t total = -1;
    std::int64_t done = 0;
};

// The program's library database: one SQLite file (WAL) the window and the
// command line share, with a schema version for later migrations. It holds
// the saved download queue. A file that is not ours, or is of a newer
// schema, is reported and never written.
class LibraryDb {
public:
    // Opens (or makes) the database at `path`; nothing, with `error`, when
    // it cannot be used.
    static std::unique_ptr<LibraryDb> open(const std::string& path, std::string& error);
    ~LibraryDb();
    LibraryDb(const LibraryDb&) = delete;
    LibraryDb& operator=(const LibraryDb&) = delete;

    // The saved queue, in its order.
    std::vector<SavedWork> loadQueue(std::string& error);
    // Replaces the saved queue in one transaction.
    bool saveQueue(const std::vector<SavedWork>& works, std::string& error);

    static constexpr int schemaVersion = 1;

private:
    explicit LibraryDb(sqlite3* db) : db_(db) {}
    bool run(const char* sql, std::string& error);
    sqlite3* db_;
};

// Where the library lives: $XDG_DATA_HOME/zorvan/library.db, else
// ~/.local/share/zorvan/library.db.
std::string libraryDbPath();

}  // namespace zorvan
