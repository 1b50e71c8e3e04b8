#include "cli/get_command.h"

#include "cli/download_job.h"
#include "download_policy/failure_report.h"
#include "cli/network_setup.h"
#include "cli/stream_get.h"
#include "cli/progress_line.h"
#include "cli/terminal.h"
#include "download/engine_settings.h"
#include "download/http_address.h"
#include "download/http_request.h"
#include "download/target_file.h"
#include "download/tls_client.h"
#include "text/code_page.h"

#include <cerrno>
#include <filesystem>
#include <cstdio>

namespace zorvan::cli {

namespace {

using Clock = std::chrono::steady_clock;

// Much larger buffers than this lost: a connection busy storing a big
// buffer reads nothing meanwhile, and a server pacing each connection falls
// behind its rate (1 MiB buffers cost 8-10% on 16 rate-capped connections).
// For the same reason the CLI writes through the descriptor: storing
// through the mapping first zero-fills each new page, which made every
// store slower (1 GiB: 0.6 s written against 0.9-1.2 s mapped, on a line
// without cap).
constexpr std::size_t cliBufferSize = 64 * 1024;

// An existing folder takes the file, as cp and wget do, whether or not
// its path ends in "/" (the engine names it as the server or the address
// does).
std::string outputPath(const GetOptions& options) {
    std::string name = fileNameFromPath(parseAddress(options.url) ? parseAddress(options.url)->path : "");
    if (name.empty()) name = "download";
    if (options.output.empty()) return name;
    std::error_code ignored;
    if (options.output.back() != '/' && std::filesystem::is_directory(options.output, ignored))
        return options.output + "/";
    return options.output;
}

void printLogLine(int connection, const std::string& time, const std::string& message, int level) {
    std::fprintf(stderr, "%s[%s] #%d %s%s\n", lineStart(), gbkToUtf8(time).c_str(), connection,
                 level == logLevel::error ? "error: " : "", gbkToUtf8(message).c_str());
}

// Waits for the end, stopping the task on Ctrl-C, and showing progress
// once a second. A host whose name does not resolve is not tried again and
// again (as wget and curl do not): true when the job was stopped for that.
bool waitForEnd(DownloadJob& job) {
    auto lastTick = Clock::now();
    bool abandoned = false;
    const ProgressStyle style = progressStyle();
    while (!job.waitForEnd(std::chrono::milliseconds(200))) {
        if (interrupted) job.stop();
        if (!abandoned && job.total() < 0 && job.lastCause().kind == CauseKind::NameLookup) {
            abandoned = true;
            job.stop();
        }
        // A stopping download's counters are no longer its progress.
        if (interrupted || abandoned) continue;
        const auto now = Clock::now();
        if (now - lastTick < std::chrono::seconds(1)) continue;
        const double seconds = std::chrono::duration<double>(now - lastTick).count();
        const double speed = static_cast<double>(job.takeBytesSinceLastQuery()) / seconds;
        lastTick = now;
        const std::string line = progressLine(job.total(), job.received(), speed);
        if (style == ProgressStyle::Bar) std::fprintf(stderr, "\r\033[K%s", line.c_str());
        if (style == ProgressStyle::Line) std::fprintf(stderr, "%s\n", line.c_str());
    }
    job.settle();
    if (style == ProgressStyle::Bar) std::fprintf(stderr, "\r\033[K");
    return abandoned;
}

void say(const std::string& text) {
    if (!quiet()) std::fprintf(stderr, "%s\n", text.c_str());
}

int reportOutcome(const DownloadJob& job, double seconds, bool abandoned) {
    const auto bytes = static_cast<double>(job.bytesDone());
    if (job.outcome() == TaskOutcome::Complete) {
        // The speed of this run: bytes an earlier run left do not count.
        const auto fetched = bytes - static_cast<double>(job.continuedFrom());
        const std::string earlier =
            job.continuedFrom() > 0 ? ", " + humanBytes(fetched) + " of it fetched now" : std::string();
        char line[512];
        std::snprintf(line, sizeof line, "saved %s: %s%s in %.2f s (%s/s)", job.savedPath().c_str(),
                      humanBytes(bytes).c_str(), earlier.c_str(), seconds,
                      humanBytes(seconds > 0 ? fetched / seconds : 0).c_str());
        say(line);
        return exitCode::done;
    }
    if (job.outcome() == TaskOutcome::AlreadyThere) {
        say("zorvan-cli: skipped " + job.savedPath() + ": it is already there (" + humanBytes(bytes) +
            ", checked against the server's file)");
        return exitCode::done;
    }
    const std::string kept = job.keptText();
    if (job.outcome() == TaskOutcome::Stopped && !abandoned) {
        std::fprintf(stderr, "zorvan-cli: stopped%s%s\n", kept.empty() ? "" : "; ", kept.c_str());
        return interruptedExitCode();
    }
    const Verdict verdict = downloadVerdict(abandoned ? TaskOutcome::TransferFailed : job.outcome(), job.lastCause());
    std::fprintf(stderr, "zorvan-cli: %s: %s\n", job.url().c_str(), verdict.text.c_str());
    if (bytes > 0)
        std::fprintf(stderr, "zorvan-cli: %s of %s received\n", humanBytes(bytes).c_str(),
                     job.total() >= 0 ? humanBytes(static_cast<double>(job.total())).c_str() : "?");
    if (!kept.empty()) std::fprintf(stderr, "zorvan-cli: %s\n", kept.c_str());
    return verdict.exitCode;
}

}  // namespace

void useCliEngineSettings(std::size_t bufferSize, int retries, int retryWaitSeconds, bool sync, int checkpointMs,
                          bool splice) {
    EngineSettings settings = engineSettings();
    settings.receiveBufferSize = bufferSize ? bufferSize : cliBufferSize;
    settings.splitForIdleConnections = true;
    settings.mappedWrites = false;
    settings.bulkScheduling = true;
    settings.retriesPerConnection = retries;
    settings.retryPauseMs = retryWaitSeconds * 1000;
    settings.syncBeforeNaming = sync;
    settings.checkpointIntervalMs = checkpointMs;
    settings.spliceReceive = splice;
    setEngineSettings(settings);
}

std::string whyNotFetchable(const std::string& url, const std::string& localPath) {
    switch (addressFault(url)) {
        case AddressFault::Scheme: return "only http:// and https:// addresses can be fetched";
        case AddressFault::NoPath: return "an address needs a host and a path after it (http://host/file)";
        case AddressFault::Port: return "the port must be a number from 1 to 65535";
        case AddressFault::ControlCharacter: return "the address holds control characters";
        case AddressFault::None: break;
    }
    if (!isWebScheme(parseAddress(url)->scheme)) return "only http:// and https:// addresses can be fetched";
    if (localPath.size() > maxLocalPathBytes) return "the output path is too long";
    return "the address is too long for a request (at most " + std::to_string(maxTargetBytes) + " bytes of path)";
}

int runGet(const GetOptions& options) {
    setOutputStyle(options.display.progress, options.display.quiet);
    if (options.output == "-") return streamGet(options);
    useCliEngineSettings(options.bufferSize, options.network.retries.value_or(5), options.network.retryWaitSeconds,
                         options.sync, options.checkpointMs, options.splice);
    JobSettings settings;
    settings.connections = options.connections;
    settings.speedLimit = options.speedLimit;
    settings.chunkSize = options.chunkSize;
    settings.renameOnExists = options.renameOnExists;
    settings.continuePart = options.continuePart;
    settings.note = [](const std::string& text) {
        if (!quiet()) std::fprintf(stderr, "%szorvan-cli: %s\n", lineStart(), text.c_str());
    };
    settings.partNote = settings.note;
    if (options.verbose) settings.log = printLogLine;
    std::string error;
    if (!applyNetwork(options.network, options.url, settings, error)) {
        std::fprintf(stderr, "zorvan-cli: %s\n", error.c_str());
        return exitCode::usage;
    }
    warnIfInsecure(options.network);
    const auto started = Clock::now();
    DownloadJob job(options.url, utf8ToGbk(outputPath(options)), settings);
    if (!job.start()) {
        std::fprintf(stderr, "zorvan-cli: cannot download %s: %s\n", options.url.c_str(),
                     whyNotFetchable(options.url, job.localPath()).c_str());
        return exitCode::usage;
    }
    const bool abandoned = waitForEnd(job);
    return reportOutcome(job, std::chrono::duration<double>(Clock::now() - started).count(), abandoned);
}

}  // namespace zorvan::cli
