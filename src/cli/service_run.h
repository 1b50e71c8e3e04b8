#pragma once

#include "service/download_service.h"
#include "service/queue_mirror.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace zorvan::cli {

// A command-line run on the download service: the works go to the service,
// its events are taken in on this thread, and run() returns once nothing
// waits or runs, the user pressed Ctrl-C, or (when asked) the queue gave up
// for want of the server. get, get -i, get-all and sync all run this way.
class ServiceRun {
public:
    ServiceRun(const QueueSettings& settings, const ServiceLimits& limits);
    ~ServiceRun();
    ServiceRun(const ServiceRun&) = delete;
    ServiceRun& operator=(const ServiceRun&) = delete;

    // Queues works; their ids.
    std::vector<int> add(std::vector<Work> works);

    struct Hooks {
        // Each event, on this thread, in order (the queue already shows it).
        std::function<void(const ServiceEvent&)> event;
        // About ten times a second: what the run does on its own pace.
        std::function<void()> beat;
        // Twice a second while works run: the progress to draw.
        std::function<void()> show;
        bool stopWhenGivenUp = false;
    };
    // Runs until the queue is at rest; the service is stopped at the end
    // (part files kept), and what it told meanwhile is heard.
    void run(const Hooks& hooks);

    const QueueMirror& queue() const { return mirror_; }
    bool interrupted() const { return interrupted_; }
    bool gaveUp() const { return mirror_.pausedByFailures() && !mirror_.folderGone(); }

private:
    struct Inbox {
        std::mutex lock;
        std::condition_variable changed;
        std::vector<ServiceEvent> events;
    };
    void takeIn(const Hooks& hooks, std::chrono::milliseconds wait);

    std::shared_ptr<Inbox> inbox_ = std::make_shared<Inbox>();
    QueueMirror mirror_;
    bool interrupted_ = false;
    DownloadService service_;
};

}  // namespace zorvan::cli
