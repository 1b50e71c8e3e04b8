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
        return Verdict::Fine;
    }
    const auto quiet = now - lastProgress_;
    const bool failing = !reached || retriedSinceProgress(retries);
    if (failing && quiet >= limits_.unreachable) return Verdict::Unreachable;
    if (quiet >= limits_.stall) return failing ? Verdict::Unreachable : Verdict::Stalled;
    return Verdict::Fine;
}

}  // namespace zorvan
