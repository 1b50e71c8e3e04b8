#pragma once

#include "download/failure_cause.h"
#include "download/task_param.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace zorvan {

struct Task;
struct TaskSlot;

// A caller's handle on the download engine: at most one task at a time.
// The task runs on threads of its own and tells its end through event 4.
class Download {
public:
    Download();
    // Stops a running task; its threads finish by themselves.
    ~Download();
    Download(const Download&) = delete;
    Download& operator=(const Download&) = delete;

    // Starts fetching params.url into params.localPath. Refuses (false)
    // while a task is attached, or when the address cannot be fetched (no
    // http/ftp/mms/rtsp scheme, no "/" after the host, a target or local
    // path too long). The parameters are copied.
    bool startTask(const TaskParam& params);

    // Bytes received since the previous call (0 without a task).
    std::int64_t takeBytesSinceLastQuery();
    // Bytes received by the running task (0 without a task).
    std::int64_t bytesDownloaded();

    // Stops the task: no new connections, every connection asked to stop,
    // at most stopWait ms waited for them; the task then finishes by itself
    // (file closed, event 4) and this Download is free at once.
    void stopTask();
    // The same request without the wait: returns at once, and the task
    // ends (file closed, event 4) when its last connection has stopped.
    // For callers that must not block (a window's thread).
    void askToStop();

    bool hasTask() const;

    // The local path the last ended task wrote to, after any renaming.
    std::string lastLocalPath() const;
    // The latest trouble the current or last task met (kind None: none).
    FailureCause lastCause() const;
    // How many of the last ended task's bytes went from a socket into the
    // file inside the kernel, never through the program's buffer.
    std::int64_t lastSplicedBytes() const;

    // Waits until the files of every task started here are settled: named,
    // kept as part files or removed. Unlike waitUntilIdle it does not wait
    // for event 4 to be delivered, so a caller whose event procedure needs
    // the calling thread may use it. False when the time ran out.
    bool waitUntilSettled(std::chrono::milliseconds limit);

    // Waits until every task started here has ended (its event 4 delivered
    // and its threads done). False when the time ran out.
    bool waitUntilIdle(std::chrono::milliseconds limit);

private:
    std::shared_ptr<Task> currentTask() const;

    std::shared_ptr<TaskSlot> slot_;
};

// Lets the name-clash procedure give a task another local path (answer 2).
bool changeTaskLocalPath(TaskId task, const std::string& localPath);

}  // namespace zorvan
