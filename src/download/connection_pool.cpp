#include "download/connection_pool.h"

#include <algorithm>

namespace zorvan {

void ConnectionPool::dropStale(std::chrono::steady_clock::time_point now) {
    std::erase_if(entries_, [now](const Entry& e) { return now - e.since > idleLimit; });
}

void ConnectionPool::put(const std::string& server, Kept kept) {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard hold(lock_);
    dropStale(now);
    const auto same = std::count_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.server == server; });
    if (static_cast<std::size_t>(same) >= perServer) {
        const auto oldest = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.server == server; });
        entries_.erase(oldest);
    }
    entries_.push_back({server, std::move(kept), now});
}

std::optional<ConnectionPool::Kept> ConnectionPool::take(const std::string& server) {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard hold(lock_);
    dropStale(now);
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
        if (it->server != server) continue;
        Kept kept = std::move(it->kept);
        entries_.erase(std::next(it).base());
        return kept;
    }
    return std::nullopt;
}

std::size_t ConnectionPool::size() const {
    std::lock_guard hold(lock_);
    return entries_.size();
}

}  // namespace zorvan
