#pragma once

#include "download/task_param.h"

#include <cstdint>
#include <memory>

namespace zorvan {

// The engine's numbered events as calls, decoded in one place for every
// caller that follows a task (the queue's works, the command line's get).
// Called on the engine's threads; what is not overridden is ignored.
class TaskListener {
public:
    virtual ~TaskListener() = default;
    virtual void sizeKnown(std::int64_t /*total*/) {}
    // A file holds the name: the answer of event 18 (clashAnswer).
    virtual int nameClash(std::int64_t /*existingSize*/, std::int64_t /*total*/) { return clashAnswer::rename; }
    virtual void heldBytesChecked(std::int64_t /*comparedBytes*/, bool /*finalFile*/) {}
    virtual void continued(std::int64_t /*bytesThere*/, std::int64_t /*total*/) {}
    virtual void startedOver(StartOverReason /*why*/) {}
    virtual void partKept(std::int64_t /*bytes*/, std::int64_t /*total*/) {}
    virtual void retrying(int /*connection*/, int /*pauseMs*/, int /*triesLeft*/) {}
    virtual void received(int /*connection*/, std::int64_t /*bytes*/) {}
    // Every byte is in; the file is being brought to the disk and named.
    virtual void allReceived() {}
    virtual void ended(std::int64_t /*bytesDone*/, TaskOutcome /*outcome*/) {}
};

// An event procedure that tells `listener`, which it keeps alive: events
// may come after whoever started the task is gone.
EventProcedure listenWith(std::shared_ptr<TaskListener> listener);
// The same for a listener that outlives the task's events itself (its
// owner waits until the engine is idle before it goes).
EventProcedure listenWith(TaskListener& listener);

}  // namespace zorvan
