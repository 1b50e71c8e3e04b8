#include "shell/downloads/download_manager.h"

#include "download/rate_limiter.h"
#include "download_policy/work_file.h"
#include "kept_queue/program_queue.h"
#include "media_files/noted_poster_worker.h"
#include "shell/core_texts.h"
#include "shell/downloads/download_texts.h"
#include "shell/gui_thread.h"
#include "shell/program_end.h"
#include "store/library_db.h"

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

}  // namespace

QueueSettings DownloadManager::queueSettings() {
    // A work that ends is settled and the next started at once, not at
    // the next tick of the timer.
    return programQueueSettings(settings_.parallel, limiter_, connections_, strictResume_,
                                [] { postToGui([] { if (manager) manager->tickNow(); }); });
}

DownloadManager::DownloadManager()
    : settings_(loadDownloadSettings()),
      limiter_(std::make_shared<RateLimiter>(settings_.speedLimitBytes())),
      connections_(std::make_shared<std::atomic<int>>(settings_.connections)),
      strictResume_(std::make_shared<std::atomic<bool>>(settings_.strictResume)),
      queue_(queueSettings()),
      kept_(queue_, [](const QueueItem& item) { return !item.pausedByQueue; }) {
    queue_.setListener([this](const QueueEvent& e) { onEvent(e); });
    timer_.setInterval(tickMs);
    connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
    timer_.start();
    restore();
}

DownloadManager::~DownloadManager() { shutdown(); }

// Taken up paused: nothing downloads without the user's word. The library
// is written on a thread of its own; what it says comes back to this thread.
void DownloadManager::restore() {
    const std::string problem = kept_.restore(libraryDbPath(), [self = QPointer<DownloadManager>(this)](
                                                                    const std::string& problem, bool filesRecorded) {
        postToGui([self, problem = QString::fromStdString(problem), filesRecorded] {
            if (!self) return;
            if (!problem.isEmpty() && self->storeProblem_.isEmpty()) self->storeProblem_ = problem;
            if (filesRecorded) emit self->filesRecorded();
        });
    });
    storeProblem_ = QString::fromStdString(problem);
}

void DownloadManager::applySettings(const DownloadSettings& settings) {
    settings_ = settings;
    saveDownloadSettings(settings_);
    queue_.setParallel(settings_.parallel);
    connections_->store(settings_.connections);
    strictResume_->store(settings_.strictResume);
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
    kept_.note(event);
    switch (event.kind) {
        case QueueEvent::Kind::Changed:
        {
            const QueueItem* item = queue_.item(event.id);
            if (item && item->state == ItemState::Running) {
                if (std::find(batch_.begin(), batch_.end(), event.id) == batch_.end())
                    batch_.push_back(event.id);  // resumed from the list
                if (!batchRunning_) {
                    batchRunning_ = true;
                    emit batchStarted();
                }
            }
            if (item && item->state == ItemState::Done) givePoster(*item);
            emit itemChanged(event.id);
            break;
        }
        case QueueEvent::Kind::Removed:
            std::erase(batch_, event.id);
            emit itemRemoved(event.id);
            break;
        case QueueEvent::Kind::Reordered:
            emit reordered();
            break;
        case QueueEvent::Kind::QueuePaused:
            emit queuePaused(coreText(queuePauseWords(queue_.pauseCause(), Words::Chinese)));
            break;
        case QueueEvent::Kind::Settled:
        {
            lastBatch_.clear();
            for (int id : batch_)
                if (const QueueItem* item = queue_.item(id)) lastBatch_.push_back(*item);
            // A batch the queue stopped short (the server lost) goes on when
            // its works do, and its end counts them all; one the user paused,
            // or that ended, is over.
            const bool stoppedByQueue = std::any_of(lastBatch_.begin(), lastBatch_.end(), [this](const QueueItem& i) {
                return (i.state == ItemState::Paused && i.pausedByQueue) ||
                       (i.state == ItemState::Failed && i.failureKind == FailureKind::Unreachable &&
                        (queue_.pausedByFailures() || queue_.waitingForServer()));
            });
            if (stoppedByQueue)
                std::erase_if(batch_, [this](int id) {
                    const QueueItem* item = queue_.item(id);
                    return !item || (item->state == ItemState::Paused && !item->pausedByQueue);
                });
            else
                batch_.clear();
            batchRunning_ = false;
            // After the tick: the views show the end before anyone is told of it.
            QMetaObject::invokeMethod(this, [this] { emit batchSettled(); }, Qt::QueuedConnection);
            break;
        }
    }
}

void DownloadManager::givePoster(const QueueItem& item) {
    if (item.savedPath.empty() || !postered_.insert(item.id).second) return;
    posterWorker().addSaved({item.savedPath, item.work.songName, item.work.performer, item.work.sequence, 0,
                             item.work.service},
                            settings_.withMediaFiles(), settings_.naming == FileNaming::PerformerFolder);
}

void DownloadManager::refreshMediaFiles(std::vector<WorkMedia> saved) {
    if (!settings_.withMediaFiles()) return;
    const bool folderPoster = settings_.naming == FileNaming::PerformerFolder;
    for (WorkMedia& work : saved) posterWorker().addListed(std::move(work), folderPoster);
}

PosterWorker& DownloadManager::posterWorker() {
    if (!posters_) posters_ = posterWorkerNotingIn(libraryDbPath());
    return *posters_;
}

void DownloadManager::tick() {
    queue_.tick();
    kept_.saveWhenDue(std::chrono::steady_clock::now());
    emit ticked();
}

void DownloadManager::shutdown() {
    timer_.stop();
    // The program is ending: stopping is not the end of a batch to announce.
    queue_.setListener({});
    blockSignals(true);
    queue_.stopAll(std::chrono::seconds(5));
    kept_.save();
    kept_.flush();
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
