#pragma once

#include "queue/download_queue.h"

#include <atomic>
#include <functional>
#include <memory>

namespace zorvan {

class RateLimiter;

// How the program drives a download queue, in the window and on the home
// server alike: the engine's values for each work, one speed limit shared
// by every work and the connections per work (both changed live by the
// settings; the connections read them at their next step), whether a part
// file no validator vouches for is started over (strictResume, read as
// each work starts), an expired
// address found by listing its performer again, a lost server waited for
// until it answers, and `wake` called when a run ends.
QueueSettings programQueueSettings(int parallel, std::shared_ptr<RateLimiter> limiter,
                                   std::shared_ptr<std::atomic<int>> connections,
                                   std::shared_ptr<std::atomic<bool>> strictResume, std::function<void()> wake);

}  // namespace zorvan
