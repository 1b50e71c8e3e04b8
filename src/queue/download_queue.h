#pragma once

#include "download/task_param.h"
#include "queue/background_query.h"
#include "queue/progress_watch.h"
#include "queue/queue_item.h"
#include "queue/queue_order.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace zorvan {

class ConnectionPool;
class ItemRun;

struct QueueSettings {
    int parallel = 2;                 // works fetched at once
    GiveUpLimits limits;              // when a work without progress is given up
    int unreachableInARow = 3;        // works failing to reach the server before the queue pauses
    // A work's folder that is gone when its turn comes is made again (the
    // program chose it); else the queue stops, since every later work
    // would fail the same way (a folder the user named).
    bool remakeFolders = true;
    // The engine's values for each work (connections, time limits); the
    // queue sets the address, the path and the procedures.
    std::function<TaskParam()> taskParams;
    // When set, used instead: values that depend on the work (the proxy its
    // address goes through).
    std::function<TaskParam(const Work&)> taskParamsFor;
    // A work's address now, found by listing its performer again (same
    // sequence and song name); empty when it is not listed any more. Runs
    // on a worker of its own when a work's address answers 403, 404 or
    // 410. Unset: such a work fails.
    std::function<std::string(const Work&)> findAddress;
    // Waiting for the server instead of giving up: when works keep failing
    // to reach it, the queue asks `serverAnswers` (on a worker of its own,
    // with one of those works) now and then, first after `firstPause`, the
    // pause doubling up to `longestPause`, and goes on by itself once it
    // answers; after `giveUpAfter` it stops asking and stays paused. Unset:
    // it pauses until resumeAll. Works that lost the server still ride out
    // a link that comes back: when every running work has been retrying
    // for `sayAfter`, the queue says it waits (and asks the server) while
    // they go on retrying.
    struct ServerWait {
        std::function<bool(const Work&)> serverAnswers;
        std::chrono::milliseconds sayAfter{std::chrono::seconds(20)};
        std::chrono::milliseconds firstPause{std::chrono::seconds(5)};
        std::chrono::milliseconds longestPause{std::chrono::seconds(60)};
        std::chrono::milliseconds giveUpAfter{std::chrono::minutes(30)};
    } serverWait;
    // Called from the engine's threads when a work's run has ended: the
    // owner ticks the queue soon, so the next work starts without waiting
    // for a polling interval. Must stay callable after the queue is gone.
    std::function<void()> wake;
};

// What changed, for whoever shows the queue.
struct QueueEvent {
    enum class Kind {
        Changed,      // an item's state changed (id)
        Removed,      // an item left the queue (id): cancelled or cleared
        Reordered,    // works moved: the queue's order (and run order) changed
        QueuePaused,  // works kept failing to reach the server: the queue stopped
        Settled,      // nothing waits or runs any more (after some work)
    };
    Kind kind;
    int id = 0;
};

// Counts over the queue.
struct QueueTotals {
    int waiting = 0, running = 0, paused = 0, failed = 0, done = 0, skipped = 0;
    double speed = 0;  // bytes per second of the running works together, lately
    std::int64_t bytesLeft = 0;  // of the works waiting, running or paused whose size is known
    int sizesUnknown = 0;        // works waiting, running or paused whose size is not known yet
    int retrying = 0;            // running works whose connections lost the server and try again
    int unfinished() const { return waiting + running + paused + failed; }
};

// The download queue the window and the command line share: it owns its
// works and their engine runs, fetches up to `parallel` at once, pauses,
// continues (through part files), cancels and retries them, and gives up
// on a work that makes no progress, or on the whole queue when works keep
// failing to reach the server, instead of letting the engine try for ever.
// Used from one thread, which calls tick() a few times a second and when
// `wake` says a run ended; the engine's threads never wait for it.
class DownloadQueue {
public:
    using Listener = std::function<void(const QueueEvent&)>;
    using Clock = std::chrono::steady_clock;

    explicit DownloadQueue(QueueSettings settings);
    // Stops what runs (their part files are kept) and waits for it a while.
    ~DownloadQueue();
    DownloadQueue(const DownloadQueue&) = delete;
    DownloadQueue& operator=(const DownloadQueue&) = delete;

    void setListener(Listener listener) { listener_ = std::move(listener); }
    // Works fetched at once from the next tick on (at least 1); running
    // works beyond a smaller number finish.
    void setParallel(int parallel) { settings_.parallel = parallel < 1 ? 1 : parallel; }

    // A work at the end of the queue; its id (`id` when given and free: the
    // id it had before a restart). `paused`: it waits for resume(); `total`
    // and `done` say how far an earlier run got.
    int add(const Work& work, bool paused = false, std::int64_t total = -1, std::int64_t done = 0, int id = 0);
    // A work that finished in an earlier run, for the history: Done (or
    // Skipped), saved under `savedPath`; its id as before when free.
    int addFinished(const Work& work, ItemState state, std::int64_t total, std::int64_t done,
                    const std::string& savedPath, std::int64_t finishedAt, int id);
    // The id the next work gets; ids are never given twice, also across
    // restarts when the owner keeps this.
    int nextId() const { return nextId_; }
    void setNextId(int next) { nextId_ = std::max(nextId_, next); }
    // The item of this work (the same address, wherever it is saved) that
    // is not settled, or nothing: another work of the same name is not it.
    const QueueItem* findUnsettled(const Work& work) const;

    void pause(int id);
    // A paused or failed work waits for its turn again.
    void resume(int id);
    // Stops the work and removes it with its part file.
    void cancel(int id);
    // The same for many, in one pass over the list.
    void cancel(const std::vector<int>& ids);
    // Drops a settled work from the list.
    void remove(int id);
    // Takes works off the list whatever their state, keeping their files
    // and part files (a later download of the work continues its part);
    // a running one goes once it has stopped.
    void remove(const std::vector<int>& ids);
    // Works run in the queue's order: these move there, keeping their own
    // order (Placement::Before: before `anchorId`).
    void move(const std::vector<int>& ids, Placement where, int anchorId = 0);

    // Every running work is paused, and nothing starts until resumeAll.
    void pauseAll();
    // The queue runs again: paused works and those given up for want of
    // the server wait for their turn.
    void resumeAll();
    bool pausedByFailures() const { return pausedByFailures_; }
    // Paused for want of the server and asking it now and then; when it
    // is asked next.
    bool waitingForServer() const { return waitingSince_.has_value(); }
    Clock::time_point nextServerCheck() const { return nextCheck_; }
    // It paused because a work's folder was gone (and not to be made again).
    bool folderGone() const { return folderGone_; }
    // What the disk said when a folder stopped it (CauseKind::Disk); kind
    // None when the server could not be reached.
    const FailureCause& pauseCause() const { return pauseCause_; }

    // Reads the engine's runs, gives up what makes no progress, starts
    // what may start and tells the listener.
    void tick(Clock::time_point now = Clock::now());
    // Stops every run (part files kept, works paused) and waits until their
    // files are settled, at most `limit`. The queue's end: nothing starts
    // after it, so the works still waiting keep their turn for a later run.
    void stopAll(std::chrono::milliseconds limit);

    const std::vector<QueueItem>& items() const { return items_; }
    const QueueItem* item(int id) const;
    // Its place in items(); -1 when it is not queued.
    int indexOf(int id) const;
    QueueTotals totals() const;
    // Works run, or wait for their turn (not behind a queue that gave up).
    bool active() const;

private:
    struct Running;
    QueueItem* find(int id);
    // The item last in the queue under `id` when given and free, else the
    // next; its id, the listener told.
    int append(QueueItem item, int id);
    void start(QueueItem& item, Clock::time_point now);
    bool folderReady(QueueItem& item);
    void follow(QueueItem& item, Running& run, Clock::time_point now, bool measureSpeed);
    void settle(QueueItem& item, Running& run);
    bool mayMove(const QueueItem& item) const;
    bool heldElsewhere(QueueItem& item);
    void setAsideDamaged(QueueItem& item);
    void keepApartFromSaved(QueueItem& item);
    void failRefusedPart(QueueItem& item, FailureKind kind);
    bool searchAddress(QueueItem& item, FailureKind kind, const std::string& lastError);
    void endSearches(Clock::time_point now);
    void fail(QueueItem& item, FailureKind kind, std::string lastError = {});
    void noteFailure(FailureKind kind);
    void removeNow(int id);
    void takeOut(const std::vector<int>& ids, bool dropParts);
    void reindex();
    void tell(QueueEvent::Kind kind, int id = 0);
    void waitForServer(Clock::time_point now);
    void noticeLostServer(Clock::time_point now);
    void checkServer(Clock::time_point now);
    void stopWaiting();
    void resumeAfterServer();

    QueueSettings settings_;
    Listener listener_;
    std::vector<QueueItem> items_;
    std::unordered_map<int, std::size_t> index_;  // id -> its place in items_
    std::map<int, std::unique_ptr<Running>> runs_;  // by item id; kept until the run has ended
    struct Search;
    std::map<int, std::unique_ptr<Search>> searches_;  // by item id: works whose address expired
    // Connections a batch's works leave open for the next ones.
    std::shared_ptr<ConnectionPool> connections_;
    int nextId_ = 1;
    int unreachableInARow_ = 0;
    bool pausedByFailures_ = false;
    bool folderGone_ = false;
    FailureCause pauseCause_;
    bool hadWork_ = false;
    bool ended_ = false;  // stopAll was called
    // Waiting for the server (settings_.serverWait): since when, the next
    // check, the pause before it, and the check under way.
    std::optional<Clock::time_point> waitingSince_;
    Clock::time_point nextCheck_{};
    std::chrono::milliseconds checkPause_{};
    std::unique_ptr<BackgroundQuery<bool>> serverCheck_;
    std::optional<Clock::time_point> lostSince_;  // since when every running work retries
    bool ridingOut_ = false;  // waiting while the running works still retry (none failed yet)
    Clock::time_point lastSpeedAt_{};  // when the runs' speeds were last measured
};

// The part file and record beside a work's path go (a cancelled work),
// unless a download under way holds them.
void removePartFiles(const std::string& path);

}  // namespace zorvan
