// The engine against servers that answer in ways the well-behaved road
// never meets: parts for the whole, no length, busy answers, files that
// change mid-download, and stops that land just as a download ends.
#include "download/download.h"
#include "download/engine_settings.h"
#include "support/download_runner.h"
#include "support/loopback_server.h"
#include "support/nginx_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

namespace zorvan {
namespace {

using namespace test;

using ServerFaultsTest = EngineTestBase;

TEST_F(ServerFaultsTest, AnswersWithoutALengthUpFrontStillArriveWhole) {
    // A part for the whole: its Content-Range names the size; the rest comes by ranges,
    // though the server keeps the connection open after the part.
    const std::string content = patternBytes(300000);
    LoopbackServer partial(fileScript(content, [&](ScriptedReply& reply, const HttpRequest&, std::int64_t from) {
        if (from >= 0) return;
        reply.status = "206 Partial Content";
        reply.headers = {"Content-Range: bytes 0-999/300000"};
        reply.body = content.substr(0, 1000);
        reply.keepAlive = true;
    }));
    DownloadRecord r = runDownload(quickParams(partial.url("/a.mp4"), target("partial.mp4"), 3));
    EXPECT_EQ(r.outcome, TaskOutcome::Complete);
    EXPECT_TRUE(readFile(target("partial.mp4")) == content);
    EXPECT_FALSE(r.logged("接收数据超时")) << "the end of a part is known without waiting for silence";

    // Chunked and close-delimited bodies: one connection, complete only at their end.
    for (const std::size_t size : {std::size_t{0}, std::size_t{1000003}, std::size_t{3000000}}) {
        const std::string body = patternBytes(size, static_cast<unsigned>(size) + 7);
        for (const bool chunked : {true, false}) {
            LoopbackServer server(fileScript(body, [chunked](ScriptedReply& reply, const HttpRequest&, std::int64_t) {
                reply.chunked = chunked;
                reply.chunkSize = 7777;
                reply.contentLength = false;
            }));
            const std::string name = (chunked ? "chunked" : "closed") + std::to_string(size) + ".mp4";
            r = runDownload(quickParams(server.url("/a.mp4"), target(name), 5));
            EXPECT_EQ(r.outcome, TaskOutcome::Complete) << name;
            EXPECT_EQ(r.bytes, static_cast<std::int64_t>(size)) << name;
            EXPECT_TRUE(readFile(target(name)) == body) << name;
            EXPECT_EQ(r.count(event::connectionStarted), 1) << name;
            EXPECT_EQ(server.requests().size(), 1u) << name;
        }
    }
    // Chunks cut off before the last one: nothing is saved.
    LoopbackServer cut(fileScript(patternBytes(100000), [](ScriptedReply& reply, const HttpRequest&, std::int64_t) {
        reply.chunked = true;
        reply.closeAfter = 50000;
    }));
    r = runDownload(quickParams(cut.url("/a.mp4"), target("cut.mp4"), 5));
    EXPECT_EQ(r.outcome, TaskOutcome::TransferFailed);
    EXPECT_FALSE(std::filesystem::exists(target("cut.mp4")));
}

TEST_F(ServerFaultsTest, BusyAnswersAreRetriedAfterTheWaitTheServerAsksFor) {
    const std::string content = patternBytes(200000);
    std::atomic<int> first{0}, ranged{0};
    LoopbackServer server(fileScript(content, [&](ScriptedReply& reply, const HttpRequest&, std::int64_t from) {
        if ((from < 0 && first++ == 0) || (from > 0 && ranged++ == 0)) {
            reply.status = from < 0 ? "503 Service Unavailable" : "429 Too Many Requests";
            reply.headers = {"Retry-After: 1"};
            reply.body = "busy";
        } else if (from < 0) {
            // Only the first half, so the second must come by its own request.
            reply.status = "206 Partial Content";
            reply.headers = {"Content-Range: bytes 0-99999/200000"};
            reply.body = content.substr(0, 100000);
        }
    }));
    const auto start = std::chrono::steady_clock::now();
    const DownloadRecord r = runDownload(quickParams(server.url("/a.mp4"), target(), 2));
    EXPECT_EQ(r.outcome, TaskOutcome::Complete);
    EXPECT_TRUE(readFile(target()) == content);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(950)) << "Retry-After: 1 was kept";
    EXPECT_TRUE(r.logged("返回号[503]"));
    EXPECT_GE(r.count(event::retrying), 2);
}

// Serves version 0 of a file to the first whole-file request and version 1
// from then on (to every one when `everyTime`), with entity tags; honours
// If-Range only when `ifRange`.
LoopbackServer::Script changingFile(const std::string (&versions)[2], std::atomic<int>& version, bool ifRange,
                                    bool everyTime) {
    return [&versions, &version, ifRange, everyTime](const HttpRequest& request) {
        int v = version.load();
        std::int64_t from = -1;
        if (const std::string range = request.header("Range"); !range.empty()) from = std::stoll(range.substr(6));
        if (from < 0 && (everyTime || v == 0)) version = 1 - v;
        const std::string& body = versions[v];
        ScriptedReply reply;
        reply.keepAlive = false;
        reply.headers = {"ETag: \"v" + std::to_string(v) + "\"", "Accept-Ranges: bytes"};
        const bool stale = ifRange && !request.header("If-Range").empty() &&
                           request.header("If-Range") != "\"v" + std::to_string(v) + "\"";
        if (from >= 0 && !stale) {
            reply.status = "206 Partial Content";
            reply.headers.push_back("Content-Range: bytes " + std::to_string(from) + "-" +
                                    std::to_string(body.size() - 1) + "/" + std::to_string(body.size()));
            reply.body = body.substr(static_cast<std::size_t>(from));
        } else {
            reply.body = body;
        }
        // Whole answers come slowly, so the ranged ones are seen first.
        reply.bytesPerSecond = from >= 0 ? 0 : 2000000;
        return reply;
    };
}

TEST_F(ServerFaultsTest, AFileChangedOnTheServerIsFetchedAgainOnceAndNeverMixed) {
    const std::string versions[2] = {patternBytes(400000, 1), patternBytes(400000, 2)};
    for (const bool ifRange : {true, false}) {
        std::atomic<int> version{0};
        LoopbackServer once(changingFile(versions, version, ifRange, false));
        const std::string name = ifRange ? "if-range.mp4" : "etag.mp4";
        DownloadRecord r = runDownload(quickParams(once.url("/a.mp4"), target(name), 4));
        EXPECT_EQ(r.outcome, TaskOutcome::Complete) << name;
        EXPECT_TRUE(readFile(target(name)) == versions[1]) << name << ": the new version, whole";
        EXPECT_TRUE(r.logged("重新开始下载")) << name;
        bool conditional = false;
        for (const auto& request : once.requests()) conditional = conditional || request.header("If-Range") == "\"v0\"";
        EXPECT_TRUE(conditional) << name << ": ranged requests carry If-Range with the first answer's tag";
    }
    std::atomic<int> version{0};
    LoopbackServer always(changingFile(versions, version, true, true));
    const DownloadRecord r = runDownload(quickParams(always.url("/a.mp4"), target("always.mp4"), 4));
    EXPECT_EQ(r.outcome, TaskOutcome::FileChanged);
    EXPECT_TRUE(r.logged("文件在下载过程中被服务器更改"));
    EXPECT_FALSE(std::filesystem::exists(target("always.mp4")));
}

TEST_F(ServerFaultsTest, ConnectionsEndingAtTheEndNeitherCrashNorLoseAPart) {
    // A part whose connection is refused goes to the connection that finishes its own.
    const std::string content = patternBytes(300000);
    std::atomic<int> refusals{0};
    LoopbackServer refusing(fileScript(content, [&](ScriptedReply& reply, const HttpRequest&, std::int64_t from) {
        if (from > 0 && refusals++ == 0) {
            reply.status = "403 Forbidden";
            reply.body = "no";
        }
        if (from <= 0) reply.bytesPerSecond = 3000000;
    }));
    const DownloadRecord r = runDownload(quickParams(refusing.url("/a.mp4"), target(), 2));
    EXPECT_EQ(r.outcome, TaskOutcome::Complete);
    EXPECT_TRUE(readFile(target()) == content);

    // Stops that land as the last byte arrives: every task ends once, with a whole file or none.
    const std::string tiny = patternBytes(3000);
    LoopbackServer server(fileScript(tiny));
    for (int round = 0; round < 300; ++round) {
        const std::string path = target("t" + std::to_string(round) + ".mp4");
        std::atomic<int> ends{0};
        std::atomic<std::int64_t> outcome{-1};
        TaskParam params = quickParams(server.url("/t.mp4"), path, 1);
        params.eventProcedure = [&](int type, int, std::int64_t, std::int64_t extra, TaskId) {
            if (type == event::end) {
                outcome = extra;
                ++ends;
            }
            return 0;
        };
        Download download;
        ASSERT_TRUE(download.startTask(params));
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (download.bytesDownloaded() < 3000 && std::chrono::steady_clock::now() < until) std::this_thread::yield();
        download.stopTask();
        ASSERT_TRUE(download.waitUntilIdle(std::chrono::seconds(5)));
        ASSERT_EQ(ends.load(), 1) << round;
        if (outcome == static_cast<std::int64_t>(TaskOutcome::Complete))
            EXPECT_TRUE(readFile(path) == tiny) << round;
        else
            EXPECT_FALSE(std::filesystem::exists(path)) << round;
    }
}

TEST_F(ServerFaultsTest, AStreamCutAfterItsBytesReconnectsAtOnceWhereAskedAndOtherwiseWaits) {
    const std::string content = patternBytes(300000);
    std::atomic<int> answers{0};
    LoopbackServer server(fileScript(content, [&](ScriptedReply& reply, const HttpRequest&, std::int64_t) {
        if (answers++ < 2) reply.closeAfterBody = 100000;  // two cuts, each after bytes
    }));
    const auto pauses = [](const DownloadRecord& r) {
        std::vector<std::int64_t> ms;
        for (const SeenEvent& e : r.events)
            if (e.type == event::retrying) ms.push_back(e.value);
        return ms;
    };
    EngineSettings settings = engineSettings();
    settings.retryPauseMs = 300;
    setEngineSettings(settings);

    TaskParam asked = quickParams(server.url("/a.mp4"), target("asked.mp4"), 1);
    asked.reconnectAtOnceAfterBytes = true;
    DownloadRecord r = runDownload(asked);
    EXPECT_EQ(r.outcome, TaskOutcome::Complete);
    EXPECT_TRUE(readFile(target("asked.mp4")) == content);
    EXPECT_EQ(pauses(r), (std::vector<std::int64_t>{0, 0}));

    // The pause stays for a task that did not ask, and for a connection that brought nothing.
    answers = 0;
    r = runDownload(quickParams(server.url("/a.mp4"), target("plain.mp4"), 1));
    EXPECT_TRUE(readFile(target("plain.mp4")) == content);
    EXPECT_EQ(pauses(r), (std::vector<std::int64_t>{300, 300}));
    LoopbackServer empty(fileScript(content, [&](ScriptedReply& reply, const HttpRequest&, std::int64_t) {
        if (answers++ < 1) reply.closeAfterBody = 0;
    }));
    answers = 0;
    asked.url = empty.url("/a.mp4");
    asked.localPath = target("empty.mp4");
    r = runDownload(asked);
    EXPECT_TRUE(readFile(target("empty.mp4")) == content);
    EXPECT_EQ(pauses(r), (std::vector<std::int64_t>{300}));
}

}  // namespace
}  // namespace zorvan
