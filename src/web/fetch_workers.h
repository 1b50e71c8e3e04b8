#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <stop_token>
#include <thread>
#include <vector>

namespace zorvan {

// Background fetches of one owner (a dialog's check, a player's look into
// a failure). Each runs on a thread of its own whose stop token aborts its
// transfers; starting a newer one asks the older ones to stop, since only
// the latest answer matters; the owner's end stops and joins them all, so
// no worker outlives what it reports to. A work is handed its stop token:
// a fetch that was stopped ended early, and its result is no answer.
class FetchWorkers {
public:
    FetchWorkers() = default;
    ~FetchWorkers();
    FetchWorkers(const FetchWorkers&) = delete;
    FetchWorkers& operator=(const FetchWorkers&) = delete;

    void start(std::function<void(const std::stop_token& stop)> work);
    // Workers not yet joined (ended ones are joined as new ones start).
    std::size_t count() const { return workers_.size(); }

private:
    struct Worker {
        std::shared_ptr<std::atomic<bool>> ended;
        std::jthread thread;
    };
    std::vector<Worker> workers_;
};

}  // namespace zorvan
