#include "queue/progress_watch.h"

namespace zorvan {

void ProgressWatch::start(Clock::time_point now, std::int64_t done, int retries) {
    lastProgress_ = now;
    lastDone_ = done;
    retriesAtProgress_ = retries;
}

ProgressWatch::Verdict ProgressWatch::check(Clock::time_point now, std::int64_t done, bool reached, int retries) {
    if (done > lastDone_) {
        start(now, done, retries);
        progressed_ = true;
        return Verdict::Fine;
    }
    const auto quiet = now - lastProgress_;
    if (!reached || retriedSinceProgress(retries))
        return quiet >= (progressed_ ? limits_.lostMidway : limits_.unreachable) ? Verdict::Unreachable : Verdict::Fine;
    return quiet >= limits_.stall ? Verdict::Stalled : Verdict::Fine;
}

}  // namespace zorvan
