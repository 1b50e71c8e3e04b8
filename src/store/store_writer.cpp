#include "store/store_writer.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <utility>

namespace zorvan {

StoreWriter::StoreWriter(std::unique_ptr<LibraryDb> db, Written written, QueueOwner owner)
    : db_(std::move(db)), written_(std::move(written)), owner_(owner), thread_([this](std::stop_token stop) { run(stop); }) {}

StoreWriter::~StoreWriter() {
    thread_.request_stop();  // it writes what waits before it ends
    changed_.notify_all();
}

namespace {

// Batches of changes as one, in their order: a row written again is
// written in its latest version only; a row removed is not written.
QueueChanges merged(std::vector<QueueChanges> batches) {
    std::map<std::int64_t, SavedWork> rows;  // by position
    QueueChanges changes;
    for (QueueChanges& batch : batches) {
        for (std::int64_t position : batch.removed) {
            rows.erase(position);
            changes.removed.push_back(position);
        }
        for (SavedWork& work : batch.written) rows[work.position] = std::move(work);
        changes.nextItemId = std::max(changes.nextItemId, batch.nextItemId);
    }
    for (auto& [position, work] : rows) changes.written.push_back(std::move(work));
    return changes;
}

}  // namespace

void StoreWriter::write(QueueChanges queue, std::vector<WorkFile> files) {
    {
        std::lock_guard hold(lock_);
        if (!queue.empty()) queue_.push_back(std::move(queue));  // merged on the writer's thread
        files_.insert(files_.end(), std::make_move_iterator(files.begin()), std::make_move_iterator(files.end()));
        ++handedOver_;
    }
    changed_.notify_all();
}

void StoreWriter::flush() {
    std::unique_lock hold(lock_);
    const long wanted = handedOver_;
    changed_.wait(hold, [&] { return done_ >= wanted; });
}

void StoreWriter::run(std::stop_token stop) {
    for (;;) {
        std::vector<QueueChanges> batches;
        std::vector<WorkFile> files;
        long taken = 0;
        {
            std::unique_lock hold(lock_);
            changed_.wait(hold, stop, [&] { return handedOver_ > done_; });
            if (handedOver_ == done_) return;  // asked to stop with nothing waiting
            batches.swap(queue_);
            files.swap(files_);
            taken = handedOver_;
        }
        std::string error;
        if (!files.empty() && !db_->files().record(files, std::time(nullptr), error) && written_)
            written_(error, false);
        const QueueChanges queue = merged(std::move(batches));
        std::string queueError;
        if (!db_->queue(owner_).apply(queue, queueError) && written_) written_(queueError, false);
        if (written_ && !files.empty() && error.empty()) written_({}, true);
        {
            std::lock_guard hold(lock_);
            done_ = taken;
        }
        changed_.notify_all();
    }
}

}  // namespace zorvan
