#include "web/fetch_workers.h"

#include "web/http_fetch.h"

namespace zorvan {

FetchWorkers::~FetchWorkers() {
    // Every worker is asked first, so their transfers end together.
    for (Worker& w : workers_) w.thread.request_stop();
    workers_.clear();  // joins
}

void FetchWorkers::start(std::function<void(const std::stop_token& stop)> work) {
    std::erase_if(workers_, [](const Worker& w) { return w.ended->load(); });  // joins at once: they are done
    for (Worker& w : workers_) w.thread.request_stop();
    auto ended = std::make_shared<std::atomic<bool>>(false);
    workers_.push_back({ended, std::jthread([work = std::move(work), ended](std::stop_token stop) {
                            {
                                const FetchStopScope stoppable(stop);
                                work(stop);
                            }
                            ended->store(true);
                        })});
}

}  // namespace zorvan
