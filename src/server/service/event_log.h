#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace zorvan {

// One event of the server's live stream: its number (rising, never reused
// in a run), its type and its JSON text.
struct ServerEvent {
    std::uint64_t id = 0;
    std::string type;
    std::string data;
};

// The server's events in order, for the live stream's readers. State changes
// are kept (the latest `keep` of them), so a reader that reconnects with the
// last number it saw gets every change since; progress is only passed on:
// the next progress event of its type says it all again. A reader whose
// number is older than what is kept is told to read the whole state again.
class EventLog {
public:
    explicit EventLog(std::size_t keep = 4096);

    // Adds a state change; its number.
    std::uint64_t publish(std::string type, std::string data);
    // Passes on progress (replacing progress of its type not yet read):
    // the downloads' ("progress") and a read-through's ("verify") do not
    // push each other out.
    void publishProgress(std::string data, std::string type = "progress");

    struct Batch {
        std::vector<ServerEvent> events;
        bool missed = false;  // changes after `after` are no longer kept
        bool closed = false;  // the log ended: the stream ends
    };
    // What came after event `after` (and the latest progress when it is
    // newer than `progressSeen`), waiting at most `wait` for something.
    Batch read(std::uint64_t after, std::uint64_t& progressSeen, std::chrono::milliseconds wait);
    // The latest number given.
    std::uint64_t last() const;
    // Wakes every reader for the last time (the server is stopping).
    void close();

private:
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::deque<ServerEvent> kept_;
    std::size_t keep_;
    std::uint64_t next_;
    std::vector<ServerEvent> progress_;  // the latest of each type
    bool closed_ = false;
};

}  // namespace zorvan
