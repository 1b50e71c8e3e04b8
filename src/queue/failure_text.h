#pragma once
// A failed work and a paused queue in the window's Chinese (UTF-8), as the
// window's download list and the server's page show them.
#include "download/failure_cause.h"
#include "queue/queue_item.h"

#include <string>

namespace zorvan {

// Why a queued work failed, in the window's Chinese (UTF-8): what its row
// shows after "失败：", the engine's latest trouble in brackets.
std::string failureCause(const QueueItem& item);

// Why the queue paused itself: the disk's trouble with a folder, or else
// the server that could not be reached.
std::string queuePauseText(const FailureCause& diskCause);

}  // namespace zorvan
