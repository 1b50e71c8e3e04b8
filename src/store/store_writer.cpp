#include "store/store_writer.h"

#include <ctime>
#include <utility>

namespace zorvan {

StoreWriter::StoreWriter(std::unique_ptr<LibraryDb> db, Written written)
    : db_(std::move(db)), written_(std::move(written)), thread_([this](std::stop_token stop) { run(stop); }) {}

StoreWriter::~StoreWriter() {
    thread_.request_stop();  // it writes what waits before it ends
    changed_.notify_all();
}

void StoreWriter::write(QueueChanges queue, std::vector<WorkFile> files) {
    {
        std::lock_guard hold(lock_);
        // A row written again replaces its earlier version; a row removed
        // is not written.
        for (std::int64_t position : queue.removed) {
            rowsToWrite_.erase(position);
            rowsToRemove_.push_back(position);
        }
        for (SavedWork& work : queue.written) rowsToWrite_[work.position] = std::move(work);
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
        QueueChanges queue;
        std::vector<WorkFile> files;
        long taken = 0;
        {
            std::unique_lock hold(lock_);
            changed_.wait(hold, stop, [&] { return handedOver_ > done_; });
            if (handedOver_ == done_) return;  // asked to stop with nothing waiting
            for (auto& [position, work] : rowsToWrite_) queue.written.push_back(std::move(work));
            rowsToWrite_.clear();
            queue.removed.swap(rowsToRemove_);
            files.swap(files_);
            taken = handedOver_;
        }
        std::string error;
        if (!files.empty() && !db_->files().record(files, std::time(nullptr), error) && written_)
            written_(error, false);
        std::string queueError;
        if (!db_->queue().apply(queue, queueError) && written_) written_(queueError, false);
        if (written_ && !files.empty() && error.empty()) written_({}, true);
        {
            std::lock_guard hold(lock_);
            done_ = taken;
        }
        changed_.notify_all();
    }
}

}  // namespace zorvan
