#include "cli/follow_commands.h"

#include "download_policy/failure_report.h"
#include "cli/get_all_command.h"
#include "cli/terminal.h"
#include "cli/works_listing.h"
#include "download_policy/download_folder.h"
#include "download_policy/work_file.h"
#include "follow/follow_check.h"
#include "queue/download_archive.h"
#include "store/library_db.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <ctime>
#include <memory>

namespace zorvan::cli {

namespace {

std::int64_t nowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string timeText(std::int64_t seconds) {
    if (seconds <= 0) return "never";
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

std::unique_ptr<LibraryDb> openLibrary() {
    std::string error;
    auto db = LibraryDb::open(libraryDbPath(), error);
    if (!db) std::fprintf(stderr, "zorvan-cli: %s\n", error.c_str());
    return db;
}

// A command that only reads finds no library rather than making one.
bool libraryExists() {
    std::error_code ignored;
    return std::filesystem::exists(libraryDbPath(), ignored);
}

int nobodyFollowed() {
    if (!quiet()) std::fprintf(stderr, "zorvan-cli: no performer is followed (zorvan-cli follow ID)\n");
    return exitCode::done;
}

int listFollowing(LibraryDb& db, bool json) {
    std::string error;
    const std::vector<FollowedPerformer> list = db.follows().following(error);
    if (!error.empty()) {
        std::fprintf(stderr, "zorvan-cli: cannot read the library: %s\n", error.c_str());
        return exitCode::localFile;
    }
    bool written = true;
    if (json) {
        nlohmann::ordered_json out = nlohmann::ordered_json::array();
        for (const FollowedPerformer& p : list)
            out.push_back({{"id", p.id}, {"works", p.works}, {"added", p.added}, {"lastChecked", p.lastChecked},
                           {"lastError", p.lastError}});
        written = printOut(out.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
    } else {
        for (const FollowedPerformer& p : list)
            written = printOut(p.id + "\t" + std::to_string(p.works) + (p.works == 1 ? " work" : " works") +
                               "\tlast checked " + timeText(p.lastChecked) +
                               (p.lastError.empty() ? std::string() : "\t" + p.lastError)) &&
                      written;
        if (list.empty() && !quiet()) std::fprintf(stderr, "zorvan-cli: no performer is followed (zorvan-cli follow ID)\n");
    }
    if (std::fflush(stdout) != 0 || !written) {
        std::fprintf(stderr, "zorvan-cli: cannot write to standard output\n");
        return exitCode::localFile;
    }
    return exitCode::done;
}

// The folder's text archive, from before the library knew of files, taken
// in once; the archive itself stays and is still written.
bool importArchive(LibraryDb& db, const std::string& folder) {
    const std::string path = folder + "/" + DownloadArchive::fileName;
    std::error_code ignored;
    if (!std::filesystem::exists(path, ignored)) return true;
    DownloadArchive archive;
    std::string error;
    if (archive.open(folder, error)) {
        const std::vector<std::string> keys(archive.keys().begin(), archive.keys().end());
        if (db.files().importArchive(path, keys, nowSeconds(), error)) return true;
    }
    std::fprintf(stderr, "zorvan-cli: cannot take in the archive %s: %s\n", path.c_str(), error.c_str());
    return false;
}

}  // namespace

int runFollow(const FollowOptions& options) {
    if (options.command == "following" && !libraryExists()) {
        if (options.json && !printOut("[]")) return exitCode::localFile;
        return nobodyFollowed();
    }
    if (options.command == "unfollow" && !libraryExists()) {
        for (const std::string& id : options.performers)
            std::fprintf(stderr, "zorvan-cli: %s was not followed\n", id.c_str());
        return exitCode::done;
    }
    const auto db = openLibrary();
    if (!db) return exitCode::localFile;
    if (options.command == "following") return listFollowing(*db, options.json);
    std::string error;
    for (const std::string& id : options.performers) {
        if (options.command == "follow") {
            if (!db->follows().follow(id, nowSeconds(), error)) break;
            std::fprintf(stderr, "following %s\n", id.c_str());
        } else if (db->follows().unfollow(id, error)) {
            std::fprintf(stderr, "no longer following %s (its files stay)\n", id.c_str());
        } else if (error.empty()) {
            std::fprintf(stderr, "zorvan-cli: %s was not followed\n", id.c_str());
        }
    }
    if (!error.empty()) {
        std::fprintf(stderr, "zorvan-cli: cannot write the library: %s\n", error.c_str());
        return exitCode::localFile;
    }
    return exitCode::done;
}

int runSync(const GetAllOptions& options) {
    if (!libraryExists()) return nobodyFollowed();
    const auto db = openLibrary();
    if (!db) return exitCode::localFile;
    std::string error;
    const std::vector<FollowedPerformer> list = db->follows().following(error);
    if (!error.empty()) {
        std::fprintf(stderr, "zorvan-cli: cannot read the library: %s\n", error.c_str());
        return exitCode::localFile;
    }
    if (list.empty()) return nobodyFollowed();
    if (!options.dryRun && !importArchive(*db, options.folder.empty() ? downloadFolder() : options.folder))
        return exitCode::localFile;
    JobSettings job;
    if (!prepareGetAll(options, job, error)) {
        std::fprintf(stderr, "zorvan-cli: %s\n", error.c_str());
        return exitCode::usage;
    }
    GetAllOptions each = options;
    each.listSkips = false;  // a sync says what it fetches, not the archive it passes over
    RunSummary summary;
    const auto syncStarted = std::chrono::steady_clock::now();
    int worst = exitCode::done;
    for (const FollowedPerformer& performer : list) {
        if (interrupted) return interruptedExitCode();
        const auto started = std::chrono::steady_clock::now();
        GetAllOptions one = each;
        one.performerId = performer.id;
        if (!quiet()) std::fprintf(stderr, "== performer %s\n", performer.id.c_str());
        const WorksListing listing = listWorks(options.service, performer.id, options.network.retries.value_or(0),
                                               options.network.retryWaitSeconds);
        if (interrupted) return interruptedExitCode();
        const Verdict fault = listingFault(listing, options.service, performer.id);
        // A dry run changes nothing, the record of what was seen included.
        const std::vector<SeenWork> seen = seenWorksOf(listing.works);
        FollowStore& follows = db->follows();
        const int fresh = !options.dryRun     ? follows.recordCheck(performer.id, seen, fault.text, nowSeconds(), error)
                          : fault.text.empty() ? follows.unseenCount(performer.id, seen, error)
                                               : 0;
        if (fresh < 0) {
            std::fprintf(stderr, "zorvan-cli: cannot %s the library: %s\n", options.dryRun ? "read" : "write",
                         error.c_str());
            return exitCode::localFile;
        }
        if (!fault.text.empty()) {
            std::fprintf(stderr, "zorvan-cli: %s; tried again at the next sync\n", fault.text.c_str());
            if (worst == exitCode::done) worst = fault.exitCode;
            continue;
        }
        if (!quiet() && fresh > 0 && performer.lastChecked > 0)
            std::fprintf(stderr, "%d new %s since the last check\n", fresh, fresh == 1 ? "work" : "works");
        const int code = fetchListed(one, job, listing, started, db.get(), summary);
        if (code == interruptedExitCode() && interrupted) return endWithSummary(options, summary, syncStarted, code);
        if (code != exitCode::done && (worst == exitCode::done || code == exitCode::someFailed)) worst = code;
    }
    return endWithSummary(options, summary, syncStarted, worst);
}

}  // namespace zorvan::cli
