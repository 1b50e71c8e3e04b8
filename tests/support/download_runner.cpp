#include "support/download_runner.h"

#include "download/engine_settings.h"
#include "text/code_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>

namespace zorvan::test {

int DownloadRecord::count(int type) const {
    return static_cast<int>(std::count_if(events.begin(), events.end(), [type](const SeenEvent& e) { return e.type == type; }));
}

bool DownloadRecord::logged(const std::string& text) const {
    return std::any_of(logs.begin(), logs.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

const SeenEvent* DownloadRecord::first(int type) const {
    const auto it = std::find_if(events.begin(), events.end(), [type](const SeenEvent& e) { return e.type == type; });
    return it == events.end() ? nullptr : &*it;
}

namespace {

DownloadRecord run(TaskParam params, std::function<int(std::int64_t)> onClash, int timeoutMs, std::int64_t stopAtBytes) {
    DownloadRecord record;
    std::mutex lock;
    std::condition_variable ended;
    params.eventProcedure = [&](int type, int connection, std::int64_t value, std::int64_t extra, TaskId) {
        std::lock_guard guard(lock);
        record.events.push_back({type, connection, value, extra});
        if (type == event::nameClash) return onClash ? onClash(value) : clashAnswer::rename;
        if (type == event::end) {
            record.ended = true;
            record.bytes = value;
            record.outcome = static_cast<TaskOutcome>(extra);
            ended.notify_all();
        }
        return 0;
    };
    params.logProcedure = [&](int, const std::string&, const std::string& message, int, TaskId) {
        std::lock_guard guard(lock);
        record.logs.push_back(gbkToUtf8(message));
    };
    Download download;
    if (!download.startTask(params)) {
        ADD_FAILURE() << "startTask refused " << params.url;
        return record;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool stopped = stopAtBytes < 0;
    for (std::unique_lock guard(lock); !record.ended && std::chrono::steady_clock::now() < deadline;) {
        ended.wait_for(guard, std::chrono::milliseconds(stopped ? 100 : 2));
        if (!stopped && download.bytesDownloaded() >= stopAtBytes) {
            guard.unlock();
            download.stopTask();
            stopped = true;
            guard.lock();
        }
    }
    if (!record.ended) ADD_FAILURE() << "no end event within " << timeoutMs << " ms";
    if (!record.ended) download.stopTask();
    EXPECT_TRUE(download.waitUntilIdle(std::chrono::seconds(10)));
    std::lock_guard guard(lock);
    record.spliced = download.lastSplicedBytes();
    return record;
}

}  // namespace

DownloadRecord runDownload(TaskParam params, std::function<int(std::int64_t)> onClash, int timeoutMs) {
    return run(std::move(params), std::move(onClash), timeoutMs, -1);
}

DownloadRecord runDownloadUntil(TaskParam params, std::int64_t stopAtBytes, int timeoutMs) {
    return run(std::move(params), {}, timeoutMs, stopAtBytes);
}

TaskParam quickParams(const std::string& url, const std::string& localPath, int connections) {
    TaskParam params;
    params.mode = downloadMode;
    params.url = url;
    params.localPath = localPath;
    params.connections = connections;
    params.connectTimeout = 2000;
    params.sendTimeout = 2000;
    params.receiveTimeout = 2000;
    params.chunkSize = 10240;
    return params;
}

void useQuickEngineSettings(int retries) {
    EngineSettings settings;
    settings.retryPauseMs = 20;
    settings.retriesPerConnection = retries;
    setEngineSettings(settings);
}

void useReceivePath(bool splice) {
    EngineSettings settings = engineSettings();
    settings.spliceReceive = splice;
    setEngineSettings(settings);
}

std::string receivePathName(const ::testing::TestParamInfo<bool>& path) { return path.param ? "Spliced" : "Buffered"; }

std::string freshFolder(const std::string& name) {
    const std::string folder = ::testing::TempDir() + "zorvan-" + name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return {};
    std::string bytes(static_cast<std::size_t>(std::max<std::streamoff>(in.tellg(), 0)), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

LoopbackServer::Script fileScript(std::string content,
                                  std::function<void(ScriptedReply&, const HttpRequest&, std::int64_t)> adjust) {
    return [content = std::move(content), adjust = std::move(adjust)](const HttpRequest& request) {
        ScriptedReply reply;
        reply.keepAlive = false;
        std::int64_t from = -1;
        const std::string range = request.header("Range");
        if (range.rfind("bytes=", 0) == 0) from = std::stoll(range.substr(6));
        if (from >= 0 && from < static_cast<std::int64_t>(content.size())) {
            reply.status = "206 Partial Content";
            reply.headers.push_back("Content-Range: bytes " + std::to_string(from) + "-" +
                                    std::to_string(content.size() - 1) + "/" + std::to_string(content.size()));
            reply.body = content.substr(static_cast<std::size_t>(from));
        } else {
            reply.body = content;
        }
        reply.headers.push_back("Accept-Ranges: bytes");
        if (adjust) adjust(reply, request, from);
        return reply;
    };
}

LoopbackServer::Script pacedFile(const std::string& content, long totalRate, int connections) {
    return fileScript(content, [=](ScriptedReply& reply, const HttpRequest&, std::int64_t) {
        reply.headers.push_back("ETag: \"v1\"");
        reply.bytesPerSecond = totalRate / connections;
    });
}

::testing::AssertionResult askedOnlyFor(const std::vector<ByteRange>& missing, std::int64_t size,
                                        const std::vector<HttpRequest>& requests, std::size_t from) {
    for (std::size_t i = from; i < requests.size(); ++i) {
        const std::string range = requests[i].header("Range");
        if (range.rfind("bytes=", 0) != 0) return ::testing::AssertionFailure() << "a request without a range";
        const std::int64_t begin = std::stoll(range.substr(6));
        const auto dash = range.find('-');
        const std::int64_t end = dash + 1 < range.size() ? std::stoll(range.substr(dash + 1)) + 1 : size;
        const bool inGap = std::any_of(missing.begin(), missing.end(),
                                       [&](const ByteRange& g) { return begin >= g.begin && end <= g.end; });
        if (!inGap) return ::testing::AssertionFailure() << range << " asks for bytes that are there";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace zorvan::test
