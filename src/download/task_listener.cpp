#include "download/task_listener.h"

namespace zorvan {

namespace {

int tell(TaskListener& l, int type, int connection, std::int64_t value, std::int64_t extra) {
    switch (type) {
        case event::size: l.sizeKnown(value); break;
        case event::nameClash: return l.nameClash(value, extra);
        case event::heldChecked: l.heldBytesChecked(value, extra == 1); break;
        case event::continued: l.continued(value, extra); break;
        case event::startedOver: l.startedOver(static_cast<StartOverReason>(value)); break;
        case event::partKept: l.partKept(value, extra); break;
        case event::retrying: l.retrying(connection, static_cast<int>(value), static_cast<int>(extra)); break;
        case event::received: l.received(connection, value); break;
        case event::allReceived: l.allReceived(); break;
        case event::end: l.ended(value, static_cast<TaskOutcome>(extra)); break;
        default: break;
    }
    return 0;
}

}  // namespace

EventProcedure listenWith(std::shared_ptr<TaskListener> listener) {
    return [listener = std::move(listener)](int type, int connection, std::int64_t value, std::int64_t extra, TaskId) {
        return tell(*listener, type, connection, value, extra);
    };
}

EventProcedure listenWith(TaskListener& listener) {
    return [&listener](int type, int connection, std::int64_t value, std::int64_t extra, TaskId) {
        return tell(listener, type, connection, value, extra);
    };
}

}  // namespace zorvan
