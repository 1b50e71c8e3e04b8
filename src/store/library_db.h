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
    // Where it was listed (to find it again when its address expires).
    std::string service{};
    std::string performer{};
    int sequence = 0;
    std::string songName{};
};

// A performer the user follows.
struct FollowedPerformer {
    std::string id;
    std::int64_t added = 0;        // seconds since the epoch
    std::int64_t lastChecked = 0;  // 0: never
    std::string lastError;         // why the last check failed; empty: it did not
    int works = 0;                 // works seen and not gone
    int newWorks = 0;              // of them, those listed after the first check and not yet in a file
};

// A work as a performer's listing showed it.
struct SeenWork {
    int sequence = 0;
    std::string songName;  // UTF-8
    std::string address;
    std::string key;       // the work's address without scheme, host and port (workKey)
};

// A work's file as a download left it.
struct WorkFile {
    std::string key;       // the work's key (workKey of its address)
    std::string path;      // UTF-8; empty when only an archive line told of it
    std::int64_t size = -1;
    bool complete = false;
    // The work as its performer's listing names it, when known: a work
    // whose address moved is still the same work.
    std::string performer{};
    int sequence = 0;
    std::string songName{};
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
    // The performer's new works: listed after its first good check, not
    // gone, and without a complete file. In their listed order.
    std::vector<SeenWork> newWorks(const std::string& performer, std::string& error);

    // Files: what downloads left, by work key. A complete file ends a
    // work's being new.
    bool recordFile(const WorkFile& file, std::int64_t now, std::string& error);
    // The same for several, in one transaction (one write to the disk).
    bool recordFiles(const std::vector<WorkFile>& files, std::int64_t now, std::string& error);
    // Every file recorded, oldest first.
    std::vector<WorkFile> files(std::string& error);
    // The text archive of a folder, taken in once: its lines become
    // complete files (keys only). False with `error` when the database
    // could not be written; an archive taken in before is left alone.
    bool importArchive(const std::string& archivePath, const std::vector<std::string>& keys, std::int64_t now,
                       std::string& error);

    static constexpr int schemaVersion = 3;

private:
    explicit LibraryDb(sqlite3* db) : db_(db) {}
    bool run(const char* sql, std::string& error);
    bool markSeen(const std::string& performer, const std::vector<SeenWork>& listed, bool fresh, std::int64_t now);
    sqlite3* db_;
};

// Where the library lives: $XDG_DATA_HOME/zorvan/library.db, else
// ~/.local/share/zorvan/library.db.
std::string libraryDbPath();

}  // namespace zorvan
