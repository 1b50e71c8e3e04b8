#include "server/service/download_service.h"

#include "download/rate_limiter.h"
#include "download_policy/download_folder.h"
#include "download_policy/work_file.h"
#include "kept_queue/program_queue.h"
#include "media_files/noted_poster_worker.h"
#include "server/service/queue_json.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace zorvan {

using nlohmann::json;

namespace {

constexpr auto tickPause = std::chrono::milliseconds(200);
// What a work's row keeps beside its failure: a work the user paused stays
// paused when the server starts again; the rest go on.

}  // namespace

// The engine's threads say a run ended; the ticker settles it at once. It
// outlives the queue: a run may end while the queue goes.
struct DownloadService::Wakeup {
    std::mutex lock;
    std::condition_variable_any changed;
    bool woken = false;
    void wake() {
        {
            std::lock_guard hold(lock);
            woken = true;
        }
        changed.notify_all();
    }
};

QueueSettings DownloadService::queueSettings() {
    return programQueueSettings(settings_.parallel, limiter_, connections_, strictResume_,
                                [wakeup = wakeup_] { wakeup->wake(); });
}

DownloadService::DownloadService(ServicePlace place, ServerSettings settings)
    : place_(std::move(place)),
      settings_(std::move(settings)),
      limiter_(std::make_shared<RateLimiter>(settings_.speedLimitBytes())),
      connections_(std::make_shared<std::atomic<int>>(settings_.connections)),
      strictResume_(std::make_shared<std::atomic<bool>>(settings_.strictResume)),
      wakeup_(std::make_shared<Wakeup>()),
      queue_(queueSettings()),
      kept_(queue_, [this](const QueueItem& item) { return userPaused_.count(item.id) != 0; }) {
    queue_.setListener([this](const QueueEvent& event) { onEvent(event); });
}

DownloadService::~DownloadService() { stop(); }

std::string DownloadService::start() {
    std::lock_guard hold(lock_);
    std::vector<int> goOn;
    const std::string problem = kept_.restore(
        place_.libraryPath(),
        [this](const std::string& error, bool) {
            if (!error.empty()) say("the library could not be written: " + error);
        },
        QueueOwner::Server, [&](int id, const SavedWork& saved) {
            if (saved.failure.empty()) goOn.push_back(id);
            else if (saved.failure == pausedNote) userPaused_.insert(id);
        });
    for (int id : goOn) queue_.resume(id);
    if (!queue_.items().empty())
        say("took up " + std::to_string(queue_.items().size()) + " queued works, " + std::to_string(goOn.size()) +
            " of them go on");
    ticker_ = std::jthread([this](std::stop_token stop) { run(stop); });
    return problem;
}

void DownloadService::stop() {
    if (ticker_.joinable()) {
        ticker_.request_stop();
        wakeup_->wake();
        ticker_.join();
    }
    std::lock_guard hold(lock_);
    if (stopped_) return;
    stopped_ = true;
    // Stopping is not a change to tell anyone of: every work that runs
    // keeps its part file and goes on at the next start.
    queue_.setListener([this](const QueueEvent& event) { kept_.note(event); });
    queue_.stopAll(std::chrono::seconds(5));
    kept_.save();
    kept_.flush();
    events_.close();
}

void DownloadService::run(std::stop_token stop) {
    while (!stop.stop_requested()) {
        {
            std::unique_lock hold(wakeup_->lock);
            wakeup_->changed.wait_for(hold, stop, tickPause, [&] { return wakeup_->woken; });
            wakeup_->woken = false;
        }
        if (stop.stop_requested()) break;
        std::lock_guard hold(lock_);
        tickLocked();
    }
}

void DownloadService::tickLocked() {
    queue_.tick();
    kept_.saveWhenDue(std::chrono::steady_clock::now());
    if (queue_.waitingForServer() != waitingForServer_) {
        waitingForServer_ = queue_.waitingForServer();
        events_.publish("serverWait", jsonText(json{{"waiting", waitingForServer_}}));
        say(waitingForServer_ ? "the service cannot be reached: the queue waits for it"
                              : "the service answers again");
    }
    const QueueTotals totals = queue_.totals();
    if (totals.running == 0) return;
    json running = json::array();
    for (const QueueItem& item : queue_.items()) {
        if (item.state != ItemState::Running) continue;
        running.push_back(progressJson(item));
        itemTexts_[item.id] = jsonText(itemJson(item));  // its bytes moved
    }
    events_.publishProgress(jsonText(json{{"items", std::move(running)}, {"totals", totalsJson(totals)}}));
}

// Every saved work gets its poster; with media-server files chosen they go
// beside it (poster, .nfo, under the per-performer naming the performer's
// folder.jpg). Made once a work, off the ticker's thread.
void DownloadService::givePoster(const QueueItem& item) {
    if (item.savedPath.empty() || !postered_.insert(item.id).second) return;
    posterWorker().addSaved({item.savedPath, item.work.songName, item.work.performer, item.work.sequence, 0,
                             item.work.service},
                            settings_.withMediaFiles(), settings_.naming == FileNaming::PerformerFolder);
}

void DownloadService::makeMissingPosters(const std::vector<std::string>& videoPaths) {
    std::lock_guard hold(lock_);
    for (const std::string& path : videoPaths)
        if (backfilled_.insert(path).second) posterWorker().add({{path, {}, {}, 0, 0, {}}, false, false, false});
}

void DownloadService::refreshMediaFiles(std::vector<WorkMedia> saved) {
    std::lock_guard hold(lock_);
    const bool folderPoster = settings_.naming == FileNaming::PerformerFolder;
    for (WorkMedia& work : saved) posterWorker().addListed(std::move(work), folderPoster);
}

PosterWorker& DownloadService::posterWorker() {
    if (!posters_) posters_ = posterWorkerNotingIn(place_.libraryPath());
    return *posters_;
}

void DownloadService::onEvent(const QueueEvent& event) {
    kept_.note(event);
    switch (event.kind) {
        case QueueEvent::Kind::Changed:
            if (const QueueItem* item = queue_.item(event.id)) {
                std::string& text = itemTexts_[item->id];
                text = jsonText(itemJson(*item));
                events_.publish("item", text);
                if (item->state == ItemState::Done) {
                    say("saved #" + std::to_string(item->id) + " " + item->work.title + " as " + item->savedPath);
                    givePoster(*item);
                }
                else if (item->state == ItemState::Failed)
                    say("failed #" + std::to_string(item->id) + " " + item->work.title + ": " + failureWords(*item, Words::English));
            }
            break;
        case QueueEvent::Kind::Removed:
            itemTexts_.erase(event.id);
            events_.publish("removed", jsonText(json{{"id", event.id}}));
            break;
        case QueueEvent::Kind::Reordered:
        {
            json ids = json::array();
            for (const QueueItem& item : queue_.items()) ids.push_back(item.id);
            events_.publish("reordered", jsonText(json{{"ids", std::move(ids)}}));
            break;
        }
        case QueueEvent::Kind::QueuePaused:
            events_.publish("queuePaused", jsonText(json{{"cause", "the service cannot be reached"}}));
            say("the queue paused: works keep failing to reach the service");
            break;
        case QueueEvent::Kind::Settled:
            events_.publish("settled", jsonText(json{{"totals", totalsJson(queue_.totals())}}));
            say("the queue is settled: nothing waits or runs");
            break;
    }
}

Work DownloadService::workOf(const std::string& performer, int sequence, const std::string& song,
                             const std::string& address, const std::string& workId, int repeat) const {
    const std::string at = folder();
    FileNaming naming;
    {
        std::lock_guard hold(lock_);
        naming = settings_.naming;
    }
    Work work{repeatedTitle(song, repeat), engineAddress(address),
              workFilePath(at, song, naming, performer, sequence, repeat), ClashChoice::Complete,
              place_.serviceAddress, performer, sequence, song, true, workId};
    work.repeat = repeat;
    return work;
}

std::vector<Work> DownloadService::worksOf(const std::string& performer, const std::vector<ListedWork>& listing) const {
    const std::vector<int> repeats = listedRepeats(listing);
    std::vector<Work> works;
    works.reserve(listing.size());
    for (std::size_t i = 0; i < listing.size(); ++i) {
        const ListedWork& w = listing[i];
        works.push_back(workOf(performer, w.sequence, w.songName, w.address, w.id, repeats[i]));
    }
    return works;
}

std::vector<int> DownloadService::enqueue(const std::vector<Work>& works) {
    std::lock_guard hold(lock_);
    // The works already queued and unsettled, by who they are (their
    // address), once: thousands added to thousands cost what they number,
    // not their product. Two works of one name are two works.
    std::unordered_map<std::string, int> unsettled;
    for (const QueueItem& item : queue_.items())
        if (!item.settled()) unsettled.emplace(workKey(item.work.address), item.id);
    std::vector<int> ids;
    for (const Work& work : works) {
        const std::string key = workKey(work.address);
        const auto there = unsettled.find(key);
        const int id = there != unsettled.end() ? there->second : queue_.add(work, paused_);
        unsettled.emplace(key, id);
        ids.push_back(id);
    }
    say("queued " + std::to_string(works.size()) + (works.size() == 1 ? " work" : " works"));
    tickLocked();
    return ids;
}

std::unordered_map<std::string, int> DownloadService::unsettledPathsLocked() const {
    std::unordered_map<std::string, int> unsettled;
    for (const QueueItem& item : queue_.items())
        if (!item.settled()) unsettled.emplace(item.work.path, item.id);
    return unsettled;
}

std::unordered_map<std::string, int> DownloadService::unsettledPaths() const {
    std::lock_guard hold(lock_);
    return unsettledPathsLocked();
}

const std::string& DownloadService::textOf(const QueueItem& item) const {
    std::string& text = itemTexts_[item.id];
    if (text.empty()) text = jsonText(itemJson(item));
    return text;
}

std::string DownloadService::queueText() const {
    std::lock_guard hold(lock_);
    std::string text = jsonText(json{{"eventId", events_.last()},
                                     {"paused", paused_ || queue_.pausedByFailures()},
                                     {"waitingForServer", queue_.waitingForServer()},
                                     {"totals", totalsJson(queue_.totals())}});
    text.pop_back();  // the object goes on with its items
    std::size_t size = text.size() + 16;
    for (const QueueItem& item : queue_.items()) size += textOf(item).size() + 1;
    text.reserve(size);
    text += ",\"items\":[";
    bool first = true;
    for (const QueueItem& item : queue_.items()) {
        if (!first) text += ',';
        first = false;
        text += textOf(item);
    }
    text += "]}";
    return text;
}

std::optional<QueueItem> DownloadService::item(int id) const {
    std::lock_guard hold(lock_);
    const QueueItem* item = queue_.item(id);
    return item ? std::optional<QueueItem>(*item) : std::nullopt;
}

namespace {

// Why a work cannot take an action in its state; empty: it can.
std::string refusal(QueueAction action, ItemState state) {
    const std::string is = std::string("it is ") + stateName(state);
    switch (action) {
        case QueueAction::Pause:
            return state == ItemState::Waiting || state == ItemState::Running ? std::string() : is;
        case QueueAction::Continue:
            return state == ItemState::Paused || state == ItemState::Failed ? std::string() : is;
        case QueueAction::Retry: return state == ItemState::Failed ? std::string() : is + ", not failed";
        case QueueAction::Cancel: return state == ItemState::Done ? is + ": remove it instead" : std::string();
        case QueueAction::Remove: return {};
    }
    return is;
}

}  // namespace

ActionResult DownloadService::act(QueueAction action, const std::vector<int>& ids) {
    std::lock_guard hold(lock_);
    ActionResult result;
    for (int id : ids) {
        const QueueItem* item = queue_.item(id);
        if (!item) result.unknown.push_back(id);
        else if (std::string why = refusal(action, item->state); !why.empty()) result.refused.emplace_back(id, why);
        else result.done.push_back(id);
    }
    for (int id : result.done) {
        if (action == QueueAction::Pause) userPaused_.insert(id);
        else userPaused_.erase(id);
    }
    switch (action) {
        case QueueAction::Pause: for (int id : result.done) queue_.pause(id); break;
        case QueueAction::Continue:
        case QueueAction::Retry: for (int id : result.done) queue_.resume(id); break;
        case QueueAction::Cancel: queue_.cancel(result.done); break;
        case QueueAction::Remove: queue_.remove(result.done); break;
    }
    tickLocked();
    return result;
}

bool DownloadService::move(const std::vector<int>& ids, Placement where, int anchor) {
    std::lock_guard hold(lock_);
    for (int id : ids)
        if (!queue_.item(id)) return false;
    if (where == Placement::Before && !queue_.item(anchor)) return false;
    queue_.move(ids, where, anchor);
    return true;
}

void DownloadService::pauseAll() {
    std::lock_guard hold(lock_);
    paused_ = true;
    for (const QueueItem& item : queue_.items())
        if (!item.settled()) userPaused_.insert(item.id);
    queue_.pauseAll();
    events_.publish("queue", jsonText(json{{"paused", true}}));
    say("every work paused");
}

void DownloadService::resumeAll() {
    std::lock_guard hold(lock_);
    paused_ = false;
    userPaused_.clear();
    queue_.resumeAll();
    events_.publish("queue", jsonText(json{{"paused", false}}));
    say("the queue goes on");
    tickLocked();
}

ServerSettings DownloadService::settings() const {
    std::lock_guard hold(lock_);
    return settings_;
}

bool DownloadService::changeSettings(const std::string& text, std::string& error) {
    std::lock_guard hold(lock_);
    ServerSettings changed = settings_;
    if (!applySettingsJson(text, changed, error) || !saveServerSettings(place_.settingsPath(), changed, error))
        return false;
    settings_ = changed;
    queue_.setParallel(settings_.parallel);
    connections_->store(settings_.connections);
    strictResume_->store(settings_.strictResume);
    limiter_->setRate(settings_.speedLimitBytes());
    events_.publish("settings", settingsJson(settings_));
    say("settings changed: " + settingsJson(settings_));
    tickLocked();
    return true;
}

std::string DownloadService::folder() const {
    std::lock_guard hold(lock_);
    return settings_.folder.empty() ? downloadFolder() : settings_.folder;
}

void DownloadService::say(const std::string& line) const {
    if (place_.log) place_.log(line);
}

}  // namespace zorvan
