#pragma once

#include "media_files/digest_worker.h"
#include "queue/download_queue.h"
#include "store/library_db.h"
#include "store/store_writer.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace zorvan {

// A download queue kept in the library database: taken up paused at the
// start, written row by row as works change (on the store writer's thread),
// and the files saved recorded in the library with their digests. Used on
// the queue's thread.
class KeptQueue {
public:
    using Clock = std::chrono::steady_clock;
    // Whether a paused work was paused by the user (it stays paused after a
    // restart) rather than by the queue.
    using PausedByUser = std::function<bool(const QueueItem&)>;
    // Told of each work taken up, with its saved row.
    using Restored = std::function<void(int id, const SavedWork& saved)>;

    explicit KeptQueue(DownloadQueue& queue, PausedByUser pausedByUser = {});
    ~KeptQueue();
    KeptQueue(const KeptQueue&) = delete;
    KeptQueue& operator=(const KeptQueue&) = delete;

    // Takes up the queue saved in the library at `dbPath` (paused: nothing
    // downloads without the user's word); from then on the library is
    // written off this thread and `written` hears of each write there.
    // Returns why the library could not be read (empty: it could).
    std::string restore(const std::string& dbPath, StoreWriter::Written written,
                        QueueOwner owner = QueueOwner::Window, const Restored& restored = {});

    // What the queue told its listener.
    void note(const QueueEvent& event);
    // Writes what changed when a save interval has passed, or at once when
    // the queue has come to rest.
    void saveWhenDue(Clock::time_point now);
    // Writes what changed now.
    void save();
    // Returns once everything saved is on the disk.
    void flush();

private:
    void renumber();

    DownloadQueue& queue_;
    PausedByUser pausedByUser_;
    std::unique_ptr<StoreWriter> writer_;  // the library database, written off this thread
    std::unique_ptr<DigestWorker> digests_;  // each saved file's digest, taken off this thread
    std::set<int> unsaved_;                // ids changed or removed since the last save
    std::set<int> running_;                // ids running: saved at every save, as their bytes move
    std::unordered_map<int, std::int64_t> positions_;  // id -> its row in the saved queue
    std::int64_t nextPosition_ = 0;        // rows are never reused: a new work goes last
    int savedNextId_ = 0;                  // the queue's next id as last written
    std::vector<std::int64_t> dropped_;    // rows of works renumbered, to delete with the next save
    Clock::time_point lastSave_{};
    std::vector<WorkFile> unrecorded_;     // files saved since the library was last written
};

// What a work's saved row keeps of its state, as data, never words: "" for
// a work that waits (or runs), "paused" for one the user paused,
// "failed:KIND" (unreachable, stalled, refused, bad-address, other) for
// one given up, and "done" or "skipped" for one finished (the history,
// until the user clears it). Rows of older versions hold sentences: they
// read as failed.
std::string keptNote(const QueueItem& item, bool pausedByUser);
inline constexpr const char* pausedNote = "paused";

}  // namespace zorvan
