#include "download/part_checkpoint.h"

#include "download/target_file.h"

namespace zorvan {

namespace {
// How often write-back is started: often enough that the disk is busy from
// the first moments of a fast download, so it does not start only at the
// end (the kernel itself starts at a tenth of the memory being dirty).
constexpr auto writeBackInterval = std::chrono::milliseconds(20);
// Checkpoints for ranges that end closer together than this are merged.
constexpr auto shortestGap = std::chrono::milliseconds(100);
}  // namespace

PartCheckpoint::PartCheckpoint(TargetFile& file, PartRecord record, WrittenRanges written,
                               std::chrono::milliseconds interval)
    : file_(file),
      record_(std::move(record)),
      written_(std::move(written)),
      interval_(interval),
      recordPath_(recordPathOf(file.finalPath())) {}

PartCheckpoint::~PartCheckpoint() { stop(); }

void PartCheckpoint::start() { thread_ = std::thread([this] { run(); }); }

void PartCheckpoint::rangeEnded() {
    std::lock_guard hold(lock_);
    rangeEnded_ = true;
    wake_.notify_all();
}

void PartCheckpoint::stop() {
    {
        std::lock_guard hold(lock_);
        stopping_ = true;
        wake_.notify_all();
    }
    if (thread_.joinable()) thread_.join();
}

void PartCheckpoint::run() {
    using Clock = std::chrono::steady_clock;
    // The first record at once, so a part file is never long without one.
    saveNow();
    auto last = Clock::now();
    std::unique_lock hold(lock_);
    while (!stopping_) {
        wake_.wait_for(hold, file_.durable() ? writeBackInterval : interval_);
        if (stopping_) break;
        const auto now = Clock::now();
        const bool due = now - last >= interval_ || (rangeEnded_ && now - last >= shortestGap);
        if (due) rangeEnded_ = false;
        hold.unlock();
        if (file_.durable()) file_.startWriteBack();
        if (due) {
            saveNow();
            last = Clock::now();
        }
        hold.lock();
    }
}

bool PartCheckpoint::saveNow() {
    // Taken before the flush: only bytes written by now are claimed.
    std::vector<ByteRange> ranges = written_();
    {
        std::lock_guard hold(lock_);
        if (saved_ && ranges == record_.done) return true;
    }
    if (file_.durable() && !file_.syncData()) return false;
    PartRecord next;
    {
        std::lock_guard hold(lock_);
        next = record_;
    }
    next.done = std::move(ranges);
    if (!savePartRecord(recordPath_, next, file_.durable())) return false;
    std::lock_guard hold(lock_);
    record_ = std::move(next);
    saved_ = true;
    return true;
}

std::int64_t PartCheckpoint::savedBytes() const {
    std::lock_guard hold(lock_);
    return saved_ ? record_.doneBytes() : 0;
}

}  // namespace zorvan
