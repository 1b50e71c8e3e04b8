#include "cli/download_job.h"

#include "download_policy/failure_report.h"
#include "cli/progress_line.h"
#include "service/program_limits.h"
#include "text/code_page.h"

#include <filesystem>

namespace zorvan::cli {

namespace {

// A step fills the whole buffer (see useCliEngineSettings), so a body that
// passes through it (TLS, or --no-splice) costs one step per store: 1 GiB
// over https took a quarter of the reads and acknowledgement calls of 16 KiB
// steps. Bodies spliced into the file are not bound by it.
constexpr int cliChunkSize = 64 * 1024;


// "38 %" of a share, rounded down so a part is never called whole.
std::string percentOf(std::int64_t part, std::int64_t whole) {
    return std::to_string(whole > 0 ? part * 100 / whole : 0) + " %";
}

}  // namespace

const char* startOverText(StartOverReason reason) {
    switch (reason) {
        case StartOverReason::RecordUnreadable: return "the record of the unfinished download cannot be used";
        case StartOverReason::PartMissing: return "the unfinished file is gone or has another size";
        case StartOverReason::OtherAddress: return "the unfinished file belongs to another address";
        case StartOverReason::FileChanged: return "the file changed on the server";
        case StartOverReason::NoRanges: return "the server does not send parts of files";
        case StartOverReason::NotThisFile: return "the file there is not this file (its bytes differ from the server's)";
        case StartOverReason::NotChecked:
            return "the file there cannot be checked (the server does not send parts of files)";
        case StartOverReason::Unprovable:
            return "the server gives no validator (ETag, Last-Modified) to prove the unfinished file is its own, and "
                   "--strict asks for proof";
    }
    return "the unfinished download cannot be continued";
}

std::string continuingText(const std::string& name, std::int64_t there, std::int64_t total, bool sampled) {
    return "continuing " + name + " at " + percentOf(there, total) + " (" + humanBytes(static_cast<double>(there)) +
           " of " + humanBytes(static_cast<double>(total)) + " already there; " +
           (sampled ? "sampled against the server's file, not verified" : "the server's validator vouches for it") +
           ")";
}

std::string keptText(const std::string& name, std::int64_t kept, std::int64_t total) {
    return "kept " + percentOf(kept, total) + " of " + name + " (" + humanBytes(static_cast<double>(kept)) +
           "); run the same command to continue";
}

DownloadJob::DownloadJob(std::string url, std::string localPath, JobSettings settings)
    : url_(std::move(url)), localPath_(std::move(localPath)), settings_(std::move(settings)) {}

DownloadJob::~DownloadJob() {
    download_.stopTask();
    download_.waitUntilIdle(std::chrono::seconds(30));
}

namespace {
std::optional<EngineSettings> cliEngine;  // set once, before any task starts
}

void setCliEngine(const EngineSettings& settings) { cliEngine = settings; }

TaskParam cliTaskParams(const JobSettings& settings) {
    TaskParam params;
    params.engine = cliEngine;
    setProgramLimits(params);
    params.connections = settings.connections;
    params.speedLimit = settings.speedLimit;
    params.sharedLimiter = settings.sharedLimiter;
    params.chunkSize = settings.chunkSize ? settings.chunkSize : cliChunkSize;
    params.proxy = settings.proxy;
    params.headers = settings.headers;
    if (settings.timeoutMs > 0) {
        params.connectTimeout = settings.timeoutMs;
        params.sendTimeout = settings.timeoutMs;
        params.receiveTimeout = settings.timeoutMs;
    }
    params.tlsClient = settings.tls;
    params.partFile = true;
    params.continuePart = settings.continuePart;
    params.strictResume = settings.strict;
    params.completeExisting = !settings.renameOnExists;
    params.reconnectAtOnceAfterBytes = true;
    return params;
}

bool DownloadJob::start() {
    TaskParam params = cliTaskParams(settings_);
    params.url = url_;
    params.localPath = localPath_;
    params.eventProcedure = listenWith(static_cast<TaskListener&>(*this));  // the job waits for the engine before it goes
    if (settings_.log)
        params.logProcedure = [log = settings_.log](int connection, const std::string& time, const std::string& message,
                                                     int level, TaskId) { log(connection, time, message, level); };
    return download_.startTask(params);
}

int DownloadJob::nameClash(std::int64_t existingSize, std::int64_t total) {
    std::lock_guard hold(lock_);
    clashExisting_ = existingSize;
    clashTotal_ = total;
    // A file the engine could not check is never taken for this one.
    return clashAnswer::rename;
}

void DownloadJob::continued(std::int64_t bytesThere, std::int64_t total) {
    continuedFrom_ = bytesThere;
    if (!settings_.partNote) return;
    settings_.partNote(heldFinalFile_ ? fileName() + " is shorter than the server's file and, where sampled, its start (" +
                                            humanBytes(static_cast<double>(bytesThere)) + " of " +
                                            humanBytes(static_cast<double>(total)) + "; not verified); completing it"
                                      : continuingText(fileName(), bytesThere, total, heldSampled_));
}

void DownloadJob::startedOver(StartOverReason why) {
    if (!settings_.partNote) return;
    const bool leftAlone = why == StartOverReason::NotThisFile || why == StartOverReason::NotChecked;
    settings_.partNote(leftAlone ? fileName() + " is left alone: " + startOverText(why) +
                                       "; saving the download under another name"
                                 : "starting " + fileName() + " over: " + startOverText(why));
}

void DownloadJob::partKept(std::int64_t bytes, std::int64_t total) {
    std::lock_guard hold(lock_);
    kept_ = bytes;
    keptOf_ = total;
}

void DownloadJob::retrying(int connection, int pauseMs, int triesLeft) {
    // A name that does not resolve ends the download (get's wait).
    const FailureCause cause = download_.lastCause();
    if (!settings_.note || cause.kind == CauseKind::NameLookup) return;
    settings_.note("connection " + std::to_string(connection) + ": " + causeText(cause) + "; trying again in " +
                   std::to_string(pauseMs / 1000) + " s (" + std::to_string(triesLeft) +
                   (triesLeft == 1 ? " try" : " tries") + " left)");
}

void DownloadJob::ended(std::int64_t bytesDone, TaskOutcome outcome) {
    std::lock_guard hold(lock_);
    hasEnded_ = true;
    bytesDone_ = bytesDone;
    outcome_ = outcome;
    ended_.notify_all();
}

bool DownloadJob::waitForEnd(std::chrono::milliseconds limit) {
    std::unique_lock hold(lock_);
    return ended_.wait_for(hold, limit, [this] { return hasEnded_; });
}

TaskOutcome DownloadJob::outcome() const {
    std::lock_guard hold(lock_);
    return outcome_;
}

std::int64_t DownloadJob::bytesDone() const {
    std::lock_guard hold(lock_);
    return bytesDone_;
}

std::string DownloadJob::savedPath() const { return gbkToUtf8(download_.lastLocalPath()); }

std::string DownloadJob::fileName() const {
    return std::filesystem::path(gbkToUtf8(localPath_)).filename().string();
}

std::pair<std::int64_t, std::int64_t> DownloadJob::clash() const {
    std::lock_guard hold(lock_);
    return {clashExisting_, clashTotal_};
}

std::int64_t DownloadJob::keptBytes() const {
    std::lock_guard hold(lock_);
    return kept_;
}

std::string DownloadJob::keptText() const {
    std::lock_guard hold(lock_);
    if (kept_ <= 0) return {};
    const std::string name = std::filesystem::path(gbkToUtf8(download_.lastLocalPath())).filename().string();
    return zorvan::cli::keptText(name, kept_, keptOf_);
}

}  // namespace zorvan::cli
