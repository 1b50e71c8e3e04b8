#pragma once

#include "kept_queue/kept_queue.h"
#include "media_files/work_sidecars.h"
#include "queue/download_queue.h"
#include "shell/settings/download_settings.h"
#include "store/library_db.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <set>
#include <vector>

namespace zorvan {

class PosterWorker;

class RateLimiter;

// The window's downloads wing: the download queue, ticked on the GUI
// thread, saved in the library database as it changes and taken up paused
// at the next start. The download window, the downloads view and the end
// messages observe it through its signals.
class DownloadManager : public QObject {
    Q_OBJECT
public:
    DownloadManager();
    ~DownloadManager() override;

    DownloadQueue& queue() { return queue_; }
    const DownloadQueue& queue() const { return queue_; }

    // The downloads page's choices; applied at once to what runs (works at
    // once, the overall speed limit) and to what starts (connections), and
    // saved.
    const DownloadSettings& settings() const { return settings_; }
    void applySettings(const DownloadSettings& settings);
    // Saved works as their performer's listing names them now: with the
    // media server's files chosen, their .nfo rewritten where the record
    // changed and a poster made where none is.
    void refreshMediaFiles(std::vector<WorkMedia> saved);

    // Queues works; they start as their turn comes.
    void enqueue(const std::vector<Work>& works);
    // The work shown in the download window: the first running, else the
    // first waiting; nothing when neither.
    const QueueItem* current() const;
    // Works still to fetch: waiting, running or paused.
    int unfinished() const;
    // The works of the batch that last settled: those started since the
    // queue was last idle.
    const std::vector<QueueItem>& lastBatch() const { return lastBatch_; }

    // Settles what ended and starts what may start, now.
    void tickNow() { tick(); }
    // Stops every run (part files kept) and saves what is left, for the end
    // of the program.
    void shutdown();
    // Why the saved queue could not be read or written, once; empty if it could.
    const QString& storeProblem() const { return storeProblem_; }

signals:
    void itemChanged(int id);
    void itemRemoved(int id);
    void reordered();                     // works moved in the queue
    void ticked();                        // after every tick: numbers may have moved
    void queuePaused(const QString& why); // works kept failing to reach the server
    void batchStarted();                  // a work runs after the queue was idle
    void batchSettled();                  // nothing waits or runs any more
    void filesRecorded();                 // the library learned of files saved

private:
    QueueSettings queueSettings();
    void onEvent(const QueueEvent& event);
    void tick();
    void restore();
    void givePoster(const QueueItem& item);

    DownloadSettings settings_;
    std::shared_ptr<RateLimiter> limiter_;          // every work's, together
    std::shared_ptr<std::atomic<int>> connections_;  // per work, for works that start
    std::shared_ptr<std::atomic<bool>> strictResume_;  // read as each work starts
    DownloadQueue queue_;
    QTimer timer_;
    KeptQueue kept_;  // the queue as the library database keeps it
    QString storeProblem_;
    std::vector<int> batch_;             // ids queued since the queue was last idle
    bool batchRunning_ = false;          // batchStarted told, batchSettled not yet
    std::vector<QueueItem> lastBatch_;
    PosterWorker& posterWorker();

    // Each saved work gets its poster, and with the media server's files
    // chosen the others it reads (.nfo, under the per-performer naming
    // folder.jpg); made off the GUI thread.
    std::set<int> postered_;
    std::unique_ptr<PosterWorker> posters_;
};

// The program's one manager, made at first use; its end is registered with
// the program's clean-up.
DownloadManager& downloadManager();
// Ends the manager (the clean-up, and tests between programs).
void releaseDownloadManager();

}  // namespace zorvan
