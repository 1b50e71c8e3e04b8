#include "server/access/login_throttle.h"

#include <algorithm>
#include <cstdint>

namespace zorvan {
namespace {

// Failures this long after the pause they brought could have ended are
// forgotten: yesterday's typos do not count against today's.
constexpr std::chrono::minutes forgetAfter{15};

}  // namespace

LoginThrottle::LoginThrottle(std::chrono::milliseconds longestPause, std::size_t capacity)
    : longestPause_(longestPause), capacity_(std::max<std::size_t>(capacity, 1)) {}

std::chrono::milliseconds LoginThrottle::waitBefore(const std::string& address, Clock::time_point now) const {
    std::lock_guard lock(mutex_);
    const auto found = byAddress_.find(address);
    if (found == byAddress_.end() || now >= found->second->pauseEnds) return std::chrono::milliseconds(0);
    return std::chrono::ceil<std::chrono::milliseconds>(found->second->pauseEnds - now);
}

void LoginThrottle::noteFailure(const std::string& address, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    auto found = byAddress_.find(address);
    if (found == byAddress_.end()) {
        makeRoom(now);
        records_.push_back(Record{address});
        found = byAddress_.emplace(address, std::prev(records_.end())).first;
    } else {
        // The latest failure goes last, keeping the list in failure order.
        records_.splice(records_.end(), records_, found->second);
    }
    Record& record = *found->second;
    if (forgettable(record, now)) record.failures = 0;
    ++record.failures;
    record.lastFailure = now;
    record.pauseEnds = now + pauseAfter(record.failures);
}

void LoginThrottle::noteSuccess(const std::string& address) {
    std::lock_guard lock(mutex_);
    const auto found = byAddress_.find(address);
    if (found == byAddress_.end()) return;
    records_.erase(found->second);
    byAddress_.erase(found);
}

std::size_t LoginThrottle::tracked() const {
    std::lock_guard lock(mutex_);
    return records_.size();
}

bool LoginThrottle::forgettable(const Record& record, Clock::time_point now) const {
    // Every pause ends within longestPause_ of its failure.
    return now - record.lastFailure >= longestPause_ + forgetAfter;
}

void LoginThrottle::makeRoom(Clock::time_point now) {
    // The list is in failure order, so what can be forgotten is at its front;
    // when nothing can, the oldest goes even so.
    while (!records_.empty() && (records_.size() >= capacity_ || forgettable(records_.front(), now))) {
        byAddress_.erase(records_.front().address);
        records_.pop_front();
    }
}

std::chrono::milliseconds LoginThrottle::pauseAfter(int failures) const {
    const int doublings = failures - freeFailures;
    if (doublings < 0) return std::chrono::milliseconds(0);
    // Past 2^20 s any ceiling worth having is reached; no shift overflows.
    const std::chrono::milliseconds pause = std::chrono::seconds(1) * (std::int64_t{1} << std::min(doublings, 20));
    return std::min(pause, longestPause_);
}

}  // namespace zorvan
