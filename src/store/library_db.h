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

// A performer the user follows.
struct FollowedPerformer {
    std::string id;
    std::int64_t added = 0;        // seconds since the epoch
    std::int64_t lastChecked = 0;  // 0: never
    std::string lastError;         // why the last check failed; empty: it did not
    int works = 0;                 // works seen and not gone
};

// A work as a performer's listing showed it.
struct SeenWork {
    int sequence = 0;
    std::string songName;  // UTF-8
    std::string address;
};

// The program's library database: one SQLite file (WAL) the window and the
// command line share, with a schema version and migrations. It holds the
// saved download queue, the performers followed and the works seen of
// them. A file that is not ours, or is of a newer schema, is reported and
// never written.
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

    // Following: false with `error` when the database could not be written.
    bool follow(const std::string& performer, std::int64_t now, std::string& error);
    // False when the performer was not followed (or on an error, with `error`).
    bool unfollow(const std::string& performer, std::string& error);
    std::vector<FollowedPerformer> following(std::string& error);
    // A check of a performer: its listing (when it succeeded, `error` empty)
    // recorded as seen at `now`; works no longer listed are marked gone
    // (never forgotten). Returns how many works were seen for the first
    // time, -1 when the database could not be written.
    int recordCheck(const std::string& performer, const std::vector<SeenWork>& listed, const std::string& failure,
                    std::int64_t now, std::string& error);

    static constexpr int schemaVersion = 2;

private:
    explicit LibraryDb(sqlite3* db) : db_(db) {}
    bool run(const char* sql, std::string& error);
    sqlite3* db_;
};

// Where the library lives: $XDG_DATA_HOME/zorvan/library.db, else
// ~/.local/share/zorvan/library.db.
std::string libraryDbPath();

}  // namespace zorvan
