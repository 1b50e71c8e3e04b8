#include "server/service/server_downloads.h"

#include "download_policy/download_folder.h"
#include "download_policy/work_file.h"
#include "words/item_json.h"
#include "service/program_queue.h"
#include "words/item_words.h"

#include <nlohmann/json.hpp>

namespace zorvan {

using nlohmann::json;

namespace {

ServiceSetup serverSetup(const ServicePlace& place) {
    ServiceSetup setup;
    setup.queue = programQueueSettings();
    setup.libraryPath = place.libraryPath();
    setup.owner = QueueOwner::Server;
    setup.goOnAtStart = true;
    setup.posters = true;
    return setup;
}

ServiceLimits limitsOf(const ServerSettings& settings) {
    return {settings.parallel, settings.connections, settings.speedLimitBytes(), settings.strictResume};
}

MediaChoice mediaOf(const ServerSettings& settings) {
    return {settings.withMediaFiles(), settings.naming == FileNaming::PerformerFolder};
}

}  // namespace

ServerDownloads::ServerDownloads(ServicePlace place, ServerSettings settings)
    : place_(std::move(place)), settings_(std::move(settings)), service_(serverSetup(place_), limitsOf(settings_)) {
    service_.setMedia(mediaOf(settings_));
    service_.subscribe([this](const std::vector<ServiceEvent>& events) { present(events); });
}

ServerDownloads::~ServerDownloads() { stop(); }

std::string ServerDownloads::start() {
    service_.start();
    // Its first answer comes once the saved queue is taken up and told.
    const std::vector<QueueItem> items = service_.items().get();
    std::size_t goOn = 0;
    for (const QueueItem& item : items) goOn += item.state == ItemState::Waiting || item.state == ItemState::Running;
    if (!items.empty())
        say("took up " + std::to_string(items.size()) + " queued works, " + std::to_string(goOn) + " of them go on");
    std::lock_guard hold(lock_);
    return storeProblem_;
}

void ServerDownloads::stop() {
    service_.stop();
    events_.close();
}

void ServerDownloads::present(const std::vector<ServiceEvent>& events) {
    std::lock_guard hold(lock_);
    mirror_.apply(events);
    bool progressed = false;
    for (const ServiceEvent& event : events) {
        presentOne(event);
        progressed = progressed || event.kind == ServiceEvent::Kind::Progress;
    }
    if (!progressed) return;
    // The running works' figures and the totals, after the whole step.
    json running = json::array();
    for (const QueueItem& item : mirror_.items())
        if (item.state == ItemState::Running) running.push_back(progressJson(item));
    events_.publishProgress(jsonText(json{{"items", std::move(running)}, {"totals", totalsJson(mirror_.totals())}}));
}

void ServerDownloads::presentOne(const ServiceEvent& event) {
    switch (event.kind) {
        case ServiceEvent::Kind::Changed:
        {
            const QueueItem& item = event.item;
            std::string& text = itemTexts_[item.id];
            text = jsonText(itemJson(item));
            events_.publish("item", text);
            if (item.state == ItemState::Done)
                say("saved #" + std::to_string(item.id) + " " + item.work.title + " as " + item.savedPath);
            else if (item.state == ItemState::Failed)
                say("failed #" + std::to_string(item.id) + " " + item.work.title + ": " +
                    failureWords(item, Words::English));
            break;
        }
        case ServiceEvent::Kind::Progress:
            for (const QueueItem& item : event.items) itemTexts_[item.id] = jsonText(itemJson(item));  // its bytes moved
            break;
        case ServiceEvent::Kind::Removed:
            itemTexts_.erase(event.id);
            events_.publish("removed", jsonText(json{{"id", event.id}}));
            break;
        case ServiceEvent::Kind::Reordered:
            events_.publish("reordered", jsonText(json{{"ids", event.order}}));
            break;
        case ServiceEvent::Kind::QueuePaused:
            events_.publish("queuePaused", jsonText(json{{"cause", "the service cannot be reached"}}));
            say("the queue paused: works keep failing to reach the service");
            break;
        case ServiceEvent::Kind::Settled:
            events_.publish("settled", jsonText(json{{"totals", totalsJson(event.status.totals)}}));
            say("the queue is settled: nothing waits or runs");
            break;
        case ServiceEvent::Kind::Status:
            if (event.status.waitingForServer != waitingForServer_) {
                waitingForServer_ = event.status.waitingForServer;
                events_.publish("serverWait", jsonText(json{{"waiting", waitingForServer_}}));
                say(waitingForServer_ ? "the service cannot be reached: the queue waits for it"
                                      : "the service answers again");
            }
            break;
        case ServiceEvent::Kind::StoreProblem:
            if (storeProblem_.empty()) storeProblem_ = event.text;
            else say("the library could not be written: " + event.text);
            break;
        case ServiceEvent::Kind::BatchStarted:
        case ServiceEvent::Kind::FilesRecorded:
        case ServiceEvent::Kind::Answered: break;
    }
}

Work ServerDownloads::workOf(const std::string& performer, int sequence, const std::string& song,
                             const std::string& address, const std::string& workId, int repeat) const {
    const std::string at = folder();
    FileNaming naming;
    {
        std::lock_guard hold(lock_);
        naming = settings_.naming;
    }
    Work work;
    work.title = repeatedTitle(song, repeat);
    work.address = engineAddress(address);
    work.path = workFilePath(at, song, naming, performer, sequence, repeat);
    work.clash = ClashChoice::Complete;
    work.service = place_.serviceAddress;
    work.performer = performer;
    work.sequence = sequence;
    work.songName = song;
    work.batch = true;
    work.workId = workId;
    work.repeat = repeat;
    return work;
}

std::vector<Work> ServerDownloads::worksOf(const std::string& performer, const std::vector<ListedWork>& listing) const {
    const std::vector<int> repeats = listedRepeats(listing);
    std::vector<Work> works;
    works.reserve(listing.size());
    for (std::size_t i = 0; i < listing.size(); ++i) {
        const ListedWork& w = listing[i];
        works.push_back(workOf(performer, w.sequence, w.songName, w.address, w.id, repeats[i]));
    }
    return works;
}

std::vector<int> ServerDownloads::enqueue(const std::vector<Work>& works) {
    bool paused = false;
    {
        std::lock_guard hold(lock_);
        paused = mirror_.status().pausedByUser;  // pause all holds for works added meanwhile
    }
    std::vector<int> ids = service_.enqueue(works, true, paused).get();
    say("queued " + std::to_string(works.size()) + (works.size() == 1 ? " work" : " works"));
    return ids;
}

std::unordered_map<std::string, int> ServerDownloads::unsettledPaths() const {
    std::lock_guard hold(lock_);
    std::unordered_map<std::string, int> unsettled;
    for (const QueueItem& item : mirror_.items())
        if (!item.settled()) unsettled.emplace(item.work.path, item.id);
    return unsettled;
}

const std::string& ServerDownloads::textOf(const QueueItem& item) const {
    std::string& text = itemTexts_[item.id];
    if (text.empty()) text = jsonText(itemJson(item));
    return text;
}

std::string ServerDownloads::queueText() const {
    std::lock_guard hold(lock_);
    const QueueStatus& status = mirror_.status();
    std::string text = jsonText(json{{"eventId", events_.last()},
                                     {"paused", status.pausedByUser || status.pausedByFailures},
                                     {"waitingForServer", status.waitingForServer},
                                     {"totals", totalsJson(status.totals)}});
    text.pop_back();  // the object goes on with its items
    std::size_t size = text.size() + 16;
    for (const QueueItem& item : mirror_.items()) size += textOf(item).size() + 1;
    text.reserve(size);
    text += ",\"items\":[";
    bool first = true;
    for (const QueueItem& item : mirror_.items()) {
        if (!first) text += ',';
        first = false;
        text += textOf(item);
    }
    text += "]}";
    return text;
}

std::optional<QueueItem> ServerDownloads::item(int id) const {
    std::lock_guard hold(lock_);
    const QueueItem* item = mirror_.item(id);
    return item ? std::optional<QueueItem>(*item) : std::nullopt;
}

ActionResult ServerDownloads::act(QueueAction action, const std::vector<int>& ids) {
    return service_.act(action, ids).get();
}

bool ServerDownloads::move(const std::vector<int>& ids, Placement where, int anchor) {
    return service_.move(ids, where, anchor).get();
}

void ServerDownloads::pauseAll() {
    service_.pauseAll();
    events_.publish("queue", jsonText(json{{"paused", true}}));
    say("every work paused");
}

void ServerDownloads::resumeAll() {
    service_.resumeAll();
    events_.publish("queue", jsonText(json{{"paused", false}}));
    say("the queue goes on");
}

ServerSettings ServerDownloads::settings() const {
    std::lock_guard hold(lock_);
    return settings_;
}

bool ServerDownloads::changeSettings(const std::string& text, std::string& error) {
    std::lock_guard hold(lock_);
    ServerSettings changed = settings_;
    if (!applySettingsJson(text, changed, error) || !saveServerSettings(place_.settingsPath(), changed, error))
        return false;
    settings_ = changed;
    service_.setLimits(limitsOf(settings_));
    service_.setMedia(mediaOf(settings_));
    events_.publish("settings", settingsJson(settings_));
    say("settings changed: " + settingsJson(settings_));
    return true;
}

void ServerDownloads::makeMissingPosters(const std::vector<std::string>& videoPaths) {
    service_.makeMissingPosters(videoPaths);
}

void ServerDownloads::refreshMediaFiles(std::vector<WorkMedia> saved) { service_.refreshMediaFiles(std::move(saved)); }

std::string ServerDownloads::folder() const {
    std::lock_guard hold(lock_);
    return settings_.folder.empty() ? downloadFolder() : settings_.folder;
}

void ServerDownloads::say(const std::string& line) const {
    if (place_.log) place_.log(line);
}

}  // namespace zorvan
