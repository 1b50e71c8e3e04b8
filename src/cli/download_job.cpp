#include "cli/download_job.h"

#include "download_policy/program_limits.h"
#include "text/code_page.h"

namespace zorvan::cli {

namespace {

// Somewhat larger steps than the GUI's: fewer calls per byte on fast lines
// (see useCliEngineSettings for the buffer).
constexpr int cliChunkSize = 16 * 1024;

}  // namespace

DownloadJob::DownloadJob(std::string url, std::string localPath, JobSettings settings)
    : url_(std::move(url)), localPath_(std::move(localPath)), settings_(std::move(settings)) {}

DownloadJob::~DownloadJob() {
    download_.stopTask();
    download_.waitUntilIdle(std::chrono::seconds(30));
}

bool DownloadJob::start() {
    TaskParam params;
    setProgramLimits(params);
    params.url = url_;
    params.localPath = localPath_;
    params.connections = settings_.connections;
    params.speedLimit = settings_.speedLimit;
    params.sharedLimiter = settings_.sharedLimiter;
    params.chunkSize = settings_.chunkSize ? settings_.chunkSize : cliChunkSize;
    params.proxy = settings_.proxy;
    params.tlsClient = settings_.tls;
    params.eventProcedure = [this](int type, int connection, std::int64_t value, std::int64_t extra, TaskId) {
        return onEvent(type, connection, value, extra);
    };
    params.logProcedure = [this](int connection, const std::string& time, const std::string& message, int level,
                                 TaskId) {
        if (level == logLevel::error) {
            std::lock_guard hold(lock_);
            lastError_ = gbkToUtf8(message);
        }
        if (settings_.log) settings_.log(connection, time, message, level);
    };
    return download_.startTask(params);
}

int DownloadJob::onEvent(int type, int connection, std::int64_t value, std::int64_t extra) {
    switch (type) {
        case event::size:
            total_ = value;
            break;
        case event::nameClash:
            return settings_.renameOnExists ? clashAnswer::rename : clashAnswer::giveUp;
        case event::retrying:
            if (settings_.note)
                settings_.note("connection " + std::to_string(connection) + ": " + lastError() + "; trying again in " +
                               std::to_string(value / 1000) + " s (" + std::to_string(extra) +
                               (extra == 1 ? " try" : " tries") + " left)");
            break;
        case event::end: {
            std::lock_guard hold(lock_);
            hasEnded_ = true;
            bytesDone_ = value;
            outcome_ = static_cast<TaskOutcome>(extra);
            ended_.notify_all();
            break;
        }
    }
    return 0;
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

std::string DownloadJob::lastError() const {
    std::lock_guard hold(lock_);
    return lastError_;
}

std::string DownloadJob::savedPath() const { return gbkToUtf8(download_.lastLocalPath()); }

}  // namespace zorvan::cli
