#include "download/rate_limiter.h"

#include <algorithm>
#include <thread>

namespace zorvan {

namespace {
constexpr auto slice = std::chrono::milliseconds(10);
}

RateLimiter::RateLimiter(std::int64_t bytesPerSecond)
    : rate_(bytesPerSecond > 0 ? static_cast<double>(bytesPerSecond) : 0),
      capacity_(std::max(1.0, rate_ / 10)) {}

void RateLimiter::setRate(std::int64_t bytesPerSecond) {
    std::lock_guard guard(lock_);
    refill(Clock::now());
    const double rate = bytesPerSecond > 0 ? static_cast<double>(bytesPerSecond) : 0;
    rate_ = rate;
    capacity_ = std::max(1.0, rate / 10);
    tokens_ = std::min(tokens_, capacity_.load());
}

void RateLimiter::refill(Clock::time_point now) {
    const double seconds = std::chrono::duration<double>(now - filledAt_).count();
    filledAt_ = now;
    const double capacity = capacity_;
    if (tokens_ < capacity) tokens_ = std::min(capacity, tokens_ + seconds * rate_);
}

std::size_t RateLimiter::acquire(std::size_t wanted, const StopCheck& stop) {
    if (!limited() || wanted == 0) return wanted;
    // A piece of at least a quarter of the bucket keeps the steps from
    // shrinking to a few bytes while several connections wait.
    for (;;) {
        {
            std::lock_guard guard(lock_);
            if (!limited()) return wanted;  // the limit was lifted meanwhile
            const double least = std::min(static_cast<double>(wanted), std::max(1.0, capacity_ / 4));
            refill(Clock::now());
            if (tokens_ >= least) {
                const auto granted = static_cast<std::size_t>(std::min(static_cast<double>(wanted), tokens_));
                tokens_ -= static_cast<double>(granted);
                return granted;
            }
        }
        if (stop && stop()) return 0;
        std::this_thread::sleep_for(slice);
    }
}

void RateLimiter::giveBack(std::size_t unused) {
    if (!limited() || unused == 0) return;
    std::lock_guard guard(lock_);
    tokens_ += static_cast<double>(unused);
}

void RateLimiter::charge(std::size_t bytes) {
    if (!limited() || bytes == 0) return;
    std::lock_guard guard(lock_);
    refill(Clock::now());
    tokens_ -= static_cast<double>(bytes);
}

}  // namespace zorvan
