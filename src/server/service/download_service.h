#pragma once

#include "follow/performer_works.h"
#include "kept_queue/kept_queue.h"
#include "media_files/work_sidecars.h"
#include "queue/download_queue.h"
#include "server/service/event_log.h"
#include "server/service/server_settings.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <thread>
#include <vector>

namespace zorvan {

class PosterWorker;

class RateLimiter;

// Where the home server keeps its things, and what it talks to.
struct ServicePlace {
    std::string dataFolder;       // library.db, settings, token and password
    std::string serviceAddress;   // the video service
    std::function<void(const std::string&)> log;  // one English line per event
    std::string libraryPath() const { return dataFolder + "/library.db"; }
    std::string settingsPath() const { return dataFolder + "/server-settings.json"; }
};

// What a client asks of queued works.
enum class QueueAction { Pause, Continue, Retry, Cancel, Remove };

// What became of an action on each work asked for.
struct ActionResult {
    std::vector<int> done;
    std::vector<int> unknown;                          // no such work
    std::vector<std::pair<int, std::string>> refused;  // not in a state for it, and why
};

// The home server's downloads: its queue (kept in the library as the
// window's is), ticked on a thread of its own, its settings, and the events
// clients follow. Every method may be called from any thread.
class DownloadService {
public:
    DownloadService(ServicePlace place, ServerSettings settings);
    // Stops what runs, part files kept, the queue saved.
    ~DownloadService();
    DownloadService(const DownloadService&) = delete;
    DownloadService& operator=(const DownloadService&) = delete;

    // Takes up the queue saved last time (paused works stay paused, those
    // that were waiting or running go on) and starts ticking; why the
    // library could not be read, when it could not.
    std::string start();
    // The end: every run stopped with its part file, the queue written.
    void stop();

    EventLog& events() { return events_; }
    const ServicePlace& place() const { return place_; }

    // A work of a performer's listing as this server saves it: `repeat`,
    // its repeat number in the listing (workRepeats).
    Work workOf(const std::string& performer, int sequence, const std::string& song, const std::string& address,
                const std::string& workId = {}, int repeat = 1) const;
    // Every work of a performer's listing, works of one name told apart.
    std::vector<Work> worksOf(const std::string& performer, const std::vector<ListedWork>& listing) const;
    // Queues works not already queued and unsettled (the same address);
    // their ids (an id already queued for a work already there).
    std::vector<int> enqueue(const std::vector<Work>& works);
    // The works queued and not settled, by the path they are saved under.
    std::unordered_map<std::string, int> unsettledPaths() const;
    // The queue as the API's JSON text, from each work's text kept since it
    // last changed: a queue of thousands answers in the time of a copy.
    std::string queueText() const;
    std::optional<QueueItem> item(int id) const;
    ActionResult act(QueueAction action, const std::vector<int>& ids);
    // False when an id is not queued.
    bool move(const std::vector<int>& ids, Placement where, int anchor);
    void pauseAll();
    void resumeAll();

    ServerSettings settings() const;
    // Applies and saves a JSON object of settings; false with `error`
    // (the settings unchanged) when it is not acceptable.
    bool changeSettings(const std::string& json, std::string& error);
    // The download folder in force (absolute).
    // Posters for saved files that have none, made in the user's cache at
    // a low priority; each file asked for once. A video none can be made
    // of is noted in the library.
    void makeMissingPosters(const std::vector<std::string>& videoPaths);
    // Saved works as their performer's listing names them now: their .nfo
    // rewritten where the record changed, a poster made where none is.
    void refreshMediaFiles(std::vector<WorkMedia> saved);
    std::string folder() const;

private:
    struct Wakeup;
    QueueSettings queueSettings();
    void givePoster(const QueueItem& item);
    PosterWorker& posterWorker();  // under lock_
    void onEvent(const QueueEvent& event);
    void run(std::stop_token stop);
    void tickLocked();
    void say(const std::string& line) const;
    const std::string& textOf(const QueueItem& item) const;
    std::unordered_map<std::string, int> unsettledPathsLocked() const;

    ServicePlace place_;
    mutable std::mutex lock_;  // the queue, the kept queue and the settings
    ServerSettings settings_;
    std::shared_ptr<RateLimiter> limiter_;
    std::shared_ptr<std::atomic<int>> connections_;
    std::shared_ptr<std::atomic<bool>> strictResume_;  // read as each work starts
    std::shared_ptr<Wakeup> wakeup_;
    EventLog events_;
    DownloadQueue queue_;
    KeptQueue kept_;
    bool paused_ = false;            // pause all, until continue all
    std::set<int> userPaused_;       // works a client paused: they stay paused at the next start
    bool waitingForServer_ = false;  // as last told
    bool stopped_ = false;
    // Each work's JSON text as it last changed (running works' every tick).
    mutable std::unordered_map<int, std::string> itemTexts_;
    std::set<int> postered_;                  // works whose poster was asked for
    std::set<std::string> backfilled_;        // saved files whose missing poster was asked for
    std::unique_ptr<PosterWorker> posters_;   // made at the first poster asked for
    std::jthread ticker_;  // last: it starts once the rest is made
};

}  // namespace zorvan
