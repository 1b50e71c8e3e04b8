#pragma once

#include "queue/queue_item.h"
#include "web/http_fetch.h"

#include <functional>
#include <mutex>
#include <thread>
#include <utility>

namespace zorvan {

// A question about a work that needs the network (where its address moved,
// whether its server answers again), asked on a worker of its own so the
// queue's thread never waits for it. Its end stops the worker (its
// requests end at once) and joins it.
template <class Answer>
class BackgroundQuery {
public:
    using Ask = std::function<Answer(const Work&)>;
    BackgroundQuery(const Ask& ask, const Work& work)
        : worker_([this, ask, work](std::stop_token stop) {
              const FetchStopScope stoppable(stop);
              Answer answer = ask(work);
              std::lock_guard hold(lock_);
              answer_ = std::move(answer);
              done_ = true;
          }) {}
    ~BackgroundQuery() {
        worker_.request_stop();
        worker_.join();
    }
    BackgroundQuery(const BackgroundQuery&) = delete;
    BackgroundQuery& operator=(const BackgroundQuery&) = delete;

    bool ready() const {
        std::lock_guard hold(lock_);
        return done_;
    }
    // Only once ready.
    Answer answer() const {
        std::lock_guard hold(lock_);
        return answer_;
    }

private:
    mutable std::mutex lock_;
    bool done_ = false;
    Answer answer_{};
    std::jthread worker_;  // last: it starts once the rest is made
};

}  // namespace zorvan
