#pragma once

#include <cstdint>

namespace zorvan {

struct Resumption;
struct Task;

// The task's file set up by its first connection, before any other starts.

// A new file of `total` bytes at the task's path (named by the same-name
// rule, with room on the disk), shared out in segments for `connections`,
// segment 0 first; a body of unknown size (-1) is one stream, not shared.
// False when it cannot be made (the task is told why).
bool createTarget(Task& task, int connection, std::int64_t total, int connections);

// The bytes `part` holds are taken up: its file becomes the task's, and
// what it misses is shared out. The first segment, or -1.
int takeUpPart(Task& task, int connection, Resumption& part, int connections);

}  // namespace zorvan
