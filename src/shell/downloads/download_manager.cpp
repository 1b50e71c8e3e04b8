#include "shell/downloads/download_manager.h"

#include "download/part_record.h"
#include "download/rate_limiter.h"
#include "download_policy/program_limits.h"
#include "download_policy/work_file.h"
#include "follow/performer_works.h"
#include "shell/core_texts.h"
#include "shell/downloads/download_texts.h"
#include "shell/gui_thread.h"
#include "shell/program_end.h"
#include "store/library_db.h"
#include "store/store_writer.h"
#include "web/server_check.h"

#include <QCoreApplication>
#include <QPointer>

#include <algorithm>
#include <ctime>

namespace zorvan {

namespace {

// A child of the application, so it goes before the application does even
// when nothing released it.
QPointer<DownloadManager> manager;

constexpr int tickMs = 200;
constexpr auto saveInterval = std::chrono::seconds(1);

}  // namespace

QueueSettings DownloadManager::queueSettings() {
    QueueSettings settings;
    settings.parallel = settings_.parallel;
    // Every work shares one speed limit; what the page changes, the
    // connections read at their next step.
    settings.taskParams = [limiter = limiter_, connections = connections_] {
        TaskParam params;
        setProgramLimits(params);
        params.connections = connections->load();
        params.sharedLimiter = limiter;
        return params;
    };
    settings.findAddress = [](const Work& work) {
        return listedAddressOf(work.service, work.performer, work.sequence, work.songName);
    };
    // A server that went away is waited for, and the queue goes on by
    // itself when it answers again.
    settings.serverWait.serverAnswers = [](const Work& work) { return serverAnswers(work.address); };
    // A work that ends is settled and the next started at once, not at
    // the next tick of the timer.
    settings.wake = [] { postToGui([] { if (manager) manager->tickNow(); }); };
    return settings;
}

DownloadManager::DownloadManager()
    : settings_(loadDownloadSettings()),
      limiter_(std::make_shared<RateLimiter>(settings_.speedLimitBytes())),
      connections_(std::make_shared<std::atomic<int>>(settings_.connections)),
      queue_(queueSettings()) {
    queue_.setListener([this](const QueueEvent& e) { onEvent(e); });
    timer_.setInterval(tickMs);
    connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
    timer_.start();
    restore();
}

DownloadManager::~DownloadManager() { shutdown(); }

void DownloadManager::restore() {
    std::string error;
    std::unique_ptr<LibraryDb> db = LibraryDb::open(libraryDbPath(), error);
    if (!db) {
        storeProblem_ = QString::fromStdString(error);
        return;
    }
    // Taken up paused: nothing downloads without the user's word. What its
    // part file holds is what continuing takes up; the file may have gone
    // since the queue was saved, or hold another address's download. A file
    // under the work's name is checked before anything is fetched: a
    // program that ended unexpectedly after a work was saved, before its
    // queue was, leaves the work whole there.
    for (const SavedWork& saved : db->queue().load(error)) {
        std::optional<PartRecord> part = loadPartRecord(recordPathOf(saved.path));
        if (part && part->address != saved.address) part.reset();
        const int id = queue_.add({saved.title, saved.address, saved.path, ClashChoice::Complete, saved.service,
                                   saved.performer, saved.sequence, saved.songName, true},
                                  true, part ? part->size : saved.total, part ? part->doneBytes() : 0);
        positions_[id] = saved.position;
        nextPosition_ = std::max(nextPosition_, saved.position + 1);
    }
    if (!error.empty()) storeProblem_ = QString::fromStdString(error);
    unsaved_.clear();
    // From here on the database is written on a thread of its own; what it
    // says comes back to this thread.
    writer_ = std::make_unique<StoreWriter>(std::move(db), [self = QPointer<DownloadManager>(this)](
                                                               const std::string& problem, bool filesRecorded) {
        postToGui([self, problem = QString::fromStdString(problem), filesRecorded] {
            if (!self) return;
            if (!problem.isEmpty() && self->storeProblem_.isEmpty()) self->storeProblem_ = problem;
            if (filesRecorded) emit self->filesRecorded();
        });
    });
}

// Only the works that changed since the last save are written, and those
// running (their bytes moved): a queue of thousands costs what moved, not
// its length.
void DownloadManager::save() {
    lastSave_ = std::chrono::steady_clock::now();
    unsaved_.insert(running_.begin(), running_.end());
    QueueChanges changes;
    changes.removed = std::move(dropped_);
    dropped_.clear();
    for (int id : unsaved_) {
        const QueueItem* item = queue_.item(id);
        const auto saved = positions_.find(id);
        // What ended (or left the queue) is no longer kept.
        if (!item || item->state == ItemState::Done || item->state == ItemState::Skipped) {
            if (saved != positions_.end()) {
                changes.removed.push_back(saved->second);
                positions_.erase(saved);
            }
            continue;
        }
        const std::int64_t position = saved != positions_.end() ? saved->second : (positions_[id] = nextPosition_++);
        changes.written.push_back({item->work.title, item->work.address, item->work.path,
                                   item->state == ItemState::Failed ? failureCause(*item) : std::string(),
                                   item->total, item->done, item->work.service, item->work.performer,
                                   item->work.sequence, item->work.songName, position});
    }
    unsaved_.clear();
    if (writer_) writer_->write(std::move(changes), std::move(unrecorded_));
    unrecorded_.clear();
}

// The saved rows follow the queue's new order: every work gets a new row,
// in order, and its old row goes with the next save.
void DownloadManager::renumber() {
    for (const QueueItem& item : queue_.items()) {
        if (const auto old = positions_.find(item.id); old != positions_.end()) dropped_.push_back(old->second);
        positions_[item.id] = nextPosition_++;
        unsaved_.insert(item.id);
    }
}

void DownloadManager::applySettings(const DownloadSettings& settings) {
    settings_ = settings;
    saveDownloadSettings(settings_);
    queue_.setParallel(settings_.parallel);
    connections_->store(settings_.connections);
    limiter_->setRate(settings_.speedLimitBytes());
    tick();  // more at once start now
}

void DownloadManager::enqueue(const std::vector<Work>& works) {
    for (const Work& work : works) batch_.push_back(queue_.add(work));
    tick();
}

const QueueItem* DownloadManager::current() const {
    const QueueItem* waiting = nullptr;
    for (const QueueItem& item : queue_.items()) {
        if (item.state == ItemState::Running) return &item;
        if (item.state == ItemState::Waiting && !waiting) waiting = &item;
    }
    // Behind a queue that gave up, the next work is not about to start.
    return queue_.pausedByFailures() ? nullptr : waiting;
}

int DownloadManager::unfinished() const {
    const QueueTotals t = queue_.totals();
    return t.waiting + t.running + t.paused;
}

void DownloadManager::onEvent(const QueueEvent& event) {
    switch (event.kind) {
        case QueueEvent::Kind::Changed:
        {
            unsaved_.insert(event.id);
            running_.erase(event.id);
            const QueueItem* item = queue_.item(event.id);
            // A saved work is in the library's files: no longer new for a
            // followed performer, and known as this work's file. Written
            // with the next save, not a transaction per work.
            if (item && item->state == ItemState::Done && writer_)
                unrecorded_.push_back({workKey(item->work.address), item->savedPath, item->done, true,
                                       item->work.performer, item->work.sequence, item->work.songName});
            if (item && item->state == ItemState::Running) {
                running_.insert(event.id);
                if (std::find(batch_.begin(), batch_.end(), event.id) == batch_.end())
                    batch_.push_back(event.id);  // resumed from the list
                if (!batchRunning_) {
                    batchRunning_ = true;
                    emit batchStarted();
                }
            }
            emit itemChanged(event.id);
            break;
        }
        case QueueEvent::Kind::Removed:
            unsaved_.insert(event.id);
            running_.erase(event.id);
            std::erase(batch_, event.id);
            emit itemRemoved(event.id);
            break;
        case QueueEvent::Kind::Reordered:
            renumber();
            emit reordered();
            break;
        case QueueEvent::Kind::QueuePaused:
            emit queuePaused(coreText(queuePauseText(queue_.pauseCause())));
            break;
        case QueueEvent::Kind::Settled:
            lastBatch_.clear();
            for (int id : batch_)
                if (const QueueItem* item = queue_.item(id)) lastBatch_.push_back(*item);
            batch_.clear();
            batchRunning_ = false;
            // After the tick: the views show the end before anyone is told of it.
            QMetaObject::invokeMethod(this, [this] { emit batchSettled(); }, Qt::QueuedConnection);
            break;
    }
}

void DownloadManager::tick() {
    queue_.tick();
    // The queue is written at most once a save interval (a kill loses no
    // more; the part files keep their own records), and at once when it
    // comes to rest.
    const auto now = std::chrono::steady_clock::now();
    const bool anything = !unsaved_.empty() || !unrecorded_.empty() || !running_.empty();
    if (anything && (now - lastSave_ >= saveInterval || !queue_.active())) save();
    emit ticked();
}

void DownloadManager::shutdown() {
    timer_.stop();
    // The program is ending: stopping is not the end of a batch to announce.
    queue_.setListener({});
    blockSignals(true);
    queue_.stopAll(std::chrono::seconds(5));
    save();
    if (writer_) writer_->flush();
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
