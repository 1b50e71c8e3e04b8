#pragma once

#include "download/socket_io.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace zorvan {

// Holds a whole task to a number of bytes per second, shared by all its
// connections: a token bucket that fills at that rate and holds a tenth of
// a second's worth, so no run of time gets much more than its share. The
// rate may change while connections use it (a limit set from the window).
class RateLimiter {
public:
    explicit RateLimiter(std::int64_t bytesPerSecond);

    bool limited() const { return rate_.load(std::memory_order_relaxed) > 0; }
    // A new rate (0: none), from the next acquire on.
    void setRate(std::int64_t bytesPerSecond);

    // How many bytes (1 to `wanted`) the caller may receive now. Waits, in
    // 10 ms slices, until a fair piece is available; 0 when `stop` ends
    // the wait. Unlimited: `wanted` at once.
    std::size_t acquire(std::size_t wanted, const StopCheck& stop);

    // Hands back what was acquired but not received.
    void giveBack(std::size_t unused);

    // Counts bytes that came without asking (the body bytes behind a
    // header); later acquires wait until they are paid for.
    void charge(std::size_t bytes);

private:
    using Clock = std::chrono::steady_clock;
    void refill(Clock::time_point now);

    std::atomic<double> rate_;      // bytes per second; 0: no limit
    std::atomic<double> capacity_;  // the most the bucket holds
    std::mutex lock_;
    double tokens_ = 0;
    Clock::time_point filledAt_ = Clock::now();
};

}  // namespace zorvan
