#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

namespace zorvan {

// What the task thread is asked to do, oldest first.
struct InternalEvent {
    // PreOpenConnection: a further connection that connects while the first
    // request is under way and takes a segment once they are planned.
    enum class Kind { StartConnection, PreOpenConnection, Log, User, Finish, Drain, EndLoop };
    Kind kind = Kind::EndLoop;
    int type = 0;              // User: the event type
    int connection = 0;
    std::int64_t value = 0;
    std::int64_t extra = 0;
    std::string time;          // Log: the time text
    std::string text;          // Log: the message
    int level = 0;             // Log
    bool forced = false;       // Finish: also while connections run (stopTask)
    // Finish: the attempt it belongs to; -1 for whichever runs (stopTask).
    int attempt = -1;

    // An event that carries nothing but its kind.
    static InternalEvent of(Kind kind, bool forced = false, int attempt = -1) {
        InternalEvent event;
        event.kind = kind;
        event.forced = forced;
        event.attempt = attempt;
        return event;
    }
    static InternalEvent user(int type, int connection, std::int64_t value, std::int64_t extra) {
        InternalEvent event = of(Kind::User);
        event.type = type;
        event.connection = connection;
        event.value = value;
        event.extra = extra;
        return event;
    }
    static InternalEvent logLine(int connection, int level, std::string text, std::string time) {
        InternalEvent event = of(Kind::Log);
        event.connection = connection;
        event.level = level;
        event.text = std::move(text);
        event.time = std::move(time);
        return event;
    }
};

class EventQueue {
public:
    void post(InternalEvent event) {
        {
            std::lock_guard lock(lock_);
            events_.push_back(std::move(event));
        }
        wake_.notify_one();
    }

    std::optional<InternalEvent> take(std::chrono::milliseconds wait) {
        std::unique_lock lock(lock_);
        if (!wake_.wait_for(lock, wait, [this] { return !events_.empty(); })) return std::nullopt;
        InternalEvent event = std::move(events_.front());
        events_.pop_front();
        return event;
    }

    void clear() {
        std::lock_guard lock(lock_);
        events_.clear();
    }

private:
    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<InternalEvent> events_;
};

}  // namespace zorvan
