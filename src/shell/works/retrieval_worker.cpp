#include "shell/works/retrieval_worker.h"

#include <atomic>
#include <thread>

namespace zorvan {

namespace {

std::atomic<bool> retrievalRunning{false};

}  // namespace

void startRetrieval(std::function<void()> routine) {
    if (!routine) return;
    retrievalRunning = true;
    // The retrieval reaches the widgets only through the GUI thread's queue
    // and may end the program itself, so nothing waits for it; the process
    // end takes it along.
    std::thread([routine = std::move(routine)] {
        routine();
        retrievalRunning = false;
    }).detach();
}

bool retrievalUnderWay() { return retrievalRunning.load(); }

}  // namespace zorvan
