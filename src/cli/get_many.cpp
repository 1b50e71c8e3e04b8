#include "cli/get_many.h"

#include "cli/address_credentials.h"
#include "cli/address_list.h"
#include "cli/download_job.h"
#include "cli/get_command.h"
#include "cli/json_results.h"
#include "cli/live_display.h"
#include "cli/network_setup.h"
#include "cli/progress_line.h"
#include "cli/queue_run_parts.h"
#include "cli/service_run.h"
#include "words/item_words.h"
#include "cli/terminal.h"
#include "download/http_address.h"
#include "download/rate_limiter.h"
#include "download_policy/failure_report.h"
#include "queue/download_queue.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <set>

namespace zorvan::cli {

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

std::string fileNameOf(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// "name.mp4", "name(1).mp4", ...: two addresses with one name never share
// a file.
std::string freePath(const std::string& path, std::set<std::string>& taken) {
    if (taken.insert(path).second) return path;
    const std::filesystem::path p(path);
    const std::string stem = (p.parent_path() / p.stem()).string();
    const std::string extension = p.extension().string();
    for (int n = 1;; ++n) {
        const std::string candidate = stem + "(" + std::to_string(n) + ")" + extension;
        if (taken.insert(candidate).second) return candidate;
    }
}

class GetManyRun {
public:
    GetManyRun(const GetOptions& options, const JobSettings& job)
        : options_(options),
          run_(settings(options, job, authorizations_),
               {options.parallel, options.connections, options.speedLimit, options.strict}) {}

    void add(ListedAddress listed, const std::string& folder) {
        const Credentials credentials = takeCredentials(listed.address);
        listed.address = credentials.address;
        if (!credentials.header.empty()) (*authorizations_)[listed.address] = credentials.header;
        std::string name = listed.name;
        if (name.empty()) {
            const auto address = parseAddress(listed.address);
            name = address ? fileNameFromPath(address->path) : std::string();
        }
        if (name.empty() || name == "." || name == "..") name = "download";
        const std::string path = freePath(folder + "/" + name, paths_);
        std::string fault = listed.fault;
        const auto parsed = parseAddress(listed.address);
        if (fault.empty() &&
            (addressFault(listed.address) != AddressFault::None || !parsed || !isWebScheme(parsed->scheme)))
            fault = whyNotFetchable(listed.address, path);
        if (!fault.empty()) {
            const std::string where = listed.line > 0 && fault.rfind("line ", 0) != 0
                                          ? "line " + std::to_string(listed.line) + ": "
                                          : std::string();
            finish({listed.address, path, "failed", where + fault, 0, 0, 0, exitCode::usage});
            return;
        }
        Work work;
        work.title = fileNameOf(path);
        work.address = listed.address;
        work.path = path;
        work.clash = options_.renameOnExists ? ClashChoice::Rename : ClashChoice::Complete;
        works_.push_back(std::move(work));
    }

    void run() {
        if (!works_.empty()) run_.add(std::move(works_));
        ServiceRun::Hooks hooks;
        hooks.event = [this](const ServiceEvent& e) {
            if (e.kind != ServiceEvent::Kind::Changed) return;
            // Its seconds count from its start, not from the wait for its turn.
            if (e.item.state == ItemState::Running) started_.try_emplace(e.item.id, Clock::now());
            settled(e.item);
        };
        hooks.show = [this] { showProgress(); };
        run_.run(hooks);
        stopped_ = run_.interrupted();
        display_.clear();
        for (const QueueItem& item : run_.queue().items())
            if (!item.settled()) {
                const std::int64_t kept = item.done;
                finish({item.work.address, item.work.path, "stopped",
                        kept > 0 ? keptText(item.work.title, kept, item.total) : "stopped before any byte came", kept,
                        item.continuedFrom, secondsOf(item.id), interruptedExitCode()},
                       &item);
            }
    }

    GetManyRun(const GetManyRun&) = delete;
    GetManyRun& operator=(const GetManyRun&) = delete;

    bool jsonFailed() const { return jsonFailed_; }
    bool stopped() const { return stopped_; }

    RunSummary summary(double seconds) const {
        RunSummary s = summary_;
        s.seconds = seconds;
        return s;
    }

private:
    static QueueSettings settings(const GetOptions& options, JobSettings job,
                                  const std::shared_ptr<std::map<std::string, std::string>>& authorizations) {
        job.connections = options.connections;
        job.continuePart = options.continuePart;
        job.strict = options.strict;
        job.renameOnExists = options.renameOnExists;
        job.chunkSize = options.chunkSize;
        QueueSettings settings;
        settings.parallel = options.parallel;
        settings.limits = cliLimits;
        // The addresses may be on as many servers: one that cannot be
        // reached says nothing of the others.
        settings.unreachableInARow = INT_MAX;
        settings.remakeFolders = false;
        const NetworkOptions network = options.network;
        settings.taskParamsFor = [job, network, authorizations](const Work& work) {
            JobSettings forThis = job;
            std::string ignored;  // every address was checked before it was queued
            applyNetwork(network, work.address, forThis, ignored);
            if (const auto it = authorizations->find(work.address); it != authorizations->end())
                forThis.headers.push_back(it->second);
            return cliTaskParams(forThis);
        };
        return settings;
    }

    void settled(const QueueItem& item) {
        if (!item.settled() || !reported_.insert(item.id).second) return;
        const std::string path = item.savedPath.empty() ? item.work.path : item.savedPath;
        const double seconds = secondsOf(item.id);
        if (item.state == ItemState::Done) {
            finish({item.work.address, path, "done", {}, item.done, item.continuedFrom, seconds, exitCode::done}, &item);
        } else if (item.state == ItemState::Skipped) {
            finish({item.work.address, path, "skipped",
                    item.outcome == TaskOutcome::AlreadyThere ? alreadyThereSampled
                                                              : "the file is already there",
                    item.done, 0, seconds, exitCode::done},
                   &item);
        } else {
            ItemResult result{item.work.address, path, "failed", failureWords(item, Words::English), item.done, item.continuedFrom,
                              seconds, itemExitCode(item)};
            if (item.done > 0 && item.total > 0)
                result.cause += "; " + keptText(item.work.title, item.done, item.total);
            finish(result, &item);
        }
    }

    double secondsOf(int id) const {
        const auto it = started_.find(id);
        return it == started_.end() ? 0 : secondsSince(it->second);
    }

    // The line, the object and the tally of one address that ended.
    void finish(ItemResult result, const QueueItem* item = nullptr) {
        if (item) result.queued = *item;
        if (result.state == "done") {
            ++summary_.done;
            if (!quiet())
                display_.print("done    " + result.path + " (" + humanBytes(static_cast<double>(result.bytes)) + ")");
        } else if (result.state == "skipped") {
            ++summary_.skipped;
            if (!quiet()) display_.print("skipped " + result.path + ": " + result.cause);
        } else {
            ++(result.state == "stopped" ? summary_.stopped : summary_.failed);
            display_.print(result.state + (result.state == "failed" ? "  " : " ") + result.address + ": " +
                           result.cause);
        }
        if (result.state != "skipped") {
            summary_.fetched += result.bytes - result.takenOver;
            summary_.takenOver += result.takenOver;
        }
        summary_.exitCode = std::max(summary_.exitCode, result.exitCode);
        if (options_.json && !printItemJson(result)) jsonFailed_ = true;
    }

    void showProgress() {
        double speed = 0;
        std::vector<std::string> lines = runningLines(run_.queue().items(), speed);
        const QueueTotals& t = run_.queue().totals();
        lines.push_back("addresses: " + std::to_string(summary_.done) + " done, " + std::to_string(summary_.failed) +
                        " failed, " + std::to_string(t.waiting + t.running) + " left  " + humanBytes(speed) + "/s");
        display_.show(lines);
    }

    const GetOptions& options_;
    // The Authorization line of each address that named a user (read by
    // the queue's settings, so made before it).
    std::shared_ptr<std::map<std::string, std::string>> authorizations_ =
        std::make_shared<std::map<std::string, std::string>>();
    LiveDisplay display_;
    std::vector<Work> works_;  // to queue once all are read
    ServiceRun run_;
    std::set<std::string> paths_;
    std::map<int, Clock::time_point> started_;
    std::set<int> reported_;
    RunSummary summary_;
    bool stopped_ = false;
    bool jsonFailed_ = false;
};

// The addresses of the command line, then those of the -i list.
bool gatherAddresses(const GetOptions& options, std::vector<ListedAddress>& out, std::string& error) {
    for (const std::string& url : options.urls) out.push_back({url, {}, 0, {}});
    if (options.inputFile.empty()) return true;
    std::vector<std::string> notes;
    std::vector<ListedAddress> listed;
    if (options.inputFile == "-") {
        listed = readAddressList(std::cin, notes);
    } else {
        std::ifstream in(options.inputFile);
        if (!in) {
            error = "cannot read the address list " + options.inputFile + ": " + systemText(errno);
            return false;
        }
        listed = readAddressList(in, notes);
    }
    for (const std::string& note : notes)
        if (!quiet()) std::fprintf(stderr, "zorvan-cli: %s: %s\n", options.inputFile.c_str(), note.c_str());
    out.insert(out.end(), listed.begin(), listed.end());
    return true;
}

}  // namespace

int runGetMany(const GetOptions& options) {
    setOutputStyle(options.display.progress, options.display.quiet);
    useCliEngineSettings(options.bufferSize, options.network.retries.value_or(5), options.network.retryWaitSeconds,
                         options.sync, options.checkpointMs, options.splice);
    const auto started = Clock::now();
    std::string error;
    std::vector<ListedAddress> addresses;
    if (!gatherAddresses(options, addresses, error)) {
        std::fprintf(stderr, "zorvan-cli: %s\n", error.c_str());
        return exitCode::localFile;
    }
    // Checked once for all: a proxy that cannot be used is the user's to mend.
    JobSettings job;
    if (!applyNetwork(options.network, addresses.empty() ? "http://localhost/" : addresses.front().address, job,
                      error)) {
        std::fprintf(stderr, "zorvan-cli: %s\n", error.c_str());
        return exitCode::usage;
    }
    warnIfInsecure(options.network);
    const std::string folder = options.outputDir.empty() ? "." : options.outputDir;
    std::error_code failure;
    std::filesystem::create_directories(folder, failure);
    if (failure) {
        std::fprintf(stderr, "zorvan-cli: cannot make the folder %s: %s\n", folder.c_str(), failure.message().c_str());
        return exitCode::localFile;
    }
    GetManyRun run(options, job);
    for (const ListedAddress& listed : addresses) run.add(listed, folder);
    run.run();
    const RunSummary summary = run.summary(secondsSince(started));
    if (options.json && !printSummaryJson(summary)) {
        std::fprintf(stderr, "zorvan-cli: cannot write the results to standard output\n");
        return exitCode::localFile;
    }
    const std::string stoppedText = summary.stopped > 0 ? ", " + std::to_string(summary.stopped) + " stopped" : "";
    const std::string takenOver =
        summary.takenOver > 0
            ? " (and " + humanBytes(static_cast<double>(summary.takenOver)) + " taken over from part files)"
            : "";
    if (!quiet() || summary.failed > 0 || summary.stopped > 0)
        std::fprintf(stderr, "%s: %d done, %d skipped, %d failed%s; %s fetched%s in %.1f s\n",
                     run.stopped() ? "stopped" : "finished", summary.done, summary.skipped, summary.failed,
                     stoppedText.c_str(), humanBytes(static_cast<double>(summary.fetched)).c_str(), takenOver.c_str(),
                     summary.seconds);
    return run.jsonFailed() ? exitCode::localFile : summary.exitCode;
}

}  // namespace zorvan::cli
