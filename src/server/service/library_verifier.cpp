#include "server/service/library_verifier.h"

#include "catalogue/performer_works.h"
#include "server/service/server_downloads.h"
#include "server/service/library_files.h"
#include "words/item_json.h"

#include <nlohmann/json.hpp>

#include <ctime>
#include <filesystem>
#include <map>

namespace zorvan {

using nlohmann::json;

namespace {

// Progress goes out about five times a second, however small the files.
constexpr auto publishPause = std::chrono::milliseconds(200);

}  // namespace

LibraryVerifier::LibraryVerifier(ServerDownloads& downloads) : downloads_(downloads) {}

LibraryVerifier::~LibraryVerifier() { stop(); }

std::string LibraryVerifier::start(VerifyRequest request) {
    std::lock_guard hold(lock_);
    if (closed_) return "the server is stopping";
    if (state_.running)
        return "a check of the library is already running (" + std::to_string(state_.progress.files) + " of " +
               std::to_string(state_.progress.filesTotal) + " files read); wait for it to finish";
    // The last one has ended: its thread only has its end to publish, which
    // needs no lock of ours.
    if (thread_.joinable()) thread_.join();
    state_ = VerifyState{};
    state_.running = true;
    state_.request = request;
    state_.started = std::time(nullptr);
    lastPublished_ = std::chrono::steady_clock::now();
    stop_ = false;
    downloads_.events().publishProgress(verifyStateText(state_), "verify");
    thread_ = std::thread([this, request = std::move(request)] { run(request); });
    return {};
}

void LibraryVerifier::stop() {
    std::thread running;
    {
        std::lock_guard hold(lock_);
        closed_ = true;
        running = std::move(thread_);
    }
    stop_ = true;
    if (running.joinable()) running.join();
}

VerifyState LibraryVerifier::state() const {
    std::lock_guard hold(lock_);
    return state_;
}

namespace {

// Each file's state counted in the check's result.
void count(const std::vector<CheckedFile>& files, VerifyState& done) {
    for (const CheckedFile& f : files) {
        switch (f.state) {
            case CheckedFile::State::Ok: ++done.ok; break;
            case CheckedFile::State::Damaged: ++done.damaged; break;
            case CheckedFile::State::Missing: ++done.missing; break;
            case CheckedFile::State::Unverified: ++done.unverified; break;
            case CheckedFile::State::Unknown: ++done.unknown; break;
        }
    }
}

// The check's end in the server's log.
void logEnd(const std::function<void(const std::string&)>& log, const VerifyRequest& request, const VerifyState& done) {
    if (!log) return;
    for (const UnrepairedFile& f : done.unrepaired) log("cannot fetch " + f.path + " again: " + f.cause);
    if (!done.error.empty()) return log("the library cannot be checked: " + done.error);
    log("checked the library: " + std::to_string(done.ok) + " ok, " + std::to_string(done.damaged) + " damaged, " +
        std::to_string(done.missing) + " missing, " + std::to_string(done.unverified) +
        " without a digest (taken now), " + std::to_string(done.unknown) + " unknown" +
        (request.repair ? ", " + std::to_string(done.repaired.size()) + " queued again" : ""));
}

}  // namespace

void LibraryVerifier::tellProgress(const CheckProgress& progress) {
    std::string text;
    {
        std::lock_guard hold(lock_);
        state_.progress = progress;
        const auto now = std::chrono::steady_clock::now();
        if (now - lastPublished_ < publishPause) return;
        lastPublished_ = now;
        text = verifyStateText(state_);
    }
    downloads_.events().publishProgress(std::move(text), "verify");
}

void LibraryVerifier::run(const VerifyRequest& request) {
    const std::string folder = downloads_.folder();
    const ServicePlace& place = downloads_.place();
    std::string whose;
    for (const std::string& performer : request.performers) whose += (whose.empty() ? " of " : ", ") + performer;
    if (place.log)
        place.log("checking the library's files" + whose + " against their digests" +
                  (request.repair ? ", fetching damaged ones again" : ""));
    // Only the download folder is this server's library; unknown videos are
    // looked for there too.
    const CheckScope scope{request.performers, {}, {folder}, folder};
    VerifyState done;
    std::vector<CheckedFile> files = checkLibrary(
        place.libraryPath(), scope, [this](const CheckProgress& progress, const CheckedFile*) { tellProgress(progress); },
        &stop_, done.error);
    if (stop_) {
        std::lock_guard hold(lock_);
        state_.running = false;
        state_.finished = std::time(nullptr);
        state_.error = "stopped with the server";
        return;
    }
    count(files, done);
    if (request.repair && done.damaged > 0) repair(files, folder, done);
    logEnd(place.log, request, done);
    std::string text;
    {
        std::lock_guard hold(lock_);
        done.request = state_.request;
        done.progress = state_.progress;
        done.started = state_.started;
        done.finished = std::time(nullptr);
        state_ = std::move(done);
        text = verifyStateText(state_);
    }
    // After the state says it ended: a client told of the end reads it so.
    downloads_.events().publish("verifyDone", std::move(text));
}

// Queues the damaged files' works to be fetched again in their places, from
// the address each was saved from, else the one its performer lists now.
void LibraryVerifier::repair(const std::vector<CheckedFile>& files, const std::string& folder, VerifyState& done) {
    const std::string& service = downloads_.place().serviceAddress;
    std::map<std::string, PerformerWorks> listings;
    std::vector<Work> works;
    for (const CheckedFile& f : files) {
        if (f.state != CheckedFile::State::Damaged || stop_) continue;
        std::string address = f.file.address;
        std::string why = "its address was not kept and it has no performer to list it";
        if (address.empty() && !f.file.performer.empty()) {
            auto listed = listings.find(f.file.performer);
            if (listed == listings.end())
                listed = listings.emplace(f.file.performer, listPerformerWorks(service, f.file.performer)).first;
            for (const ListedWork& work : listed->second.works)
                if (workKey(work.address) == f.file.key || (!f.file.workId.empty() && work.id == f.file.workId))
                    address = work.address;
            why = !listed->second.reached ? "the service cannot be reached to list performer " + f.file.performer
                                          : "its address was not kept and performer " + f.file.performer +
                                                " does not list it now";
        }
        const std::string shown = insideFolder(folder, f.path);
        if (address.empty()) {
            done.unrepaired.push_back({shown, why});
            continue;
        }
        Work work{std::filesystem::path(f.path).filename().string(), address, f.path, ClashChoice::Rename, service,
                  f.file.performer, f.file.sequence, f.file.songName, true, f.file.workId};
        // Set aside as NAME.damaged while it runs, gone once the new one is saved.
        work.replacesDamaged = true;
        works.push_back(std::move(work));
    }
    if (!works.empty() && !stop_) done.repaired = downloads_.enqueue(works);
}

std::string verifyStateText(const VerifyState& s) {
    json state = {{"running", s.running},
                  {"performers", s.request.performers},
                  {"repair", s.request.repair},
                  {"files", s.progress.files},
                  {"filesTotal", s.progress.filesTotal},
                  {"bytes", s.progress.bytes},
                  {"bytesTotal", s.progress.bytesTotal},
                  {"damaged", s.progress.damaged},
                  {"missing", s.progress.missing},
                  {"started", s.started},
                  {"finished", s.finished},
                  {"error", s.error.empty() ? json() : json(s.error)}};
    if (!s.running && s.finished > 0) {
        json unrepaired = json::array();
        for (const UnrepairedFile& f : s.unrepaired) unrepaired.push_back({{"path", f.path}, {"cause", f.cause}});
        state["result"] = {{"ok", s.ok},
                           {"damaged", s.damaged},
                           {"missing", s.missing},
                           {"unverified", s.unverified},
                           {"unknown", s.unknown},
                           {"repaired", s.repaired},
                           {"notRepaired", std::move(unrepaired)}};
    }
    return jsonText(state);
}

}  // namespace zorvan
