#pragma once

#include "media_files/work_sidecars.h"
#include "service/download_service.h"
#include "service/queue_mirror.h"
#include "shell/settings/download_settings.h"

#include <QObject>
#include <QString>

#include <deque>
#include <set>
#include <string>
#include <vector>

namespace zorvan {

// The window's face on the download service: the queue as the window shows
// it, kept from the service's events on the GUI thread, and the window's
// commands handed to the service. Nothing here waits for the service, the
// engine or the library database, except shutdown() at the program's end.
// The download window, the downloads view and the end messages observe it
// through its signals.
class DownloadManager : public QObject {
    Q_OBJECT
public:
    DownloadManager();
    ~DownloadManager() override;

    // The queue as last told: read it, never wait for it.
    const QueueMirror& queue() const { return mirror_; }

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
    void pause(int id);
    // A paused or failed work waits for its turn again.
    void resume(int id);
    // Stopped and removed with their part files.
    void cancel(const std::vector<int>& ids);
    // Taken off the list, their files and part files kept.
    void remove(const std::vector<int>& ids);
    void move(const std::vector<int>& ids, Placement where, int anchorId = 0);
    void pauseAll();
    void resumeAll();

    // The work is queued and not settled, or on its way to the queue.
    bool isQueued(const Work& work) const;
    // The work shown in the download window: the first running, else the
    // first waiting; nothing when neither.
    const QueueItem* current() const;
    // Works still to fetch: waiting, running or paused.
    int unfinished() const;
    // The works of the batch that last settled: those started since the
    // queue was last idle.
    const std::vector<QueueItem>& lastBatch() const { return lastBatch_; }

    // Stops every run (part files kept) and saves what is left, for the end
    // of the program: the one wait, while the windows are already gone.
    void shutdown();
    // Why the saved queue could not be read or written, once; empty if it could.
    const QString& storeProblem() const { return storeProblem_; }

signals:
    void itemChanged(int id);
    void itemRemoved(int id);
    void reordered();                     // works moved in the queue
    void ticked();                        // after each change told: numbers may have moved
    void queuePaused(const QString& why); // works kept failing to reach the server
    void batchStarted();                  // a work runs after the queue was idle
    void batchSettled();                  // nothing waits or runs any more
    void filesRecorded();                 // the library learned of files saved
    void restored();                      // the saved queue is taken up (or could not be: storeProblem)

private:
    void present(const std::vector<ServiceEvent>& events);
    void act(QueueAction action, const std::vector<int>& ids);
    void sent(std::set<std::string> keys = {});

    DownloadSettings settings_;
    QueueMirror mirror_;
    QString storeProblem_;
    std::vector<QueueItem> lastBatch_;
    // Each command sent and not yet answered (they are answered in order),
    // with the works it queues, by their keys.
    std::deque<std::set<std::string>> unanswered_;
    bool down_ = false;  // shut down: nothing more is told
    bool restored_ = false;  // the first events, the saved queue's, were told
    DownloadService service_;  // last: it goes first
};

// The program's one manager, made at first use; its end is registered with
// the program's clean-up.
DownloadManager& downloadManager();
// Ends the manager (the clean-up, and tests between programs).
void releaseDownloadManager();

}  // namespace zorvan
