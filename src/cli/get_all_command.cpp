#include "cli/get_all_command.h"

#include "cli/download_job.h"
#include "cli/get_command.h"
#include "cli/live_display.h"
#include "cli/progress_line.h"
#include "cli/terminal.h"
#include "cli/works_listing.h"
#include "download/rate_limiter.h"
#include "download_policy/download_folder.h"
#include "download_policy/work_file.h"
#include "queue/download_archive.h"
#include "queue/download_queue.h"
#include "text/code_page.h"

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <memory>
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

// How long a work may go without progress on the command line: a script
// waiting for a dead service should hear of it soon.
constexpr GiveUpLimits cliLimits{std::chrono::seconds(8), std::chrono::seconds(60)};

struct Tally {
    int done = 0, failed = 0, archived = 0, existing = 0;
    std::int64_t bytes = 0;
};

class GetAllRun {
public:
    GetAllRun(const GetAllOptions& options, std::string folder, DownloadArchive& archive)
        : options_(options), folder_(std::move(folder)), archive_(archive), queue_(queueSettings(options)) {
        queue_.setListener([this](const QueueEvent& e) {
            if (e.kind != QueueEvent::Kind::Changed) return;
            if (const QueueItem* item = queue_.item(e.id)) report(*item);
        });
    }

    // Sorts the listed works into those to fetch and those already here.
    void plan(const std::vector<ListedWork>& works) {
        for (const ListedWork& listed : works) {
            const std::string path = localPath(listed);
            if (archive_.contains(listed.address)) {
                ++tally_.archived;
            } else if (!options_.renameOnExists && fileExists(path)) {
                ++tally_.existing;
                display_.print("skipped " + fileNameOf(path) + ": the file exists (not in the archive)");
            } else {
                const Work work{fileNameOf(path), listed.address, path,
                                options_.renameOnExists ? ClashChoice::Rename : ClashChoice::Skip};
                queue_.add(work);
                ++pending_;
            }
        }
    }

    int pendingCount() const { return pending_; }
    const Tally& tally() const { return tally_; }
    bool stopped() const { return stopped_; }
    bool gaveUp() const { return queue_.pausedByFailures(); }
    LiveDisplay& display() { return display_; }

    void run() {
        auto lastShown = Clock::now() - std::chrono::seconds(1);
        for (;;) {
            queue_.tick();
            sayWhatContinues();
            if (interrupted) {
                stopped_ = true;
                queue_.stopAll(std::chrono::seconds(30));
                break;
            }
            if (queue_.pausedByFailures()) {
                queue_.stopAll(std::chrono::seconds(30));
                break;
            }
            if (!queue_.active()) break;
            if (Clock::now() - lastShown >= std::chrono::milliseconds(500)) {
                showProgress();
                lastShown = Clock::now();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        display_.clear();
        // What stopping kept for the next run.
        for (const QueueItem& item : queue_.items())
            if (item.state == ItemState::Paused && item.done > 0 && item.total > 0)
                display_.print("stopped " + keptText(item));
    }

    int left() const {
        const QueueTotals t = queue_.totals();
        return t.waiting + t.running + t.paused;
    }

private:
    static QueueSettings queueSettings(const GetAllOptions& options) {
        JobSettings job;
        job.connections = options.connections;
        if (options.speedLimit > 0) job.sharedLimiter = std::make_shared<RateLimiter>(options.speedLimit);
        job.continuePart = options.continuePart;
        QueueSettings settings;
        settings.parallel = options.parallel;
        settings.limits = cliLimits;
        settings.taskParams = [job] { return cliTaskParams(job); };
        return settings;
    }

    // Where the work goes (UTF-8), named as the window names it.
    std::string localPath(const ListedWork& work) const {
        return gbkToUtf8(workFilePath(utf8ToGbk(folder_), utf8ToGbk(work.songName)));
    }

    static std::string keptText(const QueueItem& item) { return cli::keptText(item.work.title, item.done, item.total); }

    // A work that takes up what an earlier run left, once.
    void sayWhatContinues() {
        for (const QueueItem& item : queue_.items()) {
            if (item.continuedFrom <= 0 || item.total <= 0 || !saidContinuing_.insert(item.id).second) continue;
            display_.print(continuingText(item.work.title, item.continuedFrom, item.total));
        }
    }

    // One line for each work that ends, as it ends.
    void report(const QueueItem& item) {
        if (!item.settled()) return;
        if (item.state == ItemState::Done) {
            std::string error;
            if (archive_.add(item.work.address, error)) {
                ++tally_.done;
                tally_.bytes += item.done;
                display_.print("done    " + fileNameOf(item.savedPath) + " (" +
                               humanBytes(static_cast<double>(item.done)) + ")");
            } else {
                ++tally_.failed;
                display_.print("failed  " + item.work.title + ": " + error + " <" + item.work.address + ">");
            }
            return;
        }
        if (item.state == ItemState::Skipped) {
            ++tally_.existing;  // another work of the same name got there first
            display_.print("skipped " + item.work.title + ": the file exists");
            return;
        }
        ++tally_.failed;
        display_.print("failed  " + item.work.title + ": " + item.failure + " <" + item.work.address + ">");
        if (item.done > 0 && item.total > 0) display_.print("        " + keptText(item));
    }

    void showProgress() {
        std::vector<std::string> lines;
        double speed = 0;
        for (const QueueItem& item : queue_.items()) {
            if (item.state != ItemState::Running) continue;
            speed += item.speed;
            lines.push_back("  " + progressLine(item.total, item.done, item.speed) + "  " + item.work.title);
        }
        lines.push_back("works: " + std::to_string(tally_.done) + " done, " + std::to_string(tally_.failed) +
                        " failed, " + std::to_string(left()) + " left  " +
                        humanBytes(static_cast<double>(tally_.bytes)) + " saved  " + humanBytes(speed) + "/s");
        display_.show(lines);
    }

    const GetAllOptions& options_;
    const std::string folder_;  // UTF-8
    DownloadArchive& archive_;
    LiveDisplay display_;
    Tally tally_;
    DownloadQueue queue_;
    std::set<int> saidContinuing_;
    int pending_ = 0;
    bool stopped_ = false;
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
    const bool stopped = run.stopped() || run.gaveUp();
    const std::string left = stopped ? ", " + std::to_string(run.left()) + " left" : "";
    std::fprintf(stderr, "%s: %d done, %d skipped (%d in the archive, %d files already there), %d failed%s, %s in %.1f s\n",
                 stopped ? "stopped" : "finished", t.done, t.archived + t.existing, t.archived, t.existing, t.failed,
                 left.c_str(), humanBytes(static_cast<double>(t.bytes)).c_str(), secondsSince(started));
    if (run.stopped()) return interruptedExitCode();
    if (run.gaveUp()) {
        std::fprintf(stderr, "zorvan-cli: the service cannot be reached; stopped after %d failures in a row\n",
                     QueueSettings{}.unreachableInARow);
        return 1;
    }
    return t.failed > 0 ? 1 : 0;
}

}  // namespace zorvan::cli
