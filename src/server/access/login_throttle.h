#pragma once

#include <chrono>
#include <cstddef>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>

namespace zorvan {

// Slows password guessing from one client address: the first failures in a
// row cost nothing (people mistype), then each makes the next attempt wait,
// twice as long each time up to a ceiling. Never a lock-out: once the pause
// is over the right password works, so a guesser cannot shut the owner out.
class LoginThrottle {
public:
    using Clock = std::chrono::steady_clock;

    // Failures in a row that bring no pause; the one that makes it this many
    // brings a pause of 1 s, and each after it doubles the pause.
    static constexpr int freeFailures = 5;
    // Addresses kept track of: a flood of addresses must not grow memory.
    static constexpr std::size_t defaultCapacity = 10000;

    explicit LoginThrottle(std::chrono::milliseconds longestPause = std::chrono::seconds(30),
                           std::size_t capacity = defaultCapacity);

    // How long the address must wait before its next attempt; 0: it may try now.
    std::chrono::milliseconds waitBefore(const std::string& address, Clock::time_point now) const;
    void noteFailure(const std::string& address, Clock::time_point now);
    // The right password: the address starts afresh.
    void noteSuccess(const std::string& address);
    // Addresses kept track of now.
    std::size_t tracked() const;

private:
    struct Record {
        std::string address;
        int failures = 0;
        Clock::time_point lastFailure{};
        Clock::time_point pauseEnds{};
    };
    // Oldest failure first: what is forgotten first when the map is full.
    using Records = std::list<Record>;

    bool forgettable(const Record& record, Clock::time_point now) const;
    void makeRoom(Clock::time_point now);
    std::chrono::milliseconds pauseAfter(int failures) const;

    const std::chrono::milliseconds longestPause_;
    const std::size_t capacity_;
    mutable std::mutex mutex_;
    Records records_;
    std::unordered_map<std::string, Records::iterator> byAddress_;
};

}  // namespace zorvan
