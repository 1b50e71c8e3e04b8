#include "cli/get_command.h"

#include "cli/download_job.h"
#include "cli/progress_line.h"
#include "cli/terminal.h"
#include "download/engine_settings.h"
#include "download/http_address.h"
#include "download/http_request.h"
#include "download/target_file.h"
#include "download/tls_client.h"
#include "download_policy/outcome_text.h"
#include "text/code_page.h"

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

std::string outputPath(const GetOptions& options) {
    std::string name = fileNameFromPath(parseAddress(options.url) ? parseAddress(options.url)->path : "");
    if (name.empty()) name = "download";
    if (options.output.empty()) return name;
    return options.output;
}

void printLogLine(int connection, const std::string& time, const std::string& message, int level) {
    std::fprintf(stderr, "%s[%s] #%d %s%s\n", lineStart(), gbkToUtf8(time).c_str(), connection,
                 level == logLevel::error ? "error: " : "", gbkToUtf8(message).c_str());
}

// Waits for the end, stopping the task on Ctrl-C and redrawing the
// progress line on a terminal once a second.
void waitForEnd(DownloadJob& job) {
    auto lastTick = Clock::now();
    while (!job.waitForEnd(std::chrono::milliseconds(200))) {
        if (interrupted) job.stop();
        const auto now = Clock::now();
        if (now - lastTick < std::chrono::seconds(1)) continue;
        const double seconds = std::chrono::duration<double>(now - lastTick).count();
        const double speed = static_cast<double>(job.takeBytesSinceLastQuery()) / seconds;
        lastTick = now;
        if (onTerminal())
            std::fprintf(stderr, "\r\033[K%s", progressLine(job.total(), job.received(), speed).c_str());
    }
    job.settle();
    if (onTerminal()) std::fprintf(stderr, "\r\033[K");
}

int reportOutcome(const DownloadJob& job, double seconds) {
    const auto bytes = static_cast<double>(job.bytesDone());
    if (job.outcome() == TaskOutcome::Complete) {
        // The speed of this run: bytes an earlier run left do not count.
        const auto fetched = bytes - static_cast<double>(job.continuedFrom());
        const std::string earlier =
            job.continuedFrom() > 0 ? ", " + humanBytes(fetched) + " of it fetched now" : std::string();
        std::fprintf(stderr, "saved %s: %s%s in %.2f s (%s/s)\n", job.savedPath().c_str(), humanBytes(bytes).c_str(),
                     earlier.c_str(), seconds, humanBytes(seconds > 0 ? fetched / seconds : 0).c_str());
        return 0;
    }
    const std::string kept = job.keptText();
    if (job.outcome() == TaskOutcome::Stopped && !kept.empty()) {
        std::fprintf(stderr, "zorvan-cli: stopped; %s\n", kept.c_str());
        return interruptedExitCode();
    }
    std::fprintf(stderr, "zorvan-cli: download not complete: %s (%s of %s received)\n",
                 outcomeText(job.outcome(), !kept.empty()).c_str(), humanBytes(bytes).c_str(),
                 job.total() >= 0 ? humanBytes(static_cast<double>(job.total())).c_str() : "?");
    if (!job.lastError().empty()) std::fprintf(stderr, "zorvan-cli: last error: %s\n", job.lastError().c_str());
    if (!kept.empty()) std::fprintf(stderr, "zorvan-cli: %s\n", kept.c_str());
    return job.outcome() == TaskOutcome::Stopped ? interruptedExitCode() : 1;
}

}  // namespace

void useCliEngineSettings(std::size_t bufferSize, int retries, int retryWaitSeconds, bool sync, int checkpointMs) {
    EngineSettings settings = engineSettings();
    settings.receiveBufferSize = bufferSize ? bufferSize : cliBufferSize;
    settings.splitForIdleConnections = true;
    settings.mappedWrites = false;
    settings.bulkScheduling = true;
    settings.retriesPerConnection = retries;
    settings.retryPauseMs = retryWaitSeconds * 1000;
    settings.syncBeforeNaming = sync;
    settings.checkpointIntervalMs = checkpointMs;
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
    useCliEngineSettings(options.bufferSize, options.retries, options.retryWaitSeconds, options.sync,
                         options.checkpointMs);
    JobSettings settings;
    settings.connections = options.connections;
    settings.speedLimit = options.speedLimit;
    settings.proxy = options.proxy;
    settings.chunkSize = options.chunkSize;
    settings.renameOnExists = options.renameOnExists;
    settings.continuePart = options.continuePart;
    settings.note = [](const std::string& text) {
        std::fprintf(stderr, "%szorvan-cli: %s\n", lineStart(), text.c_str());
    };
    settings.partNote = settings.note;
    if (options.verbose) settings.log = printLogLine;
    if (!options.caFile.empty() || options.insecure) {
        std::string error;
        settings.tls = TlsClient::create({options.caFile, !options.insecure}, &error);
        if (!settings.tls) {
            std::fprintf(stderr, "zorvan-cli: %s\n", error.c_str());
            return 2;
        }
        if (options.insecure)
            std::fprintf(stderr, "zorvan-cli: warning: --insecure: the server's certificate and name are not checked\n");
    }
    DownloadJob job(options.url, utf8ToGbk(outputPath(options)), settings);
    if (!job.start()) {
        std::fprintf(stderr, "zorvan-cli: cannot download %s: %s\n", options.url.c_str(),
                     whyNotFetchable(options.url, job.localPath()).c_str());
        return 2;
    }
    const auto started = Clock::now();
    waitForEnd(job);
    return reportOutcome(job, std::chrono::duration<double>(Clock::now() - started).count());
}

}  // namespace zorvan::cli
