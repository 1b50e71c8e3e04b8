#pragma once

#include <chrono>
#include <cstdint>

namespace zorvan {

// How long a download may go without progress before the queue gives it
// up, instead of letting the engine's connections try again for ever.
struct GiveUpLimits {
    // No answer from the server yet, or its connections keep failing.
    std::chrono::milliseconds unreachable{std::chrono::seconds(20)};
    // Connected, but no new byte.
    std::chrono::milliseconds stall{std::chrono::seconds(120)};
    // Connections failing after bytes came: a link that dropped (a router
    // restarting, a laptop between networks) gets time to come back.
    std::chrono::milliseconds lostMidway{std::chrono::seconds(90)};
    // Once a work has failed for want of the server, the next ones only
    // confirm it: this long to reach it instead of `unreachable`.
    std::chrono::milliseconds confirmGone{std::chrono::seconds(5)};
};

// Watches one run of a download for progress.
class ProgressWatch {
public:
    using Clock = std::chrono::steady_clock;
    enum class Verdict { Fine, Unreachable, Stalled };

    explicit ProgressWatch(GiveUpLimits limits) : limits_(limits) {}

    void start(Clock::time_point now, std::int64_t done, int retries);
    // `reached`: the server has answered this run; `retries`: how often its
    // connections have tried again so far. No progress while connections
    // keep failing is a server that cannot be reached; no progress with
    // them open is a server that stopped sending.
    Verdict check(Clock::time_point now, std::int64_t done, bool reached, int retries);
    // Whether connections have failed since the last progress.
    bool retriedSinceProgress(int retries) const { return retries > retriesAtProgress_; }

private:
    GiveUpLimits limits_;
    Clock::time_point lastProgress_{};
    std::int64_t lastDone_ = 0;
    int retriesAtProgress_ = 0;
    bool progressed_ = false;  // bytes came in this run
};

}  // namespace zorvan
