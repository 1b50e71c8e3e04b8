#include "store/store_writer.h"

#include <ctime>

namespace zorvan {

StoreWriter::StoreWriter(std::unique_ptr<LibraryDb> db, Written written)
    : db_(std::move(db)), written_(std::move(written)), thread_([this](std::stop_token stop) { run(stop); }) {}

StoreWriter::~StoreWriter() {
    thread_.request_stop();  // it writes what waits before it ends
    changed_.notify_all();
}

void StoreWriter::write(std::optional<std::vector<SavedWork>> queue, std::vector<WorkFile> files) {
    {
        std::lock_guard hold(lock_);
        if (queue) queue_ = std::move(queue);
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
        std::optional<std::vector<SavedWork>> queue;
        std::vector<WorkFile> files;
        long taken = 0;
        {
            std::unique_lock hold(lock_);
            changed_.wait(hold, stop, [&] { return handedOver_ > done_; });
            if (handedOver_ == done_) return;  // asked to stop with nothing waiting
            queue.swap(queue_);
            files.swap(files_);
            taken = handedOver_;
        }
        std::string error;
        if (!files.empty() && !db_->recordFiles(files, std::time(nullptr), error) && written_) written_(error, false);
        std::string queueError;
        if (queue && !db_->saveQueue(*queue, queueError) && written_) written_(queueError, false);
        if (written_ && !files.empty() && error.empty()) written_({}, true);
        {
            std::lock_guard hold(lock_);
            done_ = taken;
        }
        changed_.notify_all();
    }
}

}  // namespace zorvan
