#include "server/service/event_log.h"

#include <algorithm>

namespace zorvan {

// Numbers start from the clock, so a reader of an earlier run of the server
// holds a number older than any of this run's and reads the state again.
EventLog::EventLog(std::size_t keep)
    : keep_(keep < 1 ? 1 : keep),
      next_(static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                            std::chrono::system_clock::now().time_since_epoch())
                                            .count())) {}

std::uint64_t EventLog::publish(std::string type, std::string data) {
    std::uint64_t id;
    {
        std::lock_guard hold(lock_);
        id = next_++;
        kept_.push_back({id, std::move(type), std::move(data)});
        if (kept_.size() > keep_) kept_.pop_front();
    }
    changed_.notify_all();
    return id;
}

void EventLog::publishProgress(std::string data, std::string type) {
    {
        std::lock_guard hold(lock_);
        const auto same = std::find_if(progress_.begin(), progress_.end(),
                                       [&](const ServerEvent& p) { return p.type == type; });
        if (same != progress_.end()) *same = {next_++, std::move(type), std::move(data)};
        else progress_.push_back({next_++, std::move(type), std::move(data)});
    }
    changed_.notify_all();
}

EventLog::Batch EventLog::read(std::uint64_t after, std::uint64_t& progressSeen, std::chrono::milliseconds wait) {
    std::unique_lock hold(lock_);
    const auto ready = [&] {
        return closed_ || (!kept_.empty() && kept_.back().id > after) ||
               std::any_of(progress_.begin(), progress_.end(),
                           [&](const ServerEvent& p) { return p.id > progressSeen; });
    };
    changed_.wait_for(hold, wait, ready);
    Batch batch;
    batch.closed = closed_;
    // Changes are kept in order: what the reader saw last may have gone
    // with the oldest.
    if (after >= next_ || (!kept_.empty() && after + 1 < kept_.front().id)) batch.missed = true;
    for (const ServerEvent& event : kept_)
        if (event.id > after || batch.missed) batch.events.push_back(event);
    // Numbers rise across types: what is above the last seen is unread.
    const std::uint64_t seenBefore = progressSeen;
    for (const ServerEvent& progress : progress_) {
        if (progress.id > seenBefore && (progress.id > after || batch.missed)) {
            // Progress goes after the changes it follows, in number order.
            auto at = batch.events.begin();
            while (at != batch.events.end() && at->id < progress.id) ++at;
            batch.events.insert(at, progress);
        }
        progressSeen = std::max(progressSeen, progress.id);
    }
    return batch;
}

std::uint64_t EventLog::last() const {
    std::lock_guard hold(lock_);
    return next_ - 1;
}

void EventLog::close() {
    {
        std::lock_guard hold(lock_);
        closed_ = true;
    }
    changed_.notify_all();
}

}  // namespace zorvan
