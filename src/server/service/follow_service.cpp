#include "server/service/follow_service.h"
#include "words/item_json.h"

#include "follow/follow_check.h"
#include "store/library_db.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <ctime>

namespace zorvan {

using nlohmann::json;

namespace {

std::string faultWords(ListingFault fault) {
    switch (fault) {
        case ListingFault::Unreachable: return "the service could not be reached";
        case ListingFault::NotFound: return "the service knows no such performer";
        case ListingFault::NotAList: return "the service did not answer with a works list";
        case ListingFault::None: break;
    }
    return {};
}

// The library for one request; its connection waits for the others.
std::unique_ptr<LibraryDb> openLibrary(const ServerDownloads& downloads, std::string& error) {
    return LibraryDb::open(downloads.place().libraryPath(), error);
}

}  // namespace

FollowService::FollowService(ServerDownloads& downloads) : downloads_(downloads) {}

FollowService::~FollowService() { stop(); }

void FollowService::start() {
    checker_ = std::jthread([this](std::stop_token stop) { run(stop); });
}

void FollowService::stop() {
    if (!checker_.joinable()) return;
    checker_.request_stop();
    asked_.notify_all();
    checker_.join();
}

bool FollowService::follow(const std::string& performer, std::string& error) {
    std::unique_ptr<LibraryDb> db = openLibrary(downloads_, error);
    if (!db || !db->follows().follow(performer, std::time(nullptr), error)) return false;
    downloads_.events().publish("followed", jsonText(json{{"performer", performer}}));
    checkSoon(performer);  // its works are known from the start, so later ones count as new
    return true;
}

bool FollowService::unfollow(const std::string& performer, std::string& error) {
    std::unique_ptr<LibraryDb> db = openLibrary(downloads_, error);
    if (!db || !db->follows().unfollow(performer, error)) return false;
    downloads_.events().publish("unfollowed", jsonText(json{{"performer", performer}}));
    return true;
}

std::vector<FollowedPerformer> FollowService::following(std::string& error) {
    std::unique_ptr<LibraryDb> db = openLibrary(downloads_, error);
    return db ? db->follows().following(error) : std::vector<FollowedPerformer>{};
}

std::vector<SeenWork> FollowService::newWorks(const std::string& performer, std::string& error) {
    std::unique_ptr<LibraryDb> db = openLibrary(downloads_, error);
    return db ? db->follows().newWorks(performer, error) : std::vector<SeenWork>{};
}

void FollowService::checkSoon(const std::string& performer) {
    {
        std::lock_guard hold(lock_);
        askedFor_.insert(performer);
    }
    asked_.notify_all();
}

int FollowService::downloadNew(const std::string& performer, std::string& error) {
    std::unique_ptr<LibraryDb> db = openLibrary(downloads_, error);
    if (!db) return -1;
    std::vector<std::string> performers;
    if (!performer.empty()) performers.push_back(performer);
    else
        for (const FollowedPerformer& followed : db->follows().following(error)) performers.push_back(followed.id);
    std::vector<Work> works;
    for (const std::string& id : performers)
        for (const SeenWork& seen : db->follows().newWorks(id, error))
            works.push_back(downloads_.workOf(id, seen.sequence, seen.songName, seen.address, seen.workId, seen.repeat));
    if (!error.empty()) return -1;
    if (!works.empty()) downloads_.enqueue(works);
    return static_cast<int>(works.size());
}

// The performers asked for, or every one followed when a round is due.
std::vector<std::string> FollowService::takeAsked(std::chrono::steady_clock::time_point& nextRound,
                                                  std::stop_token& stop) {
    std::unique_lock hold(lock_);
    asked_.wait_until(hold, stop, nextRound, [&] { return !askedFor_.empty(); });
    std::vector<std::string> asked(askedFor_.begin(), askedFor_.end());
    askedFor_.clear();
    const int minutes = downloads_.settings().checkEveryMinutes;
    const auto now = std::chrono::steady_clock::now();
    if (minutes > 0 && now >= nextRound) {
        asked = {""};
        nextRound = now + std::chrono::minutes(minutes);
    } else if (minutes == 0) {
        nextRound = now + std::chrono::hours(24 * 365);
    }
    return asked;
}

void FollowService::run(std::stop_token stop) {
    // The first round comes a little after the start, once the queue runs.
    auto nextRound = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!stop.stop_requested()) {
        const std::vector<std::string> asked = takeAsked(nextRound, stop);
        if (asked.empty() || stop.stop_requested()) continue;
        std::string error;
        std::unique_ptr<LibraryDb> db = openLibrary(downloads_, error);
        if (!db) {
            downloads_.place().log("following: the library cannot be opened: " + error);
            continue;
        }
        std::vector<std::string> performers = asked;
        if (std::find(asked.begin(), asked.end(), "") != asked.end()) {
            performers.clear();
            for (const FollowedPerformer& followed : db->follows().following(error)) performers.push_back(followed.id);
        }
        for (const std::string& performer : performers) {
            if (stop.stop_requested()) break;
            check(*db, performer);
        }
    }
}

void FollowService::check(LibraryDb& db, const std::string& performer) {
    const FollowCheck result =
        checkFollowed(db, downloads_.place().serviceAddress, performer, faultWords, std::time(nullptr));
    const std::string failure = !result.storeError.empty() ? "the library could not be written: " + result.storeError
                                                           : faultWords(result.fault);
    downloads_.events().publish(
        "followChecked",
        jsonText(json{{"performer", performer},
                      {"firstSeen", result.firstSeen},
                      {"error", failure.empty() ? json() : json(failure)}}));
    if (!failure.empty()) {
        downloads_.place().log("checked " + performer + ": " + failure);
        return;
    }
    std::string error;
    const std::size_t fresh = db.follows().newWorks(performer, error).size();
    downloads_.place().log("checked " + performer + ": " + std::to_string(fresh) + " new works");
    if (result.firstSeen > 0 && fresh > 0)
        downloads_.events().publish("newWorks", jsonText(json{{"performer", performer}, {"count", fresh}}));
}

}  // namespace zorvan
