#include "cli/verify_command.h"

#include "cli/download_job.h"
#include "cli/json_results.h"
#include "cli/live_display.h"
#include "cli/network_setup.h"
#include "cli/progress_line.h"
#include "cli/queue_run_parts.h"
#include "cli/service_run.h"
#include "words/item_words.h"
#include "cli/terminal.h"
#include "download_policy/download_folder.h"
#include "download_policy/failure_report.h"
#include "download_policy/work_file.h"
#include "catalogue/performer_works.h"
#include "media_files/digest_worker.h"
#include "media_files/library_check.h"
#include "queue/download_queue.h"
#include "store/known_files.h"
#include "store/library_db.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>

namespace zorvan::cli {

namespace {

using json = nlohmann::ordered_json;
using State = CheckedFile::State;

std::string nameOf(const std::string& path) { return std::filesystem::path(path).filename().string(); }


std::string progressText(const CheckProgress& p) {
    std::string text = "verifying " + std::to_string(p.files) + "/" + std::to_string(p.filesTotal) + " files  " +
                       humanBytes(static_cast<double>(p.bytes)) + " / " + humanBytes(static_cast<double>(p.bytesTotal));
    if (p.damaged) text += "  " + std::to_string(p.damaged) + " damaged";
    if (p.missing) text += "  " + std::to_string(p.missing) + " missing";
    return text;
}

std::string lineOf(const CheckedFile& f) {
    switch (f.state) {
        case State::Ok: return "ok        " + f.path;
        case State::Damaged:
            return "damaged   " + f.path + (f.sha256.empty() ? ": it cannot be read through"
                                                            : ": its SHA-256 is not the one taken when it was saved");
        case State::Missing: return "missing   " + f.path + ": the library knows it, the disk no longer has it";
        case State::Unverified:
            return "unverified " + f.path + ": saved before digests were kept; its digest is taken now";
        case State::Unknown: return "unknown   " + f.path + ": not saved by Zorvan (the library does not know it)";
    }
    return f.path;
}

// Where a damaged work is fetched from again: the address it was saved
// from, else the one its performer's listing gives it now.
std::string addressOf(const CheckedFile& f, const std::string& service,
                      std::map<std::string, std::vector<ListedWork>>& listings) {
    if (!f.file.address.empty()) return f.file.address;
    if (f.file.performer.empty()) return {};
    auto listed = listings.find(f.file.performer);
    if (listed == listings.end())
        listed = listings.emplace(f.file.performer, listPerformerWorks(service, f.file.performer).works).first;
    for (const ListedWork& work : listed->second)
        if (workKey(work.address) == f.file.key || (!f.file.workId.empty() && work.id == f.file.workId))
            return work.address;
    return {};
}

// A damaged file's work, to be fetched again in its place.
Work workToRepair(const CheckedFile& f, const std::string& address, const std::string& service) {
    Work work;
    work.title = nameOf(f.path);
    work.address = address;
    work.path = f.path;
    work.clash = ClashChoice::Rename;
    work.service = service;
    work.performer = f.file.performer;
    work.sequence = f.file.sequence;
    work.songName = f.file.songName;
    work.batch = true;
    work.workId = f.file.workId;
    work.replacesDamaged = true;
    return work;
}

// What the fetches brought: each file saved again recorded with its digest;
// how many were.
int recordRepairs(const QueueMirror& queue, const std::map<int, CheckedFile*>& queued, LiveDisplay& display) {
    std::string error;
    const std::unique_ptr<LibraryDb> db = LibraryDb::open(libraryDbPath(), error);
    DigestWorker digests(libraryDbPath());
    int repaired = 0;
    for (const QueueItem& item : queue.items()) {
        CheckedFile& f = *queued.at(item.id);
        if (item.state != ItemState::Done) {
            display.print("failed    " + f.path + ": " + failureWords(item, Words::English) +
                          (item.setAside.empty() ? "" : "; the damaged file is kept as " + nameOf(item.setAside)));
            continue;
        }
        WorkFile saved = f.file;
        saved.path = libraryPath(item.savedPath);
        saved.size = item.done;
        saved.address = item.work.address;
        if (db) db->files().record(saved, std::time(nullptr), error);
        digests.add(saved.path);
        display.print("repaired  " + saved.path);
        f.state = State::Ok;
        f.size = item.done;
        ++repaired;
    }
    digests.finish();
    return repaired;
}

// Fetches the damaged files again in their places; how many were.
int repair(std::vector<CheckedFile>& files, const VerifyOptions& options, LiveDisplay& display) {
    JobSettings job;
    std::string error;
    if (!applyFetchNetwork(options.network, options.service, error) ||
        !applyNetwork(options.network, options.service, job, error)) {
        display.print("zorvan-cli: " + error);
        return 0;
    }
    job.connections = options.connections;
    std::map<std::string, std::vector<ListedWork>> listings;
    std::vector<Work> works;
    std::vector<CheckedFile*> damaged;
    for (CheckedFile& f : files) {
        if (f.state != State::Damaged) continue;
        const std::string address = addressOf(f, options.service, listings);
        if (address.empty()) {
            display.print("cannot repair " + nameOf(f.path) + ": its address was not kept and its performer does not "
                          "list it now");
            continue;
        }
        works.push_back(workToRepair(f, address, options.service));
        damaged.push_back(&f);
    }
    if (works.empty()) return 0;
    display.print("fetching " + std::to_string(works.size()) + " damaged " + (works.size() == 1 ? "file" : "files") +
                  " again");
    QueueSettings settings;
    settings.limits = cliLimits;
    settings.taskParams = [job] { return cliTaskParams(job); };
    ServiceRun run(settings, {QueueSettings{}.parallel, options.connections, 0, false});
    std::map<int, CheckedFile*> queued;
    const std::vector<int> ids = run.add(std::move(works));
    for (std::size_t i = 0; i < ids.size(); ++i) queued[ids[i]] = damaged[i];
    ServiceRun::Hooks hooks;
    hooks.show = [&] {
        double speed = 0;
        display.show(runningLines(run.queue().items(), speed));
    };
    hooks.stopWhenGivenUp = true;
    run.run(hooks);
    display.clear();
    return recordRepairs(run.queue(), queued, display);
}

}  // namespace

namespace {

// Where a check looks: the performers and paths named, and unknown videos
// where works are saved, unless paths say where.
CheckScope scopeOf(const VerifyOptions& options) {
    CheckScope scope{options.performers, options.paths, {}};
    if (options.paths.empty()) {
        const std::string folder = options.folder.empty() ? downloadFolder() : options.folder;
        if (std::filesystem::is_directory(folder)) scope.folders.push_back(folder);
    } else if (!options.folder.empty()) {
        scope.folders.push_back(options.folder);
    }
    return scope;
}

bool printFileJson(const CheckedFile& f) {
    return printJsonLine({{"type", "file"},
                          {"path", f.path},
                          {"state", stateName(f.state)},
                          {"size", f.size},
                          {"sha256", f.sha256.empty() ? json() : json(f.sha256)},
                          {"expected", f.expected.empty() ? json() : json(f.expected)},
                          {"performer", f.file.performer.empty() ? json() : json(f.file.performer)},
                          {"songName", f.file.songName.empty() ? json() : json(f.file.songName)}});
}

// The counts said, on standard error and with --json; false when the JSON
// could not be written.
bool sayCounts(const VerifyOptions& options, std::map<State, int>& counts, int repaired, int code) {
    const int bad = counts[State::Damaged] + counts[State::Missing];
    const std::string summary = std::to_string(counts[State::Ok]) + " ok, " + std::to_string(counts[State::Damaged]) +
                                " damaged, " + std::to_string(counts[State::Missing]) + " missing, " +
                                std::to_string(counts[State::Unverified]) + " unverified (digest taken now), " +
                                std::to_string(counts[State::Unknown]) + " unknown" +
                                (options.repair ? ", " + std::to_string(repaired) + " repaired" : std::string());
    if (!quiet() || bad > 0) std::fprintf(stderr, "verified: %s\n", summary.c_str());
    if (bad > 0 && !options.repair && counts[State::Damaged] > 0)
        std::fprintf(stderr, "zorvan-cli: run 'zorvan-cli verify --repair' to fetch the damaged files again\n");
    return !options.json || printJsonLine({{"type", "summary"},
                                           {"ok", counts[State::Ok]},
                                           {"damaged", counts[State::Damaged]},
                                           {"missing", counts[State::Missing]},
                                           {"unverified", counts[State::Unverified]},
                                           {"unknown", counts[State::Unknown]},
                                           {"repaired", repaired},
                                           {"exitCode", code}});
}

}  // namespace

int runVerify(const VerifyOptions& options) {
    setOutputStyle(options.display.progress, options.display.quiet);
    LiveDisplay display;
    bool jsonFailed = false;
    std::string error;
    std::vector<CheckedFile> files = checkLibrary(
        libraryDbPath(), scopeOf(options),
        [&](const CheckProgress& progress, const CheckedFile* f) {
            // What needs the user: a thousand "ok" lines would hide it.
            if (f && f->state != State::Ok && !options.json) display.print(lineOf(*f));
            if (f && options.json && !printFileJson(*f)) jsonFailed = true;
            display.show({progressText(progress)});
        },
        &interrupted, error);
    display.clear();
    if (!error.empty()) {
        std::fprintf(stderr, "zorvan-cli: cannot read the library: %s\n", error.c_str());
        return exitCode::localFile;
    }
    if (interrupted) return interruptedExitCode();
    const int repaired = options.repair ? repair(files, options, display) : 0;
    std::map<State, int> counts;
    for (const CheckedFile& f : files) ++counts[f.state];
    const int bad = counts[State::Damaged] + counts[State::Missing];
    const int code = interrupted ? interruptedExitCode() : bad > 0 ? exitCode::someFailed : exitCode::done;
    if (!sayCounts(options, counts, repaired, code) || jsonFailed) {
        std::fprintf(stderr, "zorvan-cli: cannot write the results to standard output\n");
        return exitCode::localFile;
    }
    return code;
}

}  // namespace zorvan::cli
