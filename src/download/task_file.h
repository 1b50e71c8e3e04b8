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

// The file a task writes, how its bytes are shared among the connections,
// and the record a part file keeps. Set up once (task_file_setup), by the
// first connection before any other starts, either afresh when the first
// answer names the size or from bytes a download left; every connection
// then only moves bytes into it. Released by the task thread after every
// connection ends.
struct TaskFile {
    SegmentTable segments;
    std::unique_ptr<TargetFile> file;
    std::atomic<bool> ready{false};
    std::atomic<bool> writeFailed{false};  // bytes counted as done never reached the disk
    // A part file's record keeper: ended by the task thread after the
    // connections, before the file is closed.
    std::unique_ptr<PartCheckpoint> checkpoint;
};

}  // namespace zorvan
