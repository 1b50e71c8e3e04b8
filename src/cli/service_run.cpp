#include "cli/service_run.h"

#include "cli/terminal.h"

namespace zorvan::cli {

namespace {

ServiceSetup cliSetup(const QueueSettings& settings) {
    ServiceSetup setup;
    setup.queue = settings;
    // The command line keeps no queue: a run that stops leaves its part
    // files, and the same command takes them up.
    setup.tickPause = std::chrono::milliseconds(100);
    return setup;
}

}  // namespace

ServiceRun::ServiceRun(const QueueSettings& settings, const ServiceLimits& limits)
    : service_(cliSetup(settings), limits) {
    service_.subscribe([inbox = inbox_](const std::vector<ServiceEvent>& events) {
        {
            std::lock_guard hold(inbox->lock);
            inbox->events.insert(inbox->events.end(), events.begin(), events.end());
        }
        inbox->changed.notify_one();
    });
    service_.start();
}

ServiceRun::~ServiceRun() { service_.stop(); }

std::vector<int> ServiceRun::add(std::vector<Work> works) {
    mirror_.expectAnswer();
    return service_.enqueue(std::move(works)).get();
}

void ServiceRun::takeIn(const Hooks& hooks, std::chrono::milliseconds wait) {
    std::vector<ServiceEvent> events;
    {
        std::unique_lock hold(inbox_->lock);
        inbox_->changed.wait_for(hold, wait, [this] { return !inbox_->events.empty(); });
        events.swap(inbox_->events);
    }
    if (events.empty()) return;
    mirror_.apply(events);
    if (hooks.event)
        for (const ServiceEvent& event : events) hooks.event(event);
}

void ServiceRun::run(const Hooks& hooks) {
    using Clock = std::chrono::steady_clock;
    auto lastShown = Clock::now() - std::chrono::seconds(1);
    for (;;) {
        takeIn(hooks, std::chrono::milliseconds(100));
        if (hooks.beat) hooks.beat();
        if (cli::interrupted) {
            interrupted_ = true;
            break;
        }
        if (hooks.stopWhenGivenUp && mirror_.pausedByFailures()) break;
        if (!mirror_.active()) break;
        if (hooks.show && Clock::now() - lastShown >= std::chrono::milliseconds(500)) {
            hooks.show();
            lastShown = Clock::now();
        }
    }
    // Every run stopped with its part file; what that changed is heard too.
    service_.stop(std::chrono::seconds(30));
    takeIn(hooks, std::chrono::milliseconds(0));
    if (hooks.beat) hooks.beat();
}

}  // namespace zorvan::cli
