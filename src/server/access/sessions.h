#pragma once

#include <chrono>
#include <cstddef>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace zorvan {

// A signed-in browser: the id its cookie carries, and the token its page
// must send back with every change, which another site cannot read.
struct Session {
    std::string id;
    std::string csrf;
};

// The sessions of signed-in browsers, in memory: a restart signs everyone
// out, which is fine for a home server. One idle too long is gone; past the
// bound the one used least recently goes, so sign-ins cannot grow memory.
class SessionStore {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::size_t defaultCapacity = 1000;

    explicit SessionStore(std::chrono::seconds idleLimit = std::chrono::hours(24 * 30),
                          std::size_t capacity = defaultCapacity);

    // Empty id and token when libsodium would not start: sign-in must fail then.
    Session create(Clock::time_point now);
    // The session with that id, now counted as used; nothing when unknown or idle too long.
    std::optional<Session> find(const std::string& id, Clock::time_point now);
    void end(const std::string& id);
    std::chrono::seconds idleLimit() const { return idleLimit_; }

private:
    struct Entry {
        std::string key;
        Session session;
        Clock::time_point lastUse;
    };
    // Least recently used first.
    using Entries = std::list<Entry>;

    bool idle(const Entry& entry, Clock::time_point now) const { return now - entry.lastUse > idleLimit_; }
    void erase(Entries::iterator entry);

    const std::chrono::seconds idleLimit_;
    const std::size_t capacity_;
    const bool sodiumStarted_;
    std::mutex mutex_;
    Entries entries_;
    // Keyed by a hash of the id: how long a look-up takes tells nothing of the ids kept.
    std::unordered_map<std::string, Entries::iterator> byKey_;
};

}  // namespace zorvan
