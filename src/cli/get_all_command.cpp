#include "cli/get_all_command.h"

#include "cli/download_job.h"
#include "download_policy/failure_report.h"
#include "cli/get_command.h"
#include "cli/json_results.h"
#include "cli/live_display.h"
#include "cli/network_setup.h"
#include "cli/progress_line.h"
#include "cli/queue_run_parts.h"
#include "cli/service_run.h"
#include "words/item_words.h"
#include "cli/terminal.h"
#include "cli/works_listing.h"
#include "download/rate_limiter.h"
#include "download_policy/download_folder.h"
#include "download_policy/work_file.h"
#include "media_files/digest_worker.h"
#include "media_files/noted_poster_worker.h"
#include "media_files/work_sidecars.h"
#include "catalogue/performer_works.h"
#include "queue/download_archive.h"
#include "queue/download_queue.h"
#include "store/known_files.h"
#include "store/library_db.h"

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <memory>
#include <optional>
#include <thread>

namespace zorvan::cli {

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool fileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

std::string fileNameOf(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// "1 work", "2 works".
std::string count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

struct Tally {
    int done = 0, failed = 0, archived = 0, existing = 0;
    std::int64_t fetched = 0;    // bytes this run brought
    std::int64_t takenOver = 0;  // bytes part files of earlier runs held
};

class GetAllRun {
public:
    GetAllRun(const GetAllOptions& options, std::string folder, DownloadArchive& archive, LibraryDb* library,
              const JobSettings& job)
        : options_(options),
          folder_(std::move(folder)),
          archive_(archive),
          library_(library),
          run_(queueSettings(options, job), {options.parallel, options.connections, options.speedLimit, options.strict}) {
        std::string error;
        if (library_) known_ = readKnownFiles(*library_, error);
        if (!error.empty()) display_.print("zorvan-cli: cannot read the library (files are known by name only): " + error);
    }

    GetAllRun(const GetAllRun&) = delete;
    GetAllRun& operator=(const GetAllRun&) = delete;

    // Sorts the listed works into those to fetch and those already here;
    // a dry run only says which is which. A work is its performer and its
    // own address (or id): a file under its name that the library knows as
    // another work's is left alone, the work saved beside it; its own file
    // is there only while its bytes are as saved (else it is fetched
    // again); one the library does not know is checked against the server
    // by the engine (skipped when it is this work whole, completed when it
    // is its start). `repeats`: each work's repeat number in the whole
    // listing, by address.
    void plan(const std::vector<ListedWork>& works, const std::map<std::string, int>& repeats) {
        for (const ListedWork& listed : works) {
            const auto repeat = repeats.find(listed.address);
            const int n = repeat == repeats.end() ? 1 : repeat->second;
            const std::string path = localPath(listed, n);
            const std::string line = std::to_string(listed.sequence) + "\t" + fileNameOf(path);
            std::string where;
            FileProof proof = FileProof::None;
            const FilePresence presence = known_.presenceOf(identityOf(listed, n), path, &where, &proof);
            // The archive says a work was fetched once (its file may since
            // have been deleted on purpose); a file of it that is damaged is
            // fetched again all the same.
            if (archive_.contains(listed.address) && presence != FilePresence::Damaged) {
                ++tally_.archived;
                planned(listed, path, "skipped", "in the archive");
                backfillMediaFiles(path, listed);
                continue;
            }
            if (presence == FilePresence::Known) {
                ++tally_.existing;
                planned(listed, path, "skipped", alreadyThereText(proof, where),
                        proof == FileProof::AsSaved || proof == FileProof::Digest);
                backfillMediaFiles(where, listed);
                continue;
            }
            ++pending_;
            const bool damaged = presence == FilePresence::Damaged;
            const bool rename = options_.renameOnExists || presence == FilePresence::OtherWork || damaged;
            const std::string target = damaged ? where : path;
            if (damaged)
                display_.print("damaged " + fileNameOf(target) +
                               ": its bytes are not those saved (SHA-256 differs); " +
                               (options_.dryRun ? "it would be fetched again" : "fetching it again"));
            if (options_.dryRun) {
                display_.print("fetch " + line + planNote(presence));
                planned(listed, path, "would-fetch", damaged ? "damaged" : std::string());
                continue;
            }
            // A performer's folder is made before its first work's turn.
            std::error_code ignored;
            std::filesystem::create_directories(std::filesystem::path(target).parent_path(), ignored);
            Work work;
            work.title = fileNameOf(target);
            work.address = listed.address;
            work.path = target;
            work.clash = rename ? ClashChoice::Rename : ClashChoice::Complete;
            work.service = options_.service;
            work.performer = options_.performerId;
            work.sequence = listed.sequence;
            work.songName = listed.songName;
            work.batch = true;
            work.workId = listed.id;
            work.replacesDamaged = damaged;
            work.repeat = n;
            works_.push_back(std::move(work));
        }
    }

    // Why a work is not fetched again: how its file is known to be as saved.
    static std::string alreadyThereText(FileProof proof, const std::string& where) {
        const std::string name = fileNameOf(where);
        switch (proof) {
            case FileProof::AsSaved: return "already there (" + name + ", as saved: verified by its SHA-256)";
            case FileProof::Digest: return "already there (" + name + ", touched since but its SHA-256 is as saved)";
            default: return "already there (" + name + ", not verified: saved before digests were kept)";
        }
    }

    // A work the plan does not fetch (or, in a dry run, would): said in a
    // dry run, and an object with --json, when skips are listed.
    void planned(const ListedWork& listed, const std::string& path, const std::string& state, const std::string& why,
                 std::optional<bool> verified = std::nullopt) {
        const bool skip = state == "skipped";
        if (skip && !options_.listSkips) return;
        if (skip && options_.dryRun)
            display_.print("skip  " + std::to_string(listed.sequence) + "\t" + fileNameOf(path) + ": " + why);
        ItemResult result{listed.address, path, state, why, 0, 0, 0, 0};
        result.verified = verified;
        json(result, listed.sequence, listed.songName);
    }

    void json(ItemResult result, int sequence, const std::string& songName) {
        if (!options_.json) return;
        result.performer = options_.performerId;
        result.sequence = sequence;
        result.songName = songName;
        if (!printItemJson(result)) jsonFailed_ = true;
    }

    void json(const QueueItem& item, const std::string& state, const std::string& cause, int code) {
        const std::string path = item.savedPath.empty() ? item.work.path : item.savedPath;
        ItemResult result{item.work.address, path, state, cause, item.done, state == "skipped" ? 0 : item.continuedFrom,
                          item.runs > 0 ? secondsSince(started_) : 0, code};
        // Bytes taken from the disk are proven only by a validator of the server.
        if (item.outcome == TaskOutcome::AlreadyThere) result.verified = false;
        else if (item.continuedFrom > 0) result.verified = item.checkedBytes == 0;
        result.queued = item;
        json(result, item.work.sequence, item.work.songName);
    }

    bool jsonFailed() const { return jsonFailed_; }

    // A line that is not a failure: left out by -q.
    void note(const std::string& line) {
        if (!quiet()) display_.print(line);
    }

    int pendingCount() const { return pending_; }
    const Tally& tally() const { return tally_; }
    bool stopped() const { return stopped_; }
    bool gaveUp() const { return run_.gaveUp(); }
    bool folderGone() const { return run_.queue().folderGone(); }
    LiveDisplay& display() { return display_; }

    void run() {
        if (!works_.empty()) run_.add(std::move(works_));
        ServiceRun::Hooks hooks;
        hooks.event = [this](const ServiceEvent& e) {
            if (e.kind == ServiceEvent::Kind::Changed) {
                sayContinuing(e.item);
                report(e.item);
            } else if (e.kind == ServiceEvent::Kind::Progress) {
                for (const QueueItem& item : e.items) sayContinuing(item);
            }
        };
        hooks.beat = [this] {
            if (Clock::now() - lastRecorded_ >= std::chrono::seconds(1)) writeRecords();
        };
        hooks.show = [this] { showProgress(); };
        hooks.stopWhenGivenUp = true;
        run_.run(hooks);
        stopped_ = run_.interrupted();
        writeRecords();
        display_.clear();
        // What stopping kept for the next run.
        for (const QueueItem& item : run_.queue().items()) {
            if (item.settled()) continue;
            const bool kept = item.state == ItemState::Paused && item.done > 0 && item.total > 0;
            if (kept) display_.print("stopped " + keptText(item));
            json(item, "stopped", kept ? keptText(item) : "not finished",
                 stopped_ ? interruptedExitCode() : exitCode::someFailed);
        }
    }

    int left() const {
        const QueueTotals& t = run_.queue().totals();
        return t.waiting + t.running + t.paused;
    }

private:
    static QueueSettings queueSettings(const GetAllOptions& options, JobSettings job) {
        job.connections = options.connections;
        job.continuePart = options.continuePart;
        job.strict = options.strict;
        QueueSettings settings;
        settings.parallel = options.parallel;
        settings.limits = cliLimits;
        // A folder named with -o that vanishes is the user's to make again.
        settings.remakeFolders = options.folder.empty();
        settings.taskParams = [job] { return cliTaskParams(job); };
        settings.findAddress = [](const Work& work) {
            return listedAddressOf(work.service, work.performer, work.workId, work.sequence, work.songName);
        };
        return settings;
    }

    WorkIdentity identityOf(const ListedWork& listed, int repeat) const {
        return {workKey(listed.address), options_.performerId, listed.sequence, listed.songName, listed.id, repeat};
    }

    std::string planNote(FilePresence presence) const {
        switch (presence) {
            case FilePresence::OtherWork: return ": the file there holds another work; saved under another name";
            case FilePresence::Damaged: return ": fetched again in place of the damaged file";
            case FilePresence::Unknown:
                return options_.renameOnExists ? ": the file exists; saved under another name"
                                               : ": the file exists; checked against the server (left if it is this "
                                                 "work, completed if it is its start, else saved under another name)";
            default: return {};
        }
    }

    // What the library learns of a work's file: it is this work's. Written
    // together about once a second, not a transaction per work.
    void recordFile(const QueueItem& item) {
        if (!library_) return;
        unrecorded_.push_back({workKey(item.work.address), libraryPath(item.savedPath), item.done, true,
                               item.work.performer, item.work.sequence, item.work.songName, item.work.workId,
                               item.work.address});
    }

    void writeRecords() {
        if (unrecorded_.empty()) return;
        std::string error;
        const std::int64_t now =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
        if (!library_->files().record(unrecorded_, now, error))
            display_.print("zorvan-cli: cannot write the library: " + error);
        unrecorded_.clear();
        lastRecorded_ = Clock::now();
    }

    // Where the work goes (UTF-8), named as the window names it.
    std::string localPath(const ListedWork& work, int repeat) const {
        return workFilePath(folder_, work.songName, options_.naming, options_.performerId, work.sequence, repeat);
    }

    // A work's file already there gets what it lacks (from before media
    // files were asked for) and an .nfo brought up to its record.
    void backfillMediaFiles(const std::string& path, const ListedWork& listed) {
        std::error_code ignored;
        if (posters_ && !options_.dryRun && std::filesystem::exists(path, ignored))
            giveMediaFiles(path, listed.sequence, listed.songName, true);
    }

    // The poster and .nfo of a work whose file is complete, made meanwhile.
    void giveMediaFiles(const std::string& path, int sequence, const std::string& songName, bool keepPoster = false) {
        if (!posters_) return;
        posters_->add({{path, songName, options_.performerId, sequence, 0, options_.service},
                       options_.naming == FileNaming::PerformerFolder, true, keepPoster});
    }

    static std::string keptText(const QueueItem& item) { return cli::keptText(item.work.title, item.done, item.total); }

    // A work that takes up what an earlier run left, once.
    void sayContinuing(const QueueItem& item) {
        const auto reason = static_cast<StartOverReason>(item.startedOver);
        const bool leftAlone = reason == StartOverReason::NotThisFile || reason == StartOverReason::NotChecked;
        if (item.startedOver != 0 && saidBeside_.insert(item.id).second)
            note(leftAlone ? fileNameOf(item.work.path) + " is left alone: " + startOverText(reason) +
                                 "; saving the work beside it"
                           : "starting " + fileNameOf(item.work.path) + " over: " + startOverText(reason));
        if (item.addressMoved && saidMoved_.insert(item.id).second)
            note("moved   " + item.work.title + ": its address expired; going on from the one the service lists now");
        if (item.continuedFrom <= 0 || item.total <= 0 || !saidContinuing_.insert(item.id).second) return;
        note(continuingText(item.work.title, item.continuedFrom, item.total, item.checkedBytes > 0));
    }

    // One line for each work that ends, as it ends.
    void report(const QueueItem& item) {
        if (!item.settled()) return;
        sayContinuing(item);
        if (item.state == ItemState::Done) {
            std::string error;
            if (archive_.add(item.work.address, error)) {
                ++tally_.done;
                tally_.fetched += item.done - item.continuedFrom;
                tally_.takenOver += item.continuedFrom;
                note("done    " + fileNameOf(item.savedPath) + " (" + humanBytes(static_cast<double>(item.done)) + ")");
                recordFile(item);
                if (digests_) digests_->add(libraryPath(item.savedPath));
                giveMediaFiles(item.savedPath, item.work.sequence, item.work.songName);
                json(item, "done", {}, exitCode::done);
            } else {
                ++tally_.failed;
                display_.print("failed  " + item.work.title + ": " + error + " <" + item.work.address + ">");
                json(item, "failed", error, exitCode::localFile);
            }
            return;
        }
        if (item.state == ItemState::Skipped) {
            ++tally_.existing;
            const std::string why = item.outcome == TaskOutcome::AlreadyThere
                                        ? alreadyThereSampled
                                        : "the file is already there";
            note("skipped " + item.work.title + ": " + why);
            if (item.outcome == TaskOutcome::AlreadyThere) recordFile(item);
            json(item, "skipped", why, exitCode::done);
            return;
        }
        ++tally_.failed;
        display_.print("failed  " + item.work.title + ": " + failureWords(item, Words::English) + " <" + item.work.address + ">");
        if (item.done > 0 && item.total > 0) display_.print("        " + keptText(item));
        if (!item.setAside.empty()) display_.print("        the damaged file is kept as " + fileNameOf(item.setAside));
        json(item, "failed", failureWords(item, Words::English), itemExitCode(item));
    }

    void showProgress() {
        double speed = 0;
        std::vector<std::string> lines = runningLines(run_.queue().items(), speed);
        lines.push_back("works: " + std::to_string(tally_.done) + " done, " + std::to_string(tally_.failed) +
                        " failed, " + std::to_string(left()) + " left  " +
                        humanBytes(static_cast<double>(tally_.fetched)) + " fetched  " + humanBytes(speed) + "/s");
        display_.show(lines);
    }

    const GetAllOptions& options_;
    const std::string folder_;  // UTF-8
    DownloadArchive& archive_;
    LibraryDb* library_;
    KnownFiles known_;
    LiveDisplay display_;
    Tally tally_;
    std::vector<Work> works_;  // to queue once the plan is made
    ServiceRun run_;
    std::set<int> saidContinuing_;
    std::set<int> saidMoved_;
    std::set<int> saidBeside_;
    std::vector<WorkFile> unrecorded_;  // files saved since the library was last written
    Clock::time_point lastRecorded_ = Clock::now();
    int pending_ = 0;
    bool stopped_ = false;
    bool jsonFailed_ = false;
    const Clock::time_point started_ = Clock::now();
    // Makes posters and .nfo files beside the works as they finish; none
    // when they were not asked for. A video no poster can be made of is
    // noted in the library.
    std::unique_ptr<PosterWorker> posters_ =
        !options_.withMediaFiles() ? nullptr
        : library_                 ? posterWorkerNotingIn(libraryDbPath())
                                   : std::make_unique<PosterWorker>();
    // Takes each saved file's digest into the library, so that a later run
    // can prove it is as saved; none without a library.
    std::unique_ptr<DigestWorker> digests_ = library_ ? std::make_unique<DigestWorker>(libraryDbPath()) : nullptr;

public:
    // Waits for the digests still being taken; a file whose digest could
    // not be kept is said so (it will be "not verified").
    void finishDigests() {
        if (!digests_) return;
        for (const std::string& line : digests_->finish().notes) note("note    " + line);
    }

    // Waits for the posters still being made and says how they went.
    void finishMediaFiles() {
        if (!posters_) return;
        const PosterWorker::Tally t = posters_->finish();
        for (const std::string& line : t.notes) note("note    " + line);
        if (t.made + t.failed == 0) return;
        char line[160];
        std::snprintf(line, sizeof line, "posters: %d made (%.0f ms of CPU each)%s", t.made,
                      t.made ? t.cpuSeconds * 1000 / t.made : 0.0,
                      t.failed ? (", " + std::to_string(t.failed) + " could not be made").c_str() : "");
        note(line);
    }
};

int fail(const std::string& message, int code) {
    std::fprintf(stderr, "zorvan-cli: %s\n", message.c_str());
    return code;
}

}  // namespace

bool prepareGetAll(const GetAllOptions& options, JobSettings& job, std::string& error) {
    setOutputStyle(options.display.progress, options.display.quiet);
    useCliEngineSettings(0, options.network.retries.value_or(5), options.network.retryWaitSeconds, options.sync);
    if (!applyFetchNetwork(options.network, options.service, error) ||
        !applyNetwork(options.network, options.service, job, error))
        return false;
    warnIfInsecure(options.network);
    return true;
}

int runGetAll(const GetAllOptions& options) {
    std::string error;
    JobSettings job;
    if (!prepareGetAll(options, job, error)) return fail(error, exitCode::usage);
    const auto started = Clock::now();
    const WorksListing listing = listWorks(options.service, options.performerId, options.network.retries.value_or(0),
                                           options.network.retryWaitSeconds);
    if (interrupted) return interruptedExitCode();
    if (const Verdict fault = listingFault(listing, options.service, options.performerId); !fault.text.empty())
        return fail(fault.text, fault.exitCode);
    // The library knows which work each file holds; without it files are
    // known by their names, as before there was one.
    std::unique_ptr<LibraryDb> library;
    if (!options.dryRun || std::filesystem::exists(libraryDbPath())) {
        library = LibraryDb::open(libraryDbPath(), error);
        if (!library) std::fprintf(stderr, "zorvan-cli: %s; files are known by name only\n", error.c_str());
    }
    RunSummary summary;
    const int code = fetchListed(options, job, listing, started, library.get(), summary);
    return endWithSummary(options, summary, started, code);
}

int endWithSummary(const GetAllOptions& options, RunSummary& summary, std::chrono::steady_clock::time_point started,
                   int code) {
    if (!options.json) return code;
    summary.seconds = secondsSince(started);
    summary.exitCode = code;
    if (printSummaryJson(summary)) return code;
    return fail("cannot write the results to standard output", exitCode::localFile);
}

namespace {

// The folder made and its archive opened (read only, if there is one, in a
// dry run); the exit code of a failure, or nothing.
std::optional<int> openArchive(const GetAllOptions& options, const std::string& folder, DownloadArchive& archive) {
    std::string error;
    if (!options.dryRun) {
        std::error_code failure;
        std::filesystem::create_directories(folder, failure);
        if (failure) return fail("cannot make the folder " + folder + ": " + failure.message(), exitCode::localFile);
        if (!archive.open(folder, error)) return fail(error, exitCode::localFile);
    } else if (fileExists(folder + "/" + DownloadArchive::fileName) && !archive.open(folder, error)) {
        return fail(error, exitCode::localFile);
    }
    return std::nullopt;
}

// Works of one name are told apart by their place in the whole listing,
// whichever of them this run fetches: each address's repeat number.
std::map<std::string, int> repeatsOf(const WorksListing& listing) {
    std::map<std::string, int> repeats;
    const std::vector<int> numbers = listedRepeats(listing.works);
    for (std::size_t i = 0; i < numbers.size(); ++i) repeats.emplace(listing.works[i].address, numbers[i]);
    return repeats;
}

// The run's figures added to the summary, and its last line.
void sayHowItEnded(const GetAllRun& run, int existingBefore, RunSummary& summary,
                   std::chrono::steady_clock::time_point started) {
    const Tally& t = run.tally();
    const bool stopped = run.stopped() || run.gaveUp();
    summary.done += t.done;
    summary.failed += t.failed;
    summary.skipped += t.existing - existingBefore;
    summary.stopped += stopped ? run.left() : 0;
    summary.fetched += t.fetched;
    summary.takenOver += t.takenOver;
    if (quiet() && t.failed == 0 && !stopped) return;
    const std::string left = stopped ? ", " + std::to_string(run.left()) + " left" : "";
    // What this run fetched, apart from what part files of earlier runs held.
    const std::string takenOver =
        t.takenOver > 0 ? " (and " + humanBytes(static_cast<double>(t.takenOver)) + " taken over from part files)" : "";
    std::fprintf(stderr,
                 "%s: %d done, %d skipped (%d in the archive, %s already there), %d failed%s, %s fetched%s in %.1f s\n",
                 stopped ? "stopped" : "finished", t.done, t.archived + t.existing, t.archived,
                 count(static_cast<std::size_t>(t.existing), "file", "files").c_str(), t.failed, left.c_str(),
                 humanBytes(static_cast<double>(t.fetched)).c_str(), takenOver.c_str(), secondsSince(started));
}

// The exit code of a run that went its way.
int exitCodeOf(const GetAllRun& run, const std::string& folder) {
    if (run.jsonFailed()) return fail("cannot write the results to standard output", exitCode::localFile);
    if (run.stopped()) return interruptedExitCode();
    if (run.folderGone())
        return fail("the folder " + folder + " is gone (removed while downloading); make it again and run the same command",
                    exitCode::localFile);
    if (run.gaveUp()) {
        std::fprintf(stderr, "zorvan-cli: the service cannot be reached; stopped after %d failures in a row\n",
                     QueueSettings{}.unreachableInARow);
        return exitCode::someFailed;
    }
    return run.tally().failed > 0 ? exitCode::someFailed : exitCode::done;
}

}  // namespace

int fetchListed(const GetAllOptions& options, const JobSettings& job, const WorksListing& listing,
                std::chrono::steady_clock::time_point started, LibraryDb* library, RunSummary& summary) {
    const std::vector<ListedWork> works = selectWorks(listing.works, options.selection);
    const std::string chosen = options.selection.any() ? " (" + std::to_string(works.size()) + " chosen)" : "";
    const std::string folder = options.folder.empty() ? downloadFolder() : options.folder;
    DownloadArchive archive;
    if (const std::optional<int> failed = openArchive(options, folder, archive)) return *failed;

    GetAllRun run(options, folder, archive, library, job);
    run.plan(works, repeatsOf(listing));
    const std::size_t total = listing.works.size();
    summary.skipped += run.tally().archived + run.tally().existing;
    const int existingBefore = run.tally().existing;
    if (run.jsonFailed()) return fail("cannot write the results to standard output", exitCode::localFile);
    if (options.dryRun) {
        summary.wouldFetch += run.pendingCount();
        std::fprintf(stderr, "dry run: %s would be fetched into %s (%s listed%s; %d in the archive); nothing fetched\n",
                     count(static_cast<std::size_t>(run.pendingCount()), "work", "works").c_str(), folder.c_str(),
                     count(total, "work", "works").c_str(), chosen.c_str(), run.tally().archived);
        return exitCode::done;
    }
    if (run.pendingCount() == 0) {
        const int there = run.tally().existing;
        if (!quiet())
            std::fprintf(stderr, "nothing new to download: %s listed%s, %d in the archive%s\n",
                         count(total, "work", "works").c_str(), chosen.c_str(), run.tally().archived,
                         there > 0 ? (", " + std::to_string(there) + " already there").c_str() : "");
        run.finishMediaFiles();
        return exitCode::done;
    }
    run.note("downloading " + std::to_string(run.pendingCount()) + " of " + count(total, "work", "works") + chosen +
             " into " + folder);
    run.run();
    run.finishMediaFiles();
    run.finishDigests();
    sayHowItEnded(run, existingBefore, summary, started);
    return exitCodeOf(run, folder);
}

}  // namespace zorvan::cli
