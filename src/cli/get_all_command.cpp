#include "cli/get_all_command.h"

#include "cli/download_archive.h"
#include "cli/download_job.h"
#include "cli/get_command.h"
#include "cli/live_display.h"
#include "cli/progress_line.h"
#include "cli/terminal.h"
#include "cli/works_listing.h"
#include "download/rate_limiter.h"
#include "download_policy/outcome_text.h"
#include "download_policy/download_folder.h"
#include "download_policy/work_file.h"
#include "text/code_page.h"

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <memory>

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

struct Tally {
    int done = 0, failed = 0, archived = 0, existing = 0;
    int settled = 0;  // works of this run that ended one way or another
    std::int64_t bytes = 0;
};

// One work on its way into the folder.
struct Running {
    const ListedWork* work;
    std::string name;  // the file's name, for the live lines
    std::unique_ptr<DownloadJob> job;
    std::int64_t lastReceived = 0;
};

class GetAllRun {
public:
    GetAllRun(const GetAllOptions& options, std::string folder, DownloadArchive& archive)
        : options_(options), folder_(std::move(folder)), archive_(archive) {
        settings_.connections = options.connections;
        if (options.speedLimit > 0) settings_.sharedLimiter = std::make_shared<RateLimiter>(options.speedLimit);
        settings_.renameOnExists = options.renameOnExists;
        settings_.continuePart = options.continuePart;
        settings_.note = [](const std::string&) {};  // the outcome says why, at the end of each work
        settings_.partNote = [this](const std::string& text) { display_.print(text); };
    }

    // Sorts the listed works into those to fetch and those already here.
    void plan(const std::vector<ListedWork>& works) {
        for (const ListedWork& work : works) {
            if (archive_.contains(work.address)) {
                ++tally_.archived;
            } else if (!options_.renameOnExists && fileExists(gbkToUtf8(localPath(work)))) {
                ++tally_.existing;
                display_.print("skipped " + fileName(work) + ": the file exists (not in the archive)");
            } else {
                pending_.push_back(&work);
            }
        }
    }

    std::size_t pendingCount() const { return pending_.size(); }
    const Tally& tally() const { return tally_; }

    void run() {
        auto lastShown = Clock::now() - std::chrono::seconds(1);
        while ((!stopping_ && next_ < pending_.size()) || !running_.empty()) {
            while (!stopping_ && running_.size() < static_cast<std::size_t>(options_.parallel) &&
                   next_ < pending_.size())
                start(*pending_[next_++]);
            if (!running_.empty()) running_.front().job->waitForEnd(std::chrono::milliseconds(100));
            if (interrupted && !stopping_) {
                stopping_ = true;
                for (Running& r : running_) r.job->stop();
            }
            collectEnded();
            if (Clock::now() - lastShown >= std::chrono::milliseconds(500)) {
                showProgress(secondsSince(lastShown));
                lastShown = Clock::now();
            }
        }
        display_.clear();
    }

    bool stopped() const { return stopping_; }
    LiveDisplay& display() { return display_; }

private:
    // Where the work goes, as the engine takes it (code page 936).
    std::string localPath(const ListedWork& work) const {
        return workFilePath(utf8ToGbk(folder_), utf8ToGbk(work.songName));
    }
    std::string fileName(const ListedWork& work) const {
        return std::filesystem::path(gbkToUtf8(localPath(work))).filename().string();
    }

    void start(const ListedWork& work) {
        auto job = std::make_unique<DownloadJob>(work.address, localPath(work), settings_);
        if (!job->start()) {
            ++tally_.failed;
            ++tally_.settled;
            display_.print("failed  " + fileName(work) + ": " + whyNotFetchable(work.address, job->localPath()));
            return;
        }
        running_.push_back({&work, fileName(work), std::move(job)});
    }

    void collectEnded() {
        for (auto it = running_.begin(); it != running_.end();) {
            if (!it->job->waitForEnd(std::chrono::milliseconds(0))) {
                ++it;
                continue;
            }
            it->job->settle();
            finish(*it->work, *it->job);
            it = running_.erase(it);
        }
    }

    void finish(const ListedWork& work, const DownloadJob& job) {
        const TaskOutcome outcome = job.outcome();
        const std::string kept = job.keptText();
        if (outcome == TaskOutcome::Stopped) {  // still left
            if (!kept.empty()) display_.print("stopped " + kept);
            return;
        }
        ++tally_.settled;
        std::string error;
        if (outcome == TaskOutcome::Complete && archive_.add(work.address, error)) {
            ++tally_.done;
            tally_.bytes += job.bytesDone();
            display_.print("done    " + std::filesystem::path(job.savedPath()).filename().string() + " (" +
                           humanBytes(static_cast<double>(job.bytesDone())) + ")");
            return;
        }
        if (outcome == TaskOutcome::GivenUp && !options_.renameOnExists) {
            ++tally_.existing;  // another work of the same name got there first
            display_.print("skipped " + fileName(work) + ": the file exists");
            return;
        }
        ++tally_.failed;
        std::string why = error.empty() ? outcomeText(outcome, !kept.empty()) : error;
        if (error.empty() && !job.lastError().empty()) why += " (" + job.lastError() + ")";
        display_.print("failed  " + fileName(work) + ": " + why + " <" + work.address + ">");
        if (!kept.empty()) display_.print("        " + kept);
    }

    void showProgress(double seconds) {
        std::vector<std::string> lines;
        std::int64_t moved = 0;
        for (Running& r : running_) {
            const std::int64_t received = r.job->received();
            const double speed = static_cast<double>(received - r.lastReceived) / seconds;
            moved += received - r.lastReceived;
            r.lastReceived = received;
            lines.push_back("  " + progressLine(r.job->total(), received, speed) + "  " + r.name);
        }
        const std::size_t left = pending_.size() - next_ + running_.size();
        lines.push_back("works: " + std::to_string(tally_.done) + " done, " + std::to_string(tally_.failed) +
                        " failed, " + std::to_string(left) + " left  " + humanBytes(static_cast<double>(tally_.bytes)) +
                        " saved  " + humanBytes(static_cast<double>(moved) / seconds) + "/s");
        display_.show(lines);
    }

    const GetAllOptions& options_;
    const std::string folder_;  // UTF-8
    DownloadArchive& archive_;
    JobSettings settings_;
    LiveDisplay display_;
    Tally tally_;
    std::vector<const ListedWork*> pending_;
    std::size_t next_ = 0;
    std::vector<Running> running_;
    bool stopping_ = false;
};

int fail(const std::string& message) {
    std::fprintf(stderr, "zorvan-cli: %s\n", message.c_str());
    return 1;
}

}  // namespace

int runGetAll(const GetAllOptions& options) {
    useCliEngineSettings(0, 5, 5, true);
    const auto started = Clock::now();
    const WorksListing listing = listWorks(options.service, options.performerId);
    if (const std::string fault = listingFault(listing, options.service); !fault.empty()) return fail(fault);

    const std::string folder = options.folder.empty() ? downloadFolder() : options.folder;
    std::error_code failure;
    std::filesystem::create_directories(folder, failure);
    if (failure) return fail("cannot make the folder " + folder + ": " + failure.message());
    DownloadArchive archive;
    std::string error;
    if (!archive.open(folder, error)) return fail(error);

    GetAllRun run(options, folder, archive);
    run.plan(listing.works);
    const std::size_t total = listing.works.size();
    if (run.pendingCount() == 0) {
        std::fprintf(stderr, "nothing new to download: %zu works listed, %d in the archive, %d files already there\n",
                     total, run.tally().archived, run.tally().existing);
        return 0;
    }
    run.display().print("downloading " + std::to_string(run.pendingCount()) + " of " + std::to_string(total) +
                        " works into " + folder);
    run.run();

    const Tally& t = run.tally();
    const std::string left =
        run.stopped() ? ", " + std::to_string(run.pendingCount() - static_cast<std::size_t>(t.settled)) + " left" : "";
    std::fprintf(stderr, "%s: %d done, %d skipped (%d in the archive, %d files already there), %d failed%s, %s in %.1f s\n",
                 run.stopped() ? "stopped" : "finished", t.done, t.archived + t.existing, t.archived, t.existing,
                 t.failed, left.c_str(), humanBytes(static_cast<double>(t.bytes)).c_str(), secondsSince(started));
    if (run.stopped()) return interruptedExitCode();
    return t.failed > 0 ? 1 : 0;
}

}  // namespace zorvan::cli
