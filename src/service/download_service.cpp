#include "service/download_service.h"

#include "download/rate_limiter.h"
#include "download_policy/work_file.h"
#include "kept_queue/kept_queue.h"
#include "media_files/noted_poster_worker.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <unordered_map>

namespace zorvan {

// Commands for the service's thread, and the engine's word that a run
// ended. Shared with the queue's wake-up, which may outlive the service.
struct DownloadService::Inbox {
    std::mutex lock;
    std::condition_variable_any changed;
    std::deque<std::function<void()>> commands;
    bool woken = false;
    bool stopping = false;
    bool closed = false;  // the service ended: a command now is dropped, its answer broken
    std::chrono::milliseconds stopLimit{0};

    void wake() {
        {
            std::lock_guard hold(lock);
            woken = true;
        }
        changed.notify_all();
    }
};

namespace {

// Each work's engine values with the limits the service holds, read as it starts.
template <typename Make>
auto withLimits(Make make, std::shared_ptr<RateLimiter> limiter, std::shared_ptr<std::atomic<int>> connections,
                std::shared_ptr<std::atomic<bool>> strict) {
    return [make = std::move(make), limiter, connections, strict](const auto&... work) {
        TaskParam params = make(work...);
        params.connections = connections->load();
        params.sharedLimiter = limiter;
        params.strictResume = strict->load();
        return params;
    };
}

ServiceEvent eventOf(ServiceEvent::Kind kind) {
    ServiceEvent event;
    event.kind = kind;
    return event;
}

ServiceEvent storeProblem(const std::string& why) {
    ServiceEvent event = eventOf(ServiceEvent::Kind::StoreProblem);
    event.text = why;
    return event;
}

bool sameStatus(const QueueStatus& a, const QueueStatus& b) {
    const QueueTotals& x = a.totals;
    const QueueTotals& y = b.totals;
    return x.waiting == y.waiting && x.running == y.running && x.paused == y.paused && x.failed == y.failed &&
           x.done == y.done && x.skipped == y.skipped && x.speed == y.speed && x.bytesLeft == y.bytesLeft &&
           x.sizesUnknown == y.sizesUnknown && x.retrying == y.retrying && a.active == b.active &&
           a.pausedByFailures == b.pausedByFailures && a.waitingForServer == b.waitingForServer &&
           a.nextServerCheck == b.nextServerCheck &&
           a.folderGone == b.folderGone && a.pausedByUser == b.pausedByUser &&
           a.pauseCause.kind == b.pauseCause.kind && a.pauseCause.systemError == b.pauseCause.systemError;
}

}  // namespace

DownloadService::DownloadService(ServiceSetup setup, ServiceLimits limits, std::shared_ptr<RateLimiter> limiter)
    : setup_(std::move(setup)),
      limiter_(limiter ? std::move(limiter) : std::make_shared<RateLimiter>(limits.speedLimit)),
      connections_(std::make_shared<std::atomic<int>>(limits.connections)),
      strictResume_(std::make_shared<std::atomic<bool>>(limits.strictResume)),
      inbox_(std::make_shared<Inbox>()) {
    QueueSettings settings = setup_.queue;
    settings.parallel = limits.parallel;
    if (settings.taskParamsFor)
        settings.taskParamsFor = withLimits(settings.taskParamsFor, limiter_, connections_, strictResume_);
    else
        settings.taskParams =
            withLimits(settings.taskParams ? settings.taskParams : std::function<TaskParam()>([] { return TaskParam{}; }),
                       limiter_, connections_, strictResume_);
    settings.wake = [inbox = std::weak_ptr<Inbox>(inbox_)] {
        if (auto alive = inbox.lock()) alive->wake();
    };
    queue_ = std::make_unique<DownloadQueue>(std::move(settings));
    if (!setup_.libraryPath.empty())
        kept_ = std::make_unique<KeptQueue>(*queue_, [this](const QueueItem& item) { return isPausedByUser(item); });
    queue_->setListener([this](const QueueEvent& event) { onQueueEvent(event); });
}

DownloadService::~DownloadService() { stop(); }

void DownloadService::subscribe(Listener listener) { listeners_.push_back(std::move(listener)); }

void DownloadService::start() {
    if (thread_.joinable()) return;
    thread_ = std::jthread([this](std::stop_token stop) { run(stop); });
}

void DownloadService::stop(std::chrono::milliseconds limit) {
    std::lock_guard hold(stopLock_);
    if (stopped_) return;
    stopped_ = true;
    if (!thread_.joinable()) {
        closeAndRunLeft();  // never started: the commands given run here, nothing runs
        shutDown(limit);
        answer();
        return;
    }
    {
        std::lock_guard inboxHold(inbox_->lock);
        inbox_->stopping = true;
        inbox_->stopLimit = limit;
    }
    inbox_->changed.notify_all();
    thread_.join();
}

// No command is taken from now on; those already given run.
void DownloadService::closeAndRunLeft() {
    std::deque<std::function<void()>> commands;
    {
        std::lock_guard hold(inbox_->lock);
        inbox_->closed = true;
        commands.swap(inbox_->commands);
    }
    for (auto& command : commands) command();
}

void DownloadService::post(std::function<void()> command) {
    {
        std::lock_guard hold(inbox_->lock);
        if (inbox_->closed) return;
        inbox_->commands.push_back(std::move(command));
    }
    inbox_->changed.notify_all();
}

void DownloadService::run(std::stop_token stop) {
    restore();
    step(true);
    for (;;) {
        std::deque<std::function<void()>> commands;
        bool stopping = false;
        std::chrono::milliseconds limit{0};
        {
            std::unique_lock hold(inbox_->lock);
            inbox_->changed.wait_for(hold, stop, setup_.tickPause, [&] {
                return inbox_->woken || inbox_->stopping || !inbox_->commands.empty();
            });
            inbox_->woken = false;
            commands.swap(inbox_->commands);
            stopping = inbox_->stopping || stop.stop_requested();
            limit = inbox_->stopLimit;
        }
        for (auto& command : commands) command();
        if (stopping) {
            closeAndRunLeft();
            shutDown(limit);
            answer();
            return;
        }
        step(true);
        answer();
    }
}

// A command's answer is given once the events of its step are told: a face
// that reads its own mirror after the answer finds the change there.
void DownloadService::answer() {
    std::vector<std::function<void()>> answers;
    answers.swap(answers_);
    for (auto& give : answers) give();
}

void DownloadService::step(bool tick) {
    if (tick) queue_->tick();
    if (kept_) {
        kept_->saveWhenDue(std::chrono::steady_clock::now());
        // A batch's end is told once the library has its files: what a face
        // reads of the library then knows every one.
        const bool settled = std::any_of(outbox_.begin(), outbox_.end(), [](const ServiceEvent& e) {
            return e.kind == ServiceEvent::Kind::Settled;
        });
        if (settled) kept_->flush();
    }
    std::vector<QueueItem> running;
    for (const QueueItem& item : queue_->items())
        if (item.state == ItemState::Running) running.push_back(item);
    if (!running.empty()) {
        ServiceEvent progress;
        progress.kind = ServiceEvent::Kind::Progress;
        progress.items = std::move(running);
        outbox_.push_back(std::move(progress));
    }
    publishStatus(false);
    deliver();
}

void DownloadService::shutDown(std::chrono::milliseconds limit) {
    stopping_ = true;
    queue_->stopAll(limit);
    if (kept_) {
        kept_->save();
        kept_->flush();
    }
    publishStatus(false);
    deliver();
    posters_.reset();  // made posters are finished first
}

void DownloadService::restore() {
    if (!kept_) return;
    std::vector<int> goOn;
    std::weak_ptr<Inbox> inbox = inbox_;
    restoring_ = true;  // the history's works were given their posters when they finished
    const std::string problem = kept_->restore(
        setup_.libraryPath,
        [this, inbox](const std::string& error, bool filesRecorded) {
            // On the store's thread: told on the service's.
            if (inbox.expired()) return;
            post([this, error, filesRecorded] {
                if (!error.empty()) outbox_.push_back(storeProblem(error));
                if (filesRecorded) outbox_.push_back(eventOf(ServiceEvent::Kind::FilesRecorded));
            });
        },
        setup_.owner, [&](int id, const SavedWork& saved) {
            if (saved.failure.empty()) goOn.push_back(id);
            else if (saved.failure == pausedNote) userPaused_.insert(id);
        });
    restoring_ = false;
    if (setup_.goOnAtStart)
        for (int id : goOn) queue_->resume(id);
    if (!problem.empty()) outbox_.push_back(storeProblem(problem));
}

void DownloadService::onQueueEvent(const QueueEvent& event) {
    if (kept_) kept_->note(event);
    ServiceEvent told;
    switch (event.kind) {
        case QueueEvent::Kind::Changed:
        {
            const QueueItem* item = queue_->item(event.id);
            if (!item) return;
            told.kind = ServiceEvent::Kind::Changed;
            told.item = *item;
            outbox_.push_back(std::move(told));
            if (stopping_) return;
            noteBatch(*item);
            if (item->state == ItemState::Done && !restoring_) givePoster(*item);
            return;
        }
        case QueueEvent::Kind::Removed:
            std::erase(batch_, event.id);
            userPaused_.erase(event.id);
            told.kind = ServiceEvent::Kind::Removed;
            told.id = event.id;
            outbox_.push_back(std::move(told));
            return;
        case QueueEvent::Kind::Reordered:
            told.kind = ServiceEvent::Kind::Reordered;
            for (const QueueItem& item : queue_->items()) told.order.push_back(item.id);
            outbox_.push_back(std::move(told));
            return;
        case QueueEvent::Kind::QueuePaused:
            if (stopping_) return;
            told.kind = ServiceEvent::Kind::QueuePaused;
            told.status = statusNow();
            outbox_.push_back(std::move(told));
            return;
        case QueueEvent::Kind::Settled:
            if (!stopping_) settleBatch();
            return;
    }
}

// A batch is the works run since the queue was last idle: it starts when
// the first of them runs, and its end counts them all.
void DownloadService::noteBatch(const QueueItem& item) {
    if (item.state != ItemState::Running) return;
    if (std::find(batch_.begin(), batch_.end(), item.id) == batch_.end()) batch_.push_back(item.id);
    if (batchRunning_) return;
    batchRunning_ = true;
    outbox_.push_back(eventOf(ServiceEvent::Kind::BatchStarted));
}

void DownloadService::settleBatch() {
    ServiceEvent told;
    told.kind = ServiceEvent::Kind::Settled;
    for (int id : batch_)
        if (const QueueItem* item = queue_->item(id)) told.items.push_back(*item);
    // A batch the queue stopped short (the server lost) goes on when its
    // works do, and its end counts them all; one the user paused, or that
    // ended, is over.
    const bool stoppedByQueue = std::any_of(told.items.begin(), told.items.end(), [this](const QueueItem& i) {
        return (i.state == ItemState::Paused && i.pausedByQueue) ||
               (i.state == ItemState::Failed && i.failureKind == FailureKind::Unreachable &&
                (queue_->pausedByFailures() || queue_->waitingForServer()));
    });
    if (stoppedByQueue)
        std::erase_if(batch_, [this](int id) {
            const QueueItem* item = queue_->item(id);
            return !item || (item->state == ItemState::Paused && !item->pausedByQueue);
        });
    else
        batch_.clear();
    batchRunning_ = false;
    told.status = statusNow();
    outbox_.push_back(std::move(told));
}

// Every saved work gets its poster; with media-server files chosen they go
// beside it (poster, .nfo, under the per-performer naming the performer's
// folder.jpg). Made once a work, off the service's thread.
void DownloadService::givePoster(const QueueItem& item) {
    if (!setup_.posters || item.savedPath.empty() || !postered_.insert(item.id).second) return;
    posterWorker().addSaved({item.savedPath, item.work.songName, item.work.performer, item.work.sequence, 0,
                             item.work.service},
                            media_.mediaFiles, media_.performerFolders);
}

PosterWorker& DownloadService::posterWorker() {
    if (!posters_)
        posters_ = setup_.libraryPath.empty() ? std::make_unique<PosterWorker>()
                                              : posterWorkerNotingIn(setup_.libraryPath);
    return *posters_;
}

QueueStatus DownloadService::statusNow() const {
    QueueStatus status;
    status.totals = queue_->totals();
    status.active = queue_->active();
    status.pausedByFailures = queue_->pausedByFailures();
    status.waitingForServer = queue_->waitingForServer();
    status.nextServerCheck = queue_->nextServerCheck();
    status.folderGone = queue_->folderGone();
    status.pausedByUser = pausedAll_;
    status.pauseCause = queue_->pauseCause();
    return status;
}

void DownloadService::publishStatus(bool force) {
    QueueStatus status = statusNow();
    if (!force && statusSent_ && sameStatus(status, lastStatus_) && outbox_.empty()) return;
    statusSent_ = true;
    lastStatus_ = status;
    ServiceEvent told;
    told.kind = ServiceEvent::Kind::Status;
    told.status = std::move(status);
    outbox_.push_back(std::move(told));
}

void DownloadService::deliver() {
    if (outbox_.empty()) return;
    std::vector<ServiceEvent> events;
    events.swap(outbox_);
    for (const Listener& listener : listeners_) listener(events);
}

std::vector<int> DownloadService::add(const std::vector<Work>& works, bool skipQueued, bool paused) {
    // The works already queued and unsettled, by who they are (their
    // address), once: thousands added to thousands cost what they number,
    // not their product. Two works of one name are two works.
    std::unordered_map<std::string, int> unsettled;
    if (skipQueued)
        for (const QueueItem& item : queue_->items())
            if (!item.settled()) unsettled.emplace(workKey(item.work.address), item.id);
    std::vector<int> ids;
    ids.reserve(works.size());
    for (const Work& work : works) {
        if (!skipQueued) {
            ids.push_back(queue_->add(work, paused));
            continue;
        }
        const std::string key = workKey(work.address);
        const auto there = unsettled.find(key);
        const int id = there != unsettled.end() ? there->second : queue_->add(work, paused);
        unsettled.emplace(key, id);
        ids.push_back(id);
    }
    return ids;
}

std::future<std::vector<int>> DownloadService::enqueue(std::vector<Work> works, bool skipQueued, bool paused) {
    auto done = std::make_shared<std::promise<std::vector<int>>>();
    auto result = done->get_future();
    post([this, works = std::move(works), skipQueued, paused, done] {
        answers_.push_back([done, ids = add(works, skipQueued, paused)] { done->set_value(ids); });
        outbox_.push_back(eventOf(ServiceEvent::Kind::Answered));
    });
    return result;
}

ActionResult DownloadService::doAct(QueueAction action, const std::vector<int>& ids) {
    ActionResult result;
    for (int id : ids) {
        const QueueItem* item = queue_->item(id);
        if (!item) result.unknown.push_back(id);
        else if (std::string why = refusal(action, item->state); !why.empty()) result.refused.emplace_back(id, why);
        else result.done.push_back(id);
    }
    for (int id : result.done) {
        if (action == QueueAction::Pause) userPaused_.insert(id);
        else userPaused_.erase(id);
    }
    switch (action) {
        case QueueAction::Pause: for (int id : result.done) queue_->pause(id); break;
        case QueueAction::Continue:
        case QueueAction::Retry: for (int id : result.done) queue_->resume(id); break;
        case QueueAction::Cancel: queue_->cancel(result.done); break;
        case QueueAction::Remove: queue_->remove(result.done); break;
    }
    return result;
}

std::future<ActionResult> DownloadService::act(QueueAction action, std::vector<int> ids) {
    auto done = std::make_shared<std::promise<ActionResult>>();
    auto result = done->get_future();
    post([this, action, ids = std::move(ids), done] {
        answers_.push_back([done, result = doAct(action, ids)] { done->set_value(result); });
        outbox_.push_back(eventOf(ServiceEvent::Kind::Answered));
    });
    return result;
}

std::future<bool> DownloadService::move(std::vector<int> ids, Placement where, int anchor) {
    auto done = std::make_shared<std::promise<bool>>();
    auto result = done->get_future();
    post([this, ids = std::move(ids), where, anchor, done] {
        const bool known = std::all_of(ids.begin(), ids.end(), [this](int id) { return queue_->item(id) != nullptr; }) &&
                           (where != Placement::Before || queue_->item(anchor));
        if (known) queue_->move(ids, where, anchor);
        answers_.push_back([done, known] { done->set_value(known); });
        outbox_.push_back(eventOf(ServiceEvent::Kind::Answered));
    });
    return result;
}

void DownloadService::pauseAll() {
    post([this] {
        pausedAll_ = true;
        for (const QueueItem& item : queue_->items())
            if (!item.settled()) userPaused_.insert(item.id);
        queue_->pauseAll();
        outbox_.push_back(eventOf(ServiceEvent::Kind::Answered));
    });
}

void DownloadService::resumeAll() {
    post([this] {
        pausedAll_ = false;
        userPaused_.clear();
        queue_->resumeAll();
        outbox_.push_back(eventOf(ServiceEvent::Kind::Answered));
    });
}

void DownloadService::setLimits(const ServiceLimits& limits) {
    connections_->store(limits.connections);
    strictResume_->store(limits.strictResume);
    limiter_->setRate(limits.speedLimit);
    post([this, parallel = limits.parallel] { queue_->setParallel(parallel); });
}

void DownloadService::setMedia(const MediaChoice& media) {
    post([this, media] { media_ = media; });
}

void DownloadService::refreshMediaFiles(std::vector<WorkMedia> saved) {
    post([this, saved = std::move(saved)]() mutable {
        for (WorkMedia& work : saved) posterWorker().addListed(std::move(work), media_.performerFolders);
    });
}

void DownloadService::makeMissingPosters(std::vector<std::string> videoPaths) {
    post([this, paths = std::move(videoPaths)] {
        for (const std::string& path : paths)
            if (backfilled_.insert(path).second) posterWorker().add({{path, {}, {}, 0, 0, {}}, false, false, false});
    });
}

std::future<std::vector<QueueItem>> DownloadService::items() {
    auto done = std::make_shared<std::promise<std::vector<QueueItem>>>();
    auto result = done->get_future();
    post([this, done] { answers_.push_back([done, items = queue_->items()] { done->set_value(items); }); });
    return result;
}

}  // namespace zorvan
