#include "cli/get_command.h"

#include "cli/address_credentials.h"
#include "cli/engine_log_english.h"
#include "cli/json_results.h"
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
#include <ctime>

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
    // -d is the folder the name (or -o's relative path) goes into.
    const std::string folder = options.outputDir.empty() ? std::string() : options.outputDir + "/";
    if (options.output.empty()) return folder + name;
    const std::string output = options.output[0] == '/' ? options.output : folder + options.output;
    std::error_code ignored;
    if (output.back() != '/' && std::filesystem::is_directory(output, ignored)) return output + "/";
    return output;
}

// The engine's log in the tool's language, stamped with the local time of
// day as other tools' logs are (the engine's own stamp is the window's).
void printLogLine(int connection, const std::string&, const std::string& message, int level) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[16];
    std::strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
    const std::string text = gbkToUtf8(message);
    const bool headers = level == logLevel::sent || level == logLevel::received;
    std::fprintf(stderr, "%s[%s] #%d %s%s\n", lineStart(), stamp, connection, level == logLevel::error ? "error: " : "",
                 (headers ? text : englishLogMessage(text)).c_str());
}

// Waits for the end, stopping the task on Ctrl-C, and showing progress:
// redrawn once a second on a terminal, in a log a line every
// plainLineInterval and only when bytes came. A host whose name does not
// resolve is not tried again and again (as wget and curl do not): true when
// the job was stopped for that.
bool waitForEnd(DownloadJob& job) {
    auto lastTick = Clock::now();
    auto lastLine = Clock::now();
    std::int64_t lastLineBytes = 0;
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
        const std::int64_t received = job.received();
        const std::string line = progressLine(job.total(), received, speed);
        if (style == ProgressStyle::Bar) std::fprintf(stderr, "\r\033[K%s", line.c_str());
        if (style == ProgressStyle::Line && now - lastLine >= plainLineInterval && received != lastLineBytes) {
            std::fprintf(stderr, "%s\n", line.c_str());
            lastLine = now;
            lastLineBytes = received;
        }
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
            ", not verified: compared in part with the server's file)");
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

// The one address's object and the summary, for --json.
bool printJsonResult(const DownloadJob& job, double seconds, int code, bool abandoned) {
    ItemResult item{job.url(), job.savedPath(), "failed", {}, job.bytesDone(), job.continuedFrom(), seconds, code};
    RunSummary summary;
    if (job.outcome() == TaskOutcome::Complete) {
        item.state = "done";
        ++summary.done;
    } else if (job.outcome() == TaskOutcome::AlreadyThere) {
        item.state = "skipped";
        item.cause = alreadyThereSampled;
        item.verified = false;
        item.takenOver = 0;
        ++summary.skipped;
    } else if (job.outcome() == TaskOutcome::Stopped && !abandoned) {
        item.state = "stopped";
        item.cause = job.keptText();
        ++summary.stopped;
    } else {
        item.cause = downloadVerdict(abandoned ? TaskOutcome::TransferFailed : job.outcome(), job.lastCause()).text;
        ++summary.failed;
    }
    if (item.state != "skipped") {
        summary.fetched = item.bytes - item.takenOver;
        summary.takenOver = item.takenOver;
    }
    summary.seconds = seconds;
    summary.exitCode = code;
    return printItemJson(item) && printSummaryJson(summary);
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
    setCliEngine(settings);
}

std::string whyNotFetchable(const std::string& url, const std::string& localPath) {
    switch (addressFault(url)) {
        case AddressFault::Scheme: return "only http:// and https:// addresses can be fetched";
        case AddressFault::NoPath: return "an address needs a host and a path after it (http://host/file)";
        case AddressFault::Port: return "the port must be a number from 1 to 65535";
        case AddressFault::ControlCharacter: return "the address holds control characters";
        case AddressFault::UserInfo: return "the address holds a user name and password that cannot be read";
        case AddressFault::None: break;
    }
    if (!isWebScheme(parseAddress(url)->scheme)) return "only http:// and https:// addresses can be fetched";
    if (localPath.size() > maxLocalPathBytes) return "the output path is too long";
    return "the address is too long for a request (at most " + std::to_string(maxTargetBytes) + " bytes of path)";
}

int runGet(const GetOptions& given) {
    GetOptions options = given;
    const Credentials credentials = takeCredentials(given.url);
    options.url = credentials.address;
    if (!credentials.header.empty()) options.network.headers.push_back(credentials.header);
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
    settings.strict = options.strict;
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
    if (!options.outputDir.empty()) {
        std::error_code failure;
        std::filesystem::create_directories(options.outputDir, failure);
        if (failure) {
            std::fprintf(stderr, "zorvan-cli: cannot make the folder %s: %s\n", options.outputDir.c_str(),
                         failure.message().c_str());
            return exitCode::localFile;
        }
    }
    const auto started = Clock::now();
    DownloadJob job(options.url, utf8ToGbk(outputPath(options)), settings);
    if (!job.start()) {
        std::fprintf(stderr, "zorvan-cli: cannot download %s: %s\n", options.url.c_str(),
                     whyNotFetchable(options.url, job.localPath()).c_str());
        return exitCode::usage;
    }
    const bool abandoned = waitForEnd(job);
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    const int code = reportOutcome(job, seconds, abandoned);
    if (options.json && !printJsonResult(job, seconds, code, abandoned)) {
        std::fprintf(stderr, "zorvan-cli: cannot write the results to standard output\n");
        return exitCode::localFile;
    }
    return code;
}

}  // namespace zorvan::cli
