// zorvan-cli: the download engine without a window, driven the way the GUI
// drives it.
#include "cli/cli_options.h"
#include "cli/progress_line.h"
#include "download/download.h"
#include "download/engine_settings.h"
#include "download/http_address.h"
#include "download/http_request.h"
#include "download/target_file.h"
#include "download_policy/outcome_text.h"
#include "download_policy/program_limits.h"
#include "text/code_page.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace zorvan;
using Clock = std::chrono::steady_clock;

// Somewhat larger steps than the GUI's: fewer calls per byte on fast lines.
// Much larger ones lost: a connection busy storing a big buffer reads
// nothing meanwhile, and a server pacing each connection falls behind its
// rate (1 MiB buffers cost 8-10% on 16 rate-capped connections). For the
// same reason the CLI writes through the descriptor: storing through the
// mapping first zero-fills each new page, which made every store slower
// (1 GiB: 0.6 s written against 0.9-1.2 s mapped, on a line without cap).
constexpr std::size_t cliBufferSize = 64 * 1024;
constexpr int cliChunkSize = 16 * 1024;

std::atomic<bool> interrupted{false};
const bool terminal = isatty(STDERR_FILENO);

// Where the progress line may stand, a line starts by clearing it.
const char* lineStart() { return terminal ? "\r\033[K" : ""; }

struct Outcome {
    std::mutex lock;
    std::condition_variable done;
    bool ended = false;
    TaskOutcome outcome = TaskOutcome::TransferFailed;
    std::int64_t bytes = 0;
    std::atomic<std::int64_t> total{-1};
    // The engine's last error line (UTF-8), to say why a connection tries
    // again and why a download failed. Task thread while it runs.
    std::string lastError;
};

std::string outputPath(const cli::GetOptions& options) {
    std::string name = fileNameFromPath(parseAddress(options.url) ? parseAddress(options.url)->path : "");
    if (name.empty()) name = "download";
    if (options.output.empty()) return name;
    return options.output;
}

void useCliEngineSettings(const cli::GetOptions& options) {
    EngineSettings settings = engineSettings();
    settings.receiveBufferSize = options.bufferSize ? options.bufferSize : cliBufferSize;
    settings.splitForIdleConnections = true;
    settings.mappedWrites = false;
    settings.bulkScheduling = true;
    settings.retriesPerConnection = options.retries;
    settings.retryPauseMs = options.retryWaitSeconds * 1000;
    settings.syncBeforeNaming = options.sync;
    setEngineSettings(settings);
}

void printLogLine(int connection, const std::string& time, const std::string& message, int level) {
    std::fprintf(stderr, "%s[%s] #%d %s%s\n", lineStart(), gbkToUtf8(time).c_str(), connection,
                 level == logLevel::error ? "error: " : "", gbkToUtf8(message).c_str());
}

int onEvent(Outcome& result, bool renameOnExists, int type, int connection, std::int64_t value, std::int64_t extra) {
    switch (type) {
        case event::size:
            result.total = value;
            break;
        case event::nameClash:
            return renameOnExists ? clashAnswer::rename : clashAnswer::giveUp;
        case event::retrying:
            std::fprintf(stderr, "%szorvan-cli: connection %d: %s; trying again in %lld s (%lld %s left)\n",
                         lineStart(), connection, result.lastError.c_str(), static_cast<long long>(value / 1000),
                         static_cast<long long>(extra), extra == 1 ? "try" : "tries");
            break;
        case event::end: {
            std::lock_guard lock(result.lock);
            result.ended = true;
            result.bytes = value;
            result.outcome = static_cast<TaskOutcome>(extra);
            result.done.notify_all();
            break;
        }
    }
    return 0;
}

TaskParam taskParams(const cli::GetOptions& options, Outcome& result) {
    TaskParam params;
    setProgramLimits(params);
    params.url = options.url;
    params.localPath = utf8ToGbk(outputPath(options));
    params.connections = options.connections;
    params.speedLimit = options.speedLimit;
    params.chunkSize = options.chunkSize ? options.chunkSize : cliChunkSize;
    params.proxy = options.proxy;
    const bool renameOnExists = options.renameOnExists;
    params.eventProcedure = [&result, renameOnExists](int type, int connection, std::int64_t value,
                                                      std::int64_t extra, TaskId) {
        return onEvent(result, renameOnExists, type, connection, value, extra);
    };
    const bool verbose = options.verbose;
    params.logProcedure = [&result, verbose](int connection, const std::string& time, const std::string& message,
                                             int level, TaskId) {
        if (level == logLevel::error) result.lastError = gbkToUtf8(message);
        if (verbose) printLogLine(connection, time, message, level);
    };
    return params;
}

// Waits for the end, stopping the task on Ctrl-C and redrawing the
// progress line on a terminal once a second.
void waitForEnd(Download& download, Outcome& result) {
    auto lastTick = Clock::now();
    for (;;) {
        {
            std::unique_lock lock(result.lock);
            if (result.done.wait_for(lock, std::chrono::milliseconds(200), [&] { return result.ended; })) break;
        }
        if (interrupted) download.stopTask();
        const auto now = Clock::now();
        if (now - lastTick < std::chrono::seconds(1)) continue;
        const double seconds = std::chrono::duration<double>(now - lastTick).count();
        const double speed = static_cast<double>(download.takeBytesSinceLastQuery()) / seconds;
        lastTick = now;
        if (terminal)
            std::fprintf(stderr, "\r\033[K%s", cli::progressLine(result.total, download.bytesDownloaded(), speed).c_str());
    }
    download.waitUntilIdle(std::chrono::seconds(30));
    if (terminal) std::fprintf(stderr, "\r\033[K");
}

int reportOutcome(const Outcome& result, const std::string& saved, double seconds) {
    const std::string done = cli::humanBytes(static_cast<double>(result.bytes));
    if (result.outcome == TaskOutcome::Complete) {
        std::fprintf(stderr, "saved %s: %s in %.2f s (%s/s)\n", saved.c_str(), done.c_str(), seconds,
                     cli::humanBytes(seconds > 0 ? static_cast<double>(result.bytes) / seconds : 0).c_str());
        return 0;
    }
    std::fprintf(stderr, "zorvan-cli: download not complete: %s (%s of %s received)\n", outcomeText(result.outcome),
                 done.c_str(), result.total >= 0 ? cli::humanBytes(static_cast<double>(result.total)).c_str() : "?");
    if (!result.lastError.empty()) std::fprintf(stderr, "zorvan-cli: last error: %s\n", result.lastError.c_str());
    return result.outcome == TaskOutcome::Stopped ? 130 : 1;
}

// Why the engine would not take the address or the path.
std::string whyNotFetchable(const cli::GetOptions& options, const std::string& localPath) {
    switch (addressFault(options.url)) {
        case AddressFault::Scheme: return "only http:// addresses can be fetched";
        case AddressFault::NoPath: return "an address needs a host and a path after it (http://host/file)";
        case AddressFault::Port: return "the port must be a number from 1 to 65535";
        case AddressFault::ControlCharacter: return "the address holds control characters";
        case AddressFault::None: break;
    }
    if (parseAddress(options.url)->scheme != Scheme::Http) return "only http:// addresses can be fetched";
    if (localPath.size() > maxLocalPathBytes) return "the output path is too long";
    return "the address is too long for a request (at most " + std::to_string(maxTargetBytes) + " bytes of path)";
}

int runGet(const cli::GetOptions& options) {
    useCliEngineSettings(options);
    Outcome result;
    Download download;
    const TaskParam params = taskParams(options, result);
    if (!download.startTask(params)) {
        std::fprintf(stderr, "zorvan-cli: cannot download %s: %s\n", options.url.c_str(),
                     whyNotFetchable(options, params.localPath).c_str());
        return 2;
    }
    const auto started = Clock::now();
    waitForEnd(download, result);
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    return reportOutcome(result, gbkToUtf8(download.lastLocalPath()), seconds);
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGINT, [](int) { interrupted = true; });
    std::signal(SIGTERM, [](int) { interrupted = true; });
    std::string error;
    const auto options = zorvan::cli::parseGetOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "zorvan-cli: %s\n%s", error.c_str(), zorvan::cli::usageText());
        return 2;
    }
    return runGet(*options);
}
