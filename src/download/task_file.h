#pragma once

#include "download/part_checkpoint.h"
#include "download/part_record.h"
#include "download/segment_table.h"
#include "download/target_file.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace zorvan {

struct Resumption;
struct Task;

// The file a task writes, how its bytes are shared among the connections,
// and the record a part file keeps. Set up once, by the first connection
// before any other starts, either afresh when the first answer names the
// size or from bytes a download left; every connection then only moves
// bytes into it. Released by the task thread after every connection ends.
struct TaskFile {
    SegmentTable segments;
    std::unique_ptr<TargetFile> file;
    std::atomic<bool> ready{false};
    std::atomic<bool> writeFailed{false};  // bytes counted as done never reached the disk
    // A part file's record keeper: ended by the task thread after the
    // connections, before the file is closed.
    std::unique_ptr<PartCheckpoint> checkpoint;

    // A new file of `total` bytes at the task's path (named by the
    // same-name rule, with room on the disk), shared out in segments for
    // `connections`, segment 0 first; a body of unknown size (-1) is one
    // stream, not shared. False when it cannot be made (the task is told
    // why).
    bool create(Task& task, int connection, std::int64_t total, int connections);
    // The bytes `part` holds are taken up: its file becomes this one, and
    // what it misses is shared out. The first segment, or -1.
    int takeUp(Task& task, int connection, Resumption& part, int connections);

private:
    bool startCheckpoints(Task& task, int connection, std::vector<ByteRange> done);
};

}  // namespace zorvan
