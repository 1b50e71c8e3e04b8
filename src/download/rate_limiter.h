#pragma once

#include "download/socket_io.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace zorvan {

// Holds a whole task to a number of bytes per second, shared by all its
// connections: a token bucket that fills at that rate and holds a tenth of
// a second's worth, so no run of time gets much more than its share.
class RateLimiter {
public:
    explicit RateLimiter(std::int64_t bytesPerSecond);

    bool limited() const { return rate_ > 0; }

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

    const double rate_;      // bytes per second; 0: no limit
    const double capacity_;  // the most the bucket holds
    std::mutex lock_;
    double tokens_ = 0;
    Clock::time_point filledAt_ = Clock::now();
};

}  // namespace zorvan
