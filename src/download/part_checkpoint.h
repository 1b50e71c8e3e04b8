#pragma once

#include "download/part_record.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace zorvan {

class TargetFile;

// Keeps a part file's record true while its download runs. On a thread of
// its own, so no connection ever waits for the disk because of it: it
// starts the disk's write-back of what has arrived every few tens of
// milliseconds (so the final flush finds little left), and about once a
// checkpoint interval, and soon after a range ends, it waits for the bytes
// already written to be on the disk and only then records them as done.
// A record therefore never claims bytes the disk does not hold; a kill
// loses at most one interval of work.
class PartCheckpoint {
public:
    using WrittenRanges = std::function<std::vector<ByteRange>()>;

    // `record` names the address and the version of the file; its ranges
    // come from `written` at each checkpoint. The file must outlive this.
    PartCheckpoint(TargetFile& file, PartRecord record, WrittenRanges written, std::chrono::milliseconds interval);
    ~PartCheckpoint();
    PartCheckpoint(const PartCheckpoint&) = delete;
    PartCheckpoint& operator=(const PartCheckpoint&) = delete;

    void start();  // throws std::system_error when no thread can be made
    // A range is complete: record it soon.
    void rangeEnded();
    // Ends the thread (waiting for a checkpoint under way).
    void stop();
    // One checkpoint now, on the caller's thread; false when the record
    // could not be written (the last one written stays).
    bool saveNow();
    // The bytes the last record written holds.
    std::int64_t savedBytes() const;

private:
    void run();

    TargetFile& file_;
    PartRecord record_;
    const WrittenRanges written_;
    const std::chrono::milliseconds interval_;
    const std::string recordPath_;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    bool stopping_ = false;
    bool rangeEnded_ = false;
    bool saved_ = false;  // a record was written by this download
    std::thread thread_;
};

}  // namespace zorvan
