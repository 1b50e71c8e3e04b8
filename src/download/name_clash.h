#pragma once

namespace zorvan {

struct Task;

// Settles what happens when a file of the task's target name exists: asks
// the caller (event 18, on this thread) and renames to the first free
// "name(n)", gives up, or takes the path the caller set. Returns false when
// the download is given up; an existing file is never touched.
bool resolveNameClash(Task& task, int connection);

}  // namespace zorvan
