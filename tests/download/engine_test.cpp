// The engine against servers the tests start on 127.0.0.1: a well-behaved
// one and one scripted with faults, with bodies going into the file inside
// the kernel and through the buffer. A file reported complete must equal
// the served bytes; anything else must leave no file under its final name.
#include "download/connection_pool.h"
#include "download/download.h"
#include "download/engine_settings.h"
#include "support/download_runner.h"
#include "support/loopback_server.h"
#include "support/nginx_server.h"
#include "text/code_page.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>
#include <tuple>

namespace zorvan {
namespace {

using namespace test;

class EngineTest : public EngineTestBase, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        EngineTestBase::SetUp();
        useReceivePath(GetParam());
    }
};

TEST_P(EngineTest, FilesOfEverySizeArriveWhole) {
    for (const std::size_t size : {std::size_t{1}, std::size_t{10000}, std::size_t{1000003}}) {
        const std::string content = patternBytes(size, static_cast<unsigned>(size));
        // Paced, so every planned connection gets going before the first is through.
        LoopbackServer server(fileScript(content, [](ScriptedReply& reply, const HttpRequest&, std::int64_t) {
            reply.bytesPerSecond = 10000000;
        }));
        const std::string path = target("f" + std::to_string(size) + ".mp4");
        const DownloadRecord r = runDownload(quickParams(server.url("/f.mp4"), path, 5));
        EXPECT_EQ(r.outcome, TaskOutcome::Complete) << size;
        EXPECT_EQ(r.bytes, static_cast<std::int64_t>(size));
        EXPECT_TRUE(readFile(path) == content) << size;
        EXPECT_EQ(r.count(event::size), 1);
        // One for a small file; for a large one several, however a busy
        // machine schedules them (one may finish a part before another starts).
        if (size < 20480)
            EXPECT_EQ(r.count(event::connectionStarted), 1) << size;
        else
            EXPECT_TRUE(r.count(event::connectionStarted) > 1 && r.count(event::connectionStarted) <= 5) << size;
    }
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"f1.mp4", "f10000.mp4", "f1000003.mp4"}))
        << "no temporary file is left";
}

TEST_P(EngineTest, AnEmptyResourceIsAnEmptyFile) {
    LoopbackServer server(fileScript(""));
    const DownloadRecord r = runDownload(quickParams(server.url("/e.mp4"), target(), 5));
    EXPECT_EQ(r.outcome, TaskOutcome::Complete);
    ASSERT_TRUE(std::filesystem::exists(target()));
    EXPECT_EQ(std::filesystem::file_size(target()), 0u);
}

TEST_P(EngineTest, AServerThatIgnoresRangesStillGivesTheWholeFile) {
    const std::string content = patternBytes(600000);
    LoopbackServer server(fileScript(content, [&](ScriptedReply& reply, const HttpRequest&, std::int64_t) {
        reply.status = "200 OK";
        reply.headers.clear();
        reply.body = content;
        reply.bytesPerSecond = 4000000;  // slow enough for the ranged answers to come first
    }));
    const DownloadRecord r = runDownload(quickParams(server.url("/a.mp4"), target(), 5));
    EXPECT_EQ(r.outcome, TaskOutcome::Complete);
    EXPECT_TRUE(readFile(target()) == content);
    EXPECT_TRUE(r.logged("出现错误")) << "the ranged connections saw the whole file come back";
}

TEST_P(EngineTest, ABodyCutShortIsFetchedAgainFromWhereItStopped) {
    const std::string content = patternBytes(300000);
    std::atomic<int> cuts{0};
    LoopbackServer server(fileScript(content, [&](ScriptedReply& reply, const HttpRequest&, std::int64_t from) {
        // Each first answer for a part ends early.
        if (from <= 0 && cuts++ < 1) reply.closeAfter = 150000;
        if (from > 0 && from % 100000 == 0 && cuts++ < 3) reply.closeAfter = 40000;
    }));
    const DownloadRecord r = runDownload(quickParams(server.url("/a.mp4"), target(), 3));
    EXPECT_EQ(r.outcome, TaskOutcome::Complete);
    EXPECT_TRUE(readFile(target()) == content);
    EXPECT_TRUE(r.logged("等待0秒后重试"));
    bool resumedMidway = false;
    for (const auto& request : server.requests()) {
        const std::string range = request.header("Range");
        if (!range.empty() && std::stoll(range.substr(6)) % 100000 != 0) resumedMidway = true;
    }
    EXPECT_TRUE(resumedMidway) << "a retry asks for the rest, not the segment again";
}

TEST_P(EngineTest, IdleConnectionsTakeOverHalfOfASlowPartAndTheFileStaysWhole) {
    EngineSettings settings = engineSettings();
    settings.splitForIdleConnections = true;
    setEngineSettings(settings);
    const std::string content = patternBytes(1000000);
    LoopbackServer server(fileScript(content, [&](ScriptedReply& reply, const HttpRequest&, std::int64_t from) {
        // The first part crawls (no other stream can carry on into it).
        reply.bytesPerSecond = from <= 0 ? 20000 : 20000000;
    }));
    const DownloadRecord r = runDownload(quickParams(server.url("/a.mp4"), target(), 4));
    EXPECT_EQ(r.outcome, TaskOutcome::Complete);
    EXPECT_TRUE(readFile(target()) == content);
    int splits = 0;
    for (const auto& request : server.requests()) {
        const std::string range = request.header("Range");
        if (!range.empty() && std::stoll(range.substr(6)) % 250000 != 0) ++splits;
    }
    EXPECT_GE(splits, 1) << "the slow part was split";
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{"a.mp4"});
}

TEST_P(EngineTest, AStallLongerThanTheReceiveLimitIsRetried) {
    const std::string content = patternBytes(100000);
    std::atomic<int> answers{0};
    LoopbackServer server(fileScript(content, [&](ScriptedReply& reply, const HttpRequest&, std::int64_t) {
        if (answers++ == 0) reply.neverAnswer = true;
    }));
    TaskParam params = quickParams(server.url("/a.mp4"), target(), 1);
    params.receiveTimeout = 300;
    const DownloadRecord r = runDownload(params);
    EXPECT_EQ(r.outcome, TaskOutcome::Complete);
    EXPECT_TRUE(r.logged("接收数据超时"));
    EXPECT_TRUE(readFile(target()) == content);
}

TEST_P(EngineTest, APartThatStartsElsewhereIsNeverWrittenThere) {
    const std::string content = patternBytes(400000);
    LoopbackServer server(fileScript(content, [&](ScriptedReply& reply, const HttpRequest&, std::int64_t from) {
        if (from > 0) {  // claims to start one byte early and sends those bytes
            reply.headers = {"Content-Range: bytes " + std::to_string(from - 1) + "-399999/400000"};
            reply.body = content.substr(static_cast<std::size_t>(from - 1));
        }
        reply.bytesPerSecond = 4000000;
    }));
    const DownloadRecord r = runDownload(quickParams(server.url("/a.mp4"), target(), 4));
    EXPECT_EQ(r.outcome, TaskOutcome::Complete);
    EXPECT_TRUE(readFile(target()) == content);
}

TEST_P(EngineTest, WhatCannotBeFetchedLeavesNoFile) {
    struct Case {
        const char* what;
        std::function<void(ScriptedReply&, const HttpRequest&, std::int64_t)> fault;
        TaskOutcome outcome;
        const char* log;
    };
    const std::vector<Case> cases = {
        {"a part with no range", [](ScriptedReply& r, const HttpRequest&, std::int64_t) {
             r.status = "206 Partial Content";
             r.headers = {};
         },
         TaskOutcome::NoSize, "无法获得文件大小"},
        {"negative length", [](ScriptedReply& r, const HttpRequest&, std::int64_t) {
             r.contentLength = false;
             r.headers.push_back("Content-Length: -5");
         },
         TaskOutcome::Refused, "服务器给出的文件长度无效"},
        {"two lengths", [](ScriptedReply& r, const HttpRequest&, std::int64_t) {
             r.headers.push_back("Content-Length: 49999");
         },
         TaskOutcome::Refused, "服务器给出的文件长度无效"},
        {"403", [](ScriptedReply& r, const HttpRequest&, std::int64_t) { r.status = "403 Forbidden"; },
         TaskOutcome::Refused, "出现错误"},
        {"404", [](ScriptedReply& r, const HttpRequest&, std::int64_t) { r.status = "404 Not Found"; },
         TaskOutcome::Refused, "出现错误"},
        {"501", [](ScriptedReply& r, const HttpRequest&, std::int64_t) { r.status = "501 Not Implemented"; },
         TaskOutcome::Refused, "暂时不支持的返回, 返回号[501]"},
        {"huge header",
         [](ScriptedReply& r, const HttpRequest&, std::int64_t) { r.headers.push_back("X-Big: " + std::string(70000, 'b')); },
         TaskOutcome::Refused, "HTTP返回头部信息过长"},
        {"redirect loop",
         [](ScriptedReply& r, const HttpRequest&, std::int64_t) {
             r.status = "302 Found";
             r.headers = {"Location: /loop.mp4"};
         },
         TaskOutcome::Refused, "重定向次数过多"},
    };
    for (const Case& c : cases) {
        LoopbackServer server(fileScript(patternBytes(50000), c.fault));
        const DownloadRecord r = runDownload(quickParams(server.url("/a.mp4"), target(), 3));
        EXPECT_EQ(r.outcome, c.outcome) << c.what;
        EXPECT_TRUE(r.logged(c.log)) << c.what;
        EXPECT_TRUE(filesIn(folder).empty()) << c.what;
        EXPECT_LE(server.requests().size(), 21u) << c.what;
    }
    // Nobody listening: retried, then given up.
    int closedPort;
    {
        LoopbackServer gone(fileScript("x"));
        closedPort = gone.port();
    }
    const DownloadRecord r =
        runDownload(quickParams("http://127.0.0.1:" + std::to_string(closedPort) + "/a.mp4", target(), 2));
    EXPECT_EQ(r.outcome, TaskOutcome::TransferFailed);
    EXPECT_TRUE(r.logged("失败"));
    EXPECT_TRUE(filesIn(folder).empty());
}

TEST_P(EngineTest, RedirectionsAreFollowedWithTheirCookieOnce) {
    const std::string content = patternBytes(200000);
    LoopbackServer server([&](const HttpRequest& request) {
        ScriptedReply reply;
        if (request.target == "/start/a.mp4") {
            reply.status = "302 Found";
            reply.headers = {"Location: b.mp4", "Set-Cookie: k=v; path=/"};
            return reply;
        }
        if (request.target == "/start/b.mp4") {
            reply.status = "301 Moved Permanently";
            reply.headers = {"Location: /final/c.mp4"};
            return reply;
        }
        return fileScript(content)(request);
    });
    const DownloadRecord r = runDownload(quickParams(server.url("/start/a.mp4"), target(), 2));
    EXPECT_EQ(r.outcome, TaskOutcome::Complete);
    EXPECT_TRUE(readFile(target()) == content);
    const auto requests = server.requests();
    // (A second connection is made only if the first has not already
    // carried on through the whole file.)
    ASSERT_GE(requests.size(), 3u);
    EXPECT_EQ(requests[0].header("Cookie"), "");
    EXPECT_EQ(requests[1].target, "/start/b.mp4");
    EXPECT_EQ(requests[1].header("Cookie"), "k=v");
    EXPECT_EQ(requests[2].target, "/final/c.mp4");
    for (std::size_t i = 3; i < requests.size(); ++i) {
        EXPECT_EQ(requests[i].target, "/final/c.mp4");
        EXPECT_EQ(requests[i].header("Cookie"), "") << "ranged requests carry no cookie";
    }
}

TEST_P(EngineTest, AnExistingFileIsNeverTouched) {
    LoopbackServer server(fileScript(patternBytes(30000)));
    std::ofstream(target("a.mp4")) << "old";
    std::ofstream(target("a(1).mp4")) << "older";

    DownloadRecord r = runDownload(quickParams(server.url("/a.mp4"), target("a.mp4"), 2),
                                   [](std::int64_t existing) { return existing == 3 ? clashAnswer::rename : 9; });
    EXPECT_EQ(r.outcome, TaskOutcome::Complete);
    EXPECT_TRUE(r.logged("发现同名文件, 系统自动更名为" + target("a(2).mp4")));
    EXPECT_EQ(readFile(target("a.mp4")), "old");
    EXPECT_EQ(readFile(target("a(1).mp4")), "older");
    EXPECT_EQ(readFile(target("a(2).mp4")).size(), 30000u);

    r = runDownload(quickParams(server.url("/a.mp4"), target("a.mp4"), 2), [](std::int64_t) { return clashAnswer::giveUp; });
    EXPECT_EQ(r.outcome, TaskOutcome::GivenUp);
    EXPECT_TRUE(r.logged("发现同名文件, 用户选择放弃下载"));
    EXPECT_EQ(r.count(event::size), 0);

    std::ofstream(target("song(live).mp4")) << "live";
    r = runDownload(quickParams(server.url("/a.mp4"), target("song(live).mp4"), 2));
    EXPECT_EQ(r.outcome, TaskOutcome::GivenUp);
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"a(1).mp4", "a(2).mp4", "a.mp4", "song(live).mp4"}));
}

TEST_P(EngineTest, StoppingEndsTheTaskAndFreesTheDownloadAtOnce) {
    const std::string content = patternBytes(2000000);
    LoopbackServer server(fileScript(content, [](ScriptedReply& reply, const HttpRequest&, std::int64_t) {
        reply.bytesPerSecond = 200000;
    }));
    std::atomic<int> endEvents{0};
    std::atomic<std::int64_t> endOutcome{-1};
    TaskParam params = quickParams(server.url("/a.mp4"), target(), 3);
    params.eventProcedure = [&](int type, int, std::int64_t, std::int64_t extra, TaskId) {
        if (type == event::end) {
            endOutcome = extra;
            ++endEvents;
        }
        return 0;
    };
    Download download;
    ASSERT_TRUE(download.startTask(params));
    EXPECT_FALSE(download.startTask(params)) << "one task at a time";
    for (int i = 0; i < 200 && download.bytesDownloaded() < 100000; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GT(download.takeBytesSinceLastQuery(), 0);
    EXPECT_EQ(download.takeBytesSinceLastQuery(), 0);
    download.stopTask();
    EXPECT_FALSE(download.hasTask());
    ASSERT_TRUE(download.waitUntilIdle(std::chrono::seconds(10)));
    EXPECT_EQ(endEvents.load(), 1);
    EXPECT_EQ(endOutcome.load(), static_cast<std::int64_t>(TaskOutcome::Stopped));
    EXPECT_TRUE(filesIn(folder).empty()) << "an unfinished file is removed";
}

TEST_P(EngineTest, APartNeverTakesAByteBeyondItsEnd) {
    // Every ranged answer ends before the part asked for, and every answer
    // is followed by bytes that are not the file's: none may be taken in.
    const std::size_t size = 600000, part = 70000;
    const std::string content = patternBytes(size, 5);
    const std::string stray(40000, '\xEE');
    LoopbackServer server(fileScript(content, [&](ScriptedReply& reply, const HttpRequest&, std::int64_t from) {
        const std::size_t begin = from < 0 ? 0 : static_cast<std::size_t>(from);
        const std::size_t length = from < 0 ? size : std::min(part, size - begin);
        reply.contentLength = false;
        reply.headers = {"Content-Length: " + std::to_string(length)};
        if (from >= 0)
            reply.headers.push_back("Content-Range: bytes " + std::to_string(begin) + "-" +
                                    std::to_string(begin + length - 1) + "/" + std::to_string(size));
        reply.body = content.substr(begin, length) + stray;
        if (from < 0) reply.bytesPerSecond = 2000000;  // so the ranged answers come first
    }));
    const DownloadRecord r = runDownload(quickParams(server.url("/a.mp4"), target(), 4));
    EXPECT_EQ(r.outcome, TaskOutcome::Complete);
    EXPECT_EQ(r.bytes, static_cast<std::int64_t>(size));
    EXPECT_TRUE(readFile(target()) == content);
    EXPECT_GE(server.requests().size(), 5u) << "parts were asked for again where the short answers ended";
}

// A work of a batch goes over one connection unless more pay: fast enough
// alone, the planned connections never start; too slow alone, they do.
TEST_P(EngineTest, AWorkThatSplitsOnlyWhenItPaysUsesMoreConnectionsOnlyWhenTheyWouldSaveTime) {
    const std::string content = patternBytes(2000000, 4);
    for (const long rate : {0L, 1000000L}) {
        SCOPED_TRACE(rate == 0 ? "unpaced" : "1 MB/s per connection");
        LoopbackServer server(fileScript(content, [rate](ScriptedReply& reply, const HttpRequest&, std::int64_t) {
            reply.bytesPerSecond = rate;
        }));
        const std::string path = target(std::to_string(rate) + ".mp4");
        TaskParam p = quickParams(server.url("/w.mp4"), path, 5);
        p.splitOnlyWhenWorthIt = true;
        const DownloadRecord r = runDownload(p);
        ASSERT_EQ(r.outcome, TaskOutcome::Complete);
        EXPECT_TRUE(readFile(path) == content);
        if (rate == 0) {
            EXPECT_EQ(server.requests().size(), 1u) << "one request carried the whole file";
            EXPECT_EQ(r.count(event::connectionStarted), 1);
        } else {
            EXPECT_GE(r.count(event::connectionStarted), 3) << "two seconds alone: worth splitting";
        }
    }
}

// Over a long round trip (here: any, as a loopback connection is made at
// once) the further connections connect while the first request waits for
// its answer, so their requests leave as soon as the size is known; a file
// too small to share leaves them unused.
TEST_P(EngineTest, OverALongRoundTripTheFurtherConnectionsConnectWhileTheFirstAnswerIsAwaited) {
    EngineSettings settings = engineSettings();
    settings.longRoundTripMs = 0;
    setEngineSettings(settings);
    for (const std::size_t size : {std::size_t{1000000}, std::size_t{10000}}) {
        SCOPED_TRACE(size);
        const std::string content = patternBytes(size, 9);
        std::atomic<int> acceptedBeforeAnswer{-1};
        LoopbackServer* self = nullptr;
        LoopbackServer server(fileScript(content, [&](ScriptedReply& reply, const HttpRequest& request, std::int64_t) {
            reply.bytesPerSecond = 2000000;  // every connection gets going before the first is through
            if (!request.header("Range").empty()) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(150));  // the first answer is long in coming
            acceptedBeforeAnswer = self->connectionCount();
        }));
        self = &server;
        const std::string path = target(std::to_string(size) + ".mp4");
        const DownloadRecord r = runDownload(quickParams(server.url("/r.mp4"), path, 5));
        ASSERT_EQ(r.outcome, TaskOutcome::Complete);
        EXPECT_TRUE(readFile(path) == content);
        EXPECT_EQ(acceptedBeforeAnswer.load(), 5) << "every further connection was made meanwhile";
        if (size < 20480)
            EXPECT_EQ(server.requests().size(), 1u) << "one segment: the early connections ask for nothing";
        else
            EXPECT_EQ(server.requests().size(), 5u) << "each early connection asked for its part once";
        EXPECT_EQ(filesIn(folder).size(), size < 20480 ? 2u : 1u);
    }
}

// A batch's downloads keep their connections for each other: the second
// download's requests go out on connections the first left, and a server
// that closed one meanwhile costs nothing but a new connection.
TEST_P(EngineTest, DownloadsSharingAPoolReuseConnectionsAServerLeftOpen) {
    const std::string one = patternBytes(300000, 1), two = patternBytes(300000, 2);
    enum class Ending { KeepOpen, CloseSilently, SayClose };
    std::atomic<Ending> ending{Ending::KeepOpen};
    LoopbackServer server([&](const HttpRequest& request) {
        ScriptedReply reply = fileScript(request.target == "/one.mp4" ? one : two)(request);
        reply.keepAlive = ending == Ending::KeepOpen;
        if (ending == Ending::SayClose) reply.headers.push_back("Connection: close");
        return reply;
    });
    const auto pool = std::make_shared<ConnectionPool>();
    const auto fetch = [&](const std::string& name, bool pooled) {
        TaskParam p = quickParams(server.url("/" + name), target(name), 1);
        if (pooled) p.connectionPool = pool;
        const DownloadRecord r = runDownload(p);
        EXPECT_EQ(r.outcome, TaskOutcome::Complete) << name;
        EXPECT_TRUE(readFile(target(name)) == (name == "one.mp4" ? one : two)) << name;
        return r;
    };
    fetch("one.mp4", true);
    EXPECT_EQ(server.requests().back().header("Connection"), "keep-alive");
    EXPECT_EQ(pool->size(), 1u) << "the answer read to its end left its connection";
    const int connections = server.connectionCount();
    fetch("two.mp4", true);
    EXPECT_EQ(server.connectionCount(), connections) << "the second download made no connection";
    EXPECT_EQ(pool->size(), 1u);

    // Without a pool, the request says so and the connection is closed.
    fetch("three.mp4", false);
    EXPECT_EQ(server.requests().back().header("Connection"), "close");

    // A kept connection the server closed meanwhile is replaced at once,
    // without a retry's pause.
    ending = Ending::CloseSilently;
    fetch("four.mp4", true);  // on the kept connection, which the server then closes
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const DownloadRecord stale = fetch("five.mp4", true);
    EXPECT_EQ(stale.count(event::retrying), 0);
    // An answer that says it closes leaves nothing to keep.
    ending = Ending::SayClose;
    while (pool->take("http://127.0.0.1:" + std::to_string(server.port()) + " ")) {
    }
    fetch("six.mp4", true);
    EXPECT_EQ(pool->size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(BothPaths, EngineTest, ::testing::Bool(), receivePathName);

using ReceivePathTest = EngineTestBase;

TEST_F(ReceivePathTest, PlainSizedBodiesGoIntoTheFileInsideTheKernelOthersThroughTheBuffer) {
    const std::string content = patternBytes(1000000, 9);
    const auto size = static_cast<std::int64_t>(content.size());
    for (const bool splice : {true, false}) {
        useReceivePath(splice);
        LoopbackServer server(fileScript(content));
        const std::string name = splice ? "spliced.mp4" : "buffered.mp4";
        const DownloadRecord r = runDownload(quickParams(server.url("/a.mp4"), target(name), 3));
        EXPECT_EQ(r.outcome, TaskOutcome::Complete) << name;
        EXPECT_TRUE(readFile(target(name)) == content) << name;
        if (splice) {
            // Only what came in one read with an answer's header passed through the buffer.
            const auto requests = static_cast<std::int64_t>(server.requests().size());
            EXPECT_GE(r.spliced, size - 4096 * requests) << requests << " requests";
            EXPECT_LE(r.spliced, size);
        } else {
            EXPECT_EQ(r.spliced, 0) << "switched off";
        }
    }
    useReceivePath(true);
    for (const bool chunked : {true, false}) {
        LoopbackServer server(fileScript(content, [chunked](ScriptedReply& reply, const HttpRequest&, std::int64_t) {
            reply.chunked = chunked;
            reply.contentLength = false;
        }));
        const std::string name = chunked ? "chunked.mp4" : "until-close.mp4";
        const DownloadRecord r = runDownload(quickParams(server.url("/a.mp4"), target(name), 3));
        EXPECT_EQ(r.outcome, TaskOutcome::Complete) << name;
        EXPECT_TRUE(readFile(target(name)) == content) << name;
        EXPECT_EQ(r.spliced, 0) << name;
    }
}

using EngineStartTest = EngineTestBase;

TEST_F(EngineStartTest, AddressesThatCannotBeFetchedAreRefusedAtTheStart) {
    Download download;
    for (const char* url : {"http://host", "http:\\/\\/host\\/a.mp4", "https://host", "ftp://host/a", "host/a"})
        EXPECT_FALSE(download.startTask(quickParams(url, target(), 1))) << url;
    EXPECT_FALSE(download.startTask(quickParams("http://127.0.0.1:1/a.mp4", "", 1)));
    EXPECT_FALSE(download.hasTask());
}

TEST(EngineWithNginx, FilesAreByteIdenticalToWhatARealServerHolds) {
    NginxServer nginx;
    ASSERT_TRUE(nginx.running()) << nginx.error();
    const std::string folder = freshFolder("nginx");
    // Mapped files take spliced bytes through the descriptor beside the
    // header's bytes through the mapping; both must land in the same pages.
    for (const bool splice : {true, false}) {
        for (const auto& [size, connections, mapped] : std::vector<std::tuple<std::size_t, int, bool>>{
                 {0, 5, true}, {20479, 5, true}, {20480, 5, true}, {3 * 1024 * 1024 + 7, 5, true},
                 {3 * 1024 * 1024 + 7, 16, true}, {0, 5, false}, {3 * 1024 * 1024 + 7, 5, false}}) {
            useQuickEngineSettings();
            EngineSettings settings = engineSettings();
            settings.mappedWrites = mapped;
            settings.spliceReceive = splice;
            setEngineSettings(settings);
            const std::string name = "f" + std::to_string(size) + "_" + std::to_string(connections) +
                                     (mapped ? "_mapped" : "_written") + (splice ? "_spliced" : "_buffered") + ".bin";
            const std::string content = nginx.addFile(name, size);
            const DownloadRecord r = runDownload(quickParams(nginx.url("/" + name), folder + "/" + name, connections));
            EXPECT_EQ(r.outcome, TaskOutcome::Complete) << name;
            EXPECT_TRUE(readFile(folder + "/" + name) == content) << name;
            EXPECT_EQ(r.spliced > 0, splice && size > 0) << name;
        }
    }
    const DownloadRecord missing = runDownload(quickParams(nginx.url("/missing.bin"), folder + "/m.bin", 5));
    EXPECT_EQ(missing.outcome, TaskOutcome::Refused);
}

}  // namespace
}  // namespace zorvan
