#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zorvan {

class Database;

// A work of the download queue as it is kept between runs of the program.
struct SavedWork {
    std::string title;
    std::string address;
    std::string path;      // UTF-8
    // Its state as data: empty (waiting), "paused", "failed:KIND", or, for
    // the history, "done" and "skipped".
    std::string failure;
    std::int64_t total = -1;
    std::int64_t done = 0;
    // Where it was listed (to find it again when its address expires).
    std::string service{};
    std::string performer{};
    int sequence = 0;
    std::string songName{};
    // Its place in the queue: rows are read back in this order.
    std::int64_t position = 0;
    std::string workId{};  // its own id on the service, when its listing gave one
    int itemId = 0;        // its id in the queue, the same across restarts; 0: none yet
    std::string savedPath{};     // finished: where it was saved (another name after a clash)
    std::int64_t finishedAt = 0; // finished: when (seconds since 1970)
};

// What changed in the queue since it was last written: rows to write
// (by position) and rows to forget.
struct QueueChanges {
    std::vector<SavedWork> written;
    std::vector<std::int64_t> removed;
    int nextItemId = 0;  // the next id the queue gives; 0: unchanged
    bool empty() const { return written.empty() && removed.empty() && nextItemId == 0; }
};

// Whose queue: the window's and the home server's may share one library,
// each keeping its own.
enum class QueueOwner { Window, Server };

// The saved download queue: written row by row as works change, so a
// queue of thousands costs what changed, not its length.
class QueueStore {
public:
    QueueStore(Database& db, QueueOwner owner) : db_(db), table_(owner == QueueOwner::Server ? "server_queue" : "queue") {}

    // The saved queue, in its order.
    std::vector<SavedWork> load(std::string& error);
    // The next id the queue gives (1 for a queue never saved): above every
    // id it ever gave, whether its work is still there or not.
    int nextItemId(std::string& error);
    // Writes and removes rows in one transaction.
    bool apply(const QueueChanges& changes, std::string& error);

private:
    Database& db_;
    std::string table_;
};

}  // namespace zorvan
