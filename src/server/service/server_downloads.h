#pragma once

#include "catalogue/performer_works.h"
#include "media_files/work_sidecars.h"
#include "server/service/event_log.h"
#include "server/service/server_settings.h"
#include "service/download_service.h"
#include "service/queue_mirror.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace zorvan {

// Where the home server keeps its things, and what it talks to.
struct ServicePlace {
    std::string dataFolder;       // library.db, settings, token and password
    std::string serviceAddress;   // the video service
    std::function<void(const std::string&)> log;  // one English line per event
    std::string libraryPath() const { return dataFolder + "/library.db"; }
    std::string settingsPath() const { return dataFolder + "/server-settings.json"; }
};

// The home server's face on the download service: the queue as clients see
// it (JSON, and the events they follow), its settings, and one log line per
// change. Every method may be called from any thread.
class ServerDownloads {
public:
    ServerDownloads(ServicePlace place, ServerSettings settings);
    ~ServerDownloads();
    ServerDownloads(const ServerDownloads&) = delete;
    ServerDownloads& operator=(const ServerDownloads&) = delete;

    // Takes up the queue saved last time (paused works stay paused, those
    // that were waiting or running go on) and starts the service; why the
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
    // Posters for saved files that have none, made in the user's cache at
    // a low priority; each file asked for once. A video none can be made
    // of is noted in the library.
    void makeMissingPosters(const std::vector<std::string>& videoPaths);
    // Saved works as their performer's listing names them now: their .nfo
    // rewritten where the record changed, a poster made where none is.
    void refreshMediaFiles(std::vector<WorkMedia> saved);
    // The download folder in force (absolute).
    std::string folder() const;

private:
    void present(const std::vector<ServiceEvent>& events);
    void presentOne(const ServiceEvent& event);
    void say(const std::string& line) const;
    const std::string& textOf(const QueueItem& item) const;

    ServicePlace place_;
    mutable std::mutex lock_;  // what follows, up to the service
    ServerSettings settings_;
    EventLog events_;
    QueueMirror mirror_;
    std::string storeProblem_;       // as the service said at the start
    bool waitingForServer_ = false;  // as last told
    // Each work's JSON text as it last changed (running works' every step).
    mutable std::unordered_map<int, std::string> itemTexts_;
    DownloadService service_;  // last: it goes first, and tells nothing after
};

}  // namespace zorvan
