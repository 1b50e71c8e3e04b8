#pragma once
// The user's words for a queued work: its state's one name for machines
// (JSON, the saved queue) and why it failed or why the queue paused, in
// Chinese (the window's own texts) and English (the command line, the home
// server and the English window's fallbacks). The queue and the store keep
// typed data; every face words it here.
#include "download/failure_cause.h"
#include "queue/queue_item.h"

#include <string>

namespace zorvan {

enum class Words { Chinese, English };

// Why a queued work failed: what the window's row shows after "失败："
// (the engine's latest trouble in brackets), or the command line's and the
// server's sentence ("cannot reach the server: connection refused (…)").
std::string failureWords(const QueueItem& item, Words words);

// Why the queue paused itself: the disk's trouble with a folder, or else the
// server that could not be reached.
std::string queuePauseWords(const FailureCause& diskCause, Words words);

}  // namespace zorvan
