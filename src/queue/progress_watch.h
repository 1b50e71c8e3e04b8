#pragma once

#include <chrono>
#include <cstdint>

namespace zorvan {

// How long a download may go without progress before the queue gives it
// up, instead of letting the engine's connections try again for ever.
struct GiveUpLimits {
    std::chrono::milliseconds firstAnswer{std::chrono::seconds(30)};  // no answer from the server yet
    std::chrono::milliseconds stall{std::chrono::seconds(120)};       // answered, then no new byte
};

// Watches one run of a download for progress.
class ProgressWatch {
public:
    using Clock = std::chrono::steady_clock;
    enum class Verdict { Fine, Unreachable, Stalled };

    explicit ProgressWatch(GiveUpLimits limits) : limits_(limits) {}

    void start(Clock::time_point now, std::int64_t done, int retries);
    // `reached`: the server has answered this run; `retries`: how often its
    // connections have tried again so far. Stalling while connections keep
    // failing is a server that cannot be reached; stalling with them open
    // is a server that stopped sending.
    Verdict check(Clock::time_point now, std::int64_t done, bool reached, int retries);

private:
    GiveUpLimits limits_;
    Clock::time_point lastProgress_{};
    std::int64_t lastDone_ = 0;
    int retriesAtProgress_ = 0;
};

}  // namespace zorvan
