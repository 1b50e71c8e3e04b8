#include "shell/downloads/download_manager.h"

#include "download_policy/work_file.h"
#include "service/program_queue.h"
#include "shell/core_texts.h"
#include "shell/gui_thread.h"
#include "shell/program_end.h"
#include "store/library_db.h"
#include "words/item_words.h"

#include <QCoreApplication>
#include <QPointer>

#include <algorithm>

namespace zorvan {

namespace {

// A child of the application, so it goes before the application does even
// when nothing released it.
QPointer<DownloadManager> manager;

ServiceSetup windowSetup() {
    ServiceSetup setup;
    setup.queue = programQueueSettings();
    setup.libraryPath = libraryDbPath();
    setup.owner = QueueOwner::Window;
    setup.goOnAtStart = false;  // taken up paused: nothing downloads without the user's word
    setup.posters = true;
    return setup;
}

ServiceLimits limitsOf(const DownloadSettings& settings) {
    return {settings.parallel, settings.connections, settings.speedLimitBytes(), settings.strictResume};
}

MediaChoice mediaOf(const DownloadSettings& settings) {
    return {settings.withMediaFiles(), settings.naming == FileNaming::PerformerFolder};
}

}  // namespace

DownloadManager::DownloadManager() : settings_(loadDownloadSettings()), service_(windowSetup(), limitsOf(settings_)) {
    service_.setMedia(mediaOf(settings_));
    // Told on the service's thread; shown on this one, in order.
    service_.subscribe([self = QPointer<DownloadManager>(this)](const std::vector<ServiceEvent>& events) {
        postToGui([self, events] {
            if (self) self->present(events);
        });
    });
    service_.start();
}

DownloadManager::~DownloadManager() { shutdown(); }

void DownloadManager::present(const std::vector<ServiceEvent>& events) {
    if (down_) return;
    mirror_.apply(events);
    bool settled = false;
    for (const ServiceEvent& event : events) {
        switch (event.kind) {
            case ServiceEvent::Kind::Changed: emit itemChanged(event.item.id); break;
            case ServiceEvent::Kind::Removed: emit itemRemoved(event.id); break;
            case ServiceEvent::Kind::Reordered: emit reordered(); break;
            case ServiceEvent::Kind::QueuePaused:
                emit queuePaused(coreText(queuePauseWords(event.status.pauseCause, Words::Chinese)));
                break;
            case ServiceEvent::Kind::BatchStarted: emit batchStarted(); break;
            case ServiceEvent::Kind::Settled:
                lastBatch_ = event.items;
                settled = true;
                break;
            case ServiceEvent::Kind::FilesRecorded: emit filesRecorded(); break;
            case ServiceEvent::Kind::StoreProblem:
                if (storeProblem_.isEmpty()) storeProblem_ = QString::fromStdString(event.text);
                break;
            case ServiceEvent::Kind::Progress:
            case ServiceEvent::Kind::Status:
            case ServiceEvent::Kind::Answered:
                if (!unanswered_.empty()) unanswered_.pop_front();
                break;
        }
    }
    emit ticked();
    // The service's first events are the saved queue's.
    if (!restored_) {
        restored_ = true;
        emit restored();
    }
    // The views show the end before anyone is told of it.
    if (settled) emit batchSettled();
}

void DownloadManager::applySettings(const DownloadSettings& settings) {
    settings_ = settings;
    saveDownloadSettings(settings_);
    service_.setLimits(limitsOf(settings_));
    service_.setMedia(mediaOf(settings_));
}

void DownloadManager::refreshMediaFiles(std::vector<WorkMedia> saved) {
    if (settings_.withMediaFiles()) service_.refreshMediaFiles(std::move(saved));
}

// The answers come as events; nothing here waits for them. Until they
// come, the queue counts as active, and works sent count as queued.
void DownloadManager::sent(std::set<std::string> keys) {
    mirror_.expectAnswer();
    unanswered_.push_back(std::move(keys));
}

void DownloadManager::enqueue(const std::vector<Work>& works) {
    std::set<std::string> keys;
    for (const Work& work : works) keys.insert(workKey(work.address));
    sent(std::move(keys));
    service_.enqueue(works, true);  // a work sent twice in a hurry is queued once
}
void DownloadManager::act(QueueAction action, const std::vector<int>& ids) {
    sent();
    service_.act(action, ids);
}
void DownloadManager::pause(int id) { act(QueueAction::Pause, {id}); }
void DownloadManager::resume(int id) { act(QueueAction::Continue, {id}); }
void DownloadManager::cancel(const std::vector<int>& ids) { act(QueueAction::Cancel, ids); }
void DownloadManager::remove(const std::vector<int>& ids) { act(QueueAction::Remove, ids); }
void DownloadManager::move(const std::vector<int>& ids, Placement where, int anchorId) {
    sent();
    service_.move(ids, where, anchorId);
}
void DownloadManager::pauseAll() {
    sent();
    service_.pauseAll();
}
void DownloadManager::resumeAll() {
    sent();
    service_.resumeAll();
}

bool DownloadManager::isQueued(const Work& work) const {
    if (mirror_.findUnsettled(work)) return true;
    const std::string key = workKey(work.address);
    return std::any_of(unanswered_.begin(), unanswered_.end(),
                       [&key](const std::set<std::string>& keys) { return keys.count(key) != 0; });
}

const QueueItem* DownloadManager::current() const {
    const QueueItem* waiting = nullptr;
    for (const QueueItem& item : mirror_.items()) {
        if (item.state == ItemState::Running) return &item;
        if (item.state == ItemState::Waiting && !waiting) waiting = &item;
    }
    // Behind a queue that gave up, the next work is not about to start.
    return mirror_.pausedByFailures() ? nullptr : waiting;
}

int DownloadManager::unfinished() const {
    const QueueTotals& t = mirror_.totals();
    return t.waiting + t.running + t.paused;
}

void DownloadManager::shutdown() {
    // The program is ending: stopping is not the end of a batch to announce.
    down_ = true;
    blockSignals(true);
    service_.stop();
}

DownloadManager& downloadManager() {
    if (!manager) {
        manager = new DownloadManager;
        manager->setParent(QCoreApplication::instance());
        registerCleanup(releaseDownloadManager);
    }
    return *manager;
}

void releaseDownloadManager() { delete manager.data(); }

}  // namespace zorvan
