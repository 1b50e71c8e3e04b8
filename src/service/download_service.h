#pragma once

#include "media_files/work_sidecars.h"
#include "queue/download_queue.h"
#include "service/queue_action.h"
#include "service/service_event.h"
#include "store/queue_store.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace zorvan {

class KeptQueue;
class PosterWorker;
class RateLimiter;

// What a download service is for.
struct ServiceSetup {
    QueueSettings queue;              // its `wake` is the service's own
    std::string libraryPath;          // where the queue is kept; empty: kept nowhere (a command line run)
    QueueOwner owner = QueueOwner::Window;
    // At the start, works that waited or ran go on (the home server); else
    // every work is taken up paused, nothing downloads without the user's word.
    bool goOnAtStart = false;
    // Every saved work gets a poster (in the user's cache, or beside it
    // with the media server's files chosen), noted in the library.
    bool posters = false;
    std::chrono::milliseconds tickPause{200};
};

// The limits a user changes while works run.
struct ServiceLimits {
    int parallel = 2;
    int connections = 5;              // per work, for works that start
    std::int64_t speedLimit = 0;      // bytes per second over all works; 0: none
    bool strictResume = false;        // a part file no validator vouches for is started over
};

// The media server's files for saved works.
struct MediaChoice {
    bool mediaFiles = false;          // poster and .nfo beside each video
    bool performerFolders = false;    // a performer's folder gets folder.jpg
};

// The one download service under the window, the command line and the home
// server: it owns the queue, the queue kept in the library, the poster
// worker and the one thread that drives them, and tells its faces what
// changed as typed events. Commands may come from any thread; they run on
// the service's thread in the order given, and what they return comes as
// a future (a face that must not wait drops it and reads the events).
class DownloadService {
public:
    // Told on the service's thread, in order, each step's events together.
    // A listener must not wait for the service's futures.
    using Listener = std::function<void(const std::vector<ServiceEvent>&)>;

    // `limits` also makes the shared speed limiter and connection count the
    // queue's works read (ServiceSetup::queue's taskParams is wrapped).
    DownloadService(ServiceSetup setup, ServiceLimits limits, std::shared_ptr<RateLimiter> limiter = nullptr);
    // stop(), when it was not called.
    ~DownloadService();
    DownloadService(const DownloadService&) = delete;
    DownloadService& operator=(const DownloadService&) = delete;

    // Before start(): who hears the events. A listener outlives the service:
    // its end (stop()) is told too.
    void subscribe(Listener listener);
    // Takes up the kept queue (on the service's thread) and starts driving
    // it; a failure to read the library comes as a StoreProblem event.
    void start();
    // The end: every run stopped with its part file (waiting at most
    // `limit` for them), the queue written, the thread gone. The last
    // events are told before it returns. Only the owner calls it.
    void stop(std::chrono::milliseconds limit = std::chrono::seconds(5));

    // Each command on the queue (enqueue, act, move, pause or continue
    // all) ends its events with an Answered one.
    // Queues works at the end; their ids. `skipQueued`: a work already
    // queued and not settled (the same address) is not queued again, its
    // id given instead. `paused`: they wait for continue. Every answer
    // comes after the events of the change it made.
    std::future<std::vector<int>> enqueue(std::vector<Work> works, bool skipQueued = false, bool paused = false);
    std::future<ActionResult> act(QueueAction action, std::vector<int> ids);
    // False when an id (or the anchor, for Placement::Before) is not queued.
    std::future<bool> move(std::vector<int> ids, Placement where, int anchor = 0);
    void pauseAll();
    void resumeAll();
    // Applied at once to what runs (the speed limit, works at once) and to
    // works that start (connections, strict resume).
    void setLimits(const ServiceLimits& limits);
    void setMedia(const MediaChoice& media);
    // Saved works as their listing names them now: their .nfo rewritten
    // where the record changed, a poster made where none is.
    void refreshMediaFiles(std::vector<WorkMedia> saved);
    // Posters in the user's cache for saved videos that have none, each
    // asked for once.
    void makeMissingPosters(std::vector<std::string> videoPaths);
    // The works as they are now.
    std::future<std::vector<QueueItem>> items();

    // The speed limiter every work shares.
    const std::shared_ptr<RateLimiter>& limiter() const { return limiter_; }

private:
    struct Inbox;
    void run(std::stop_token stop);
    void step(bool tick);
    void answer();
    void restore();
    void onQueueEvent(const QueueEvent& event);
    void noteBatch(const QueueItem& item);
    void settleBatch();
    void givePoster(const QueueItem& item);
    PosterWorker& posterWorker();
    void publishStatus(bool force);
    void deliver();
    void post(std::function<void()> command);
    void closeAndRunLeft();
    void shutDown(std::chrono::milliseconds limit);
    QueueStatus statusNow() const;
    bool isPausedByUser(const QueueItem& item) const { return userPaused_.count(item.id) != 0; }
    std::vector<int> add(const std::vector<Work>& works, bool skipQueued, bool paused);
    ActionResult doAct(QueueAction action, const std::vector<int>& ids);

    ServiceSetup setup_;
    std::shared_ptr<RateLimiter> limiter_;
    std::shared_ptr<std::atomic<int>> connections_;
    std::shared_ptr<std::atomic<bool>> strictResume_;
    std::shared_ptr<Inbox> inbox_;  // commands and wake-ups; outlives the queue (engine threads wake it)
    std::vector<Listener> listeners_;

    // Owned by the service's thread once it runs.
    std::unique_ptr<DownloadQueue> queue_;
    std::unique_ptr<KeptQueue> kept_;
    MediaChoice media_;
    bool pausedAll_ = false;          // pause all, until continue all
    bool stopping_ = false;           // the end: stopping is not a change to announce
    bool restoring_ = false;          // taking up the kept queue
    std::set<int> userPaused_;        // paused by the user: they stay paused at the next start
    std::vector<int> batch_;          // ids run since the queue was last idle
    bool batchRunning_ = false;
    std::set<int> postered_;
    std::set<std::string> backfilled_;
    std::unique_ptr<PosterWorker> posters_;
    std::vector<ServiceEvent> outbox_;  // this step's events, told at its end
    std::vector<std::function<void()>> answers_;  // commands' answers, given after the step's events
    QueueStatus lastStatus_;
    bool statusSent_ = false;
    std::mutex stopLock_;
    bool stopped_ = false;
    std::jthread thread_;  // last: it starts once the rest is made
};

}  // namespace zorvan
