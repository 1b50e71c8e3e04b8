// The engine over TLS, against nginx on 127.0.0.1 with certificates made
// for the test: whole files, resumed sessions, redirects across schemes,
// handshakes that stall or are stopped, a proxy's tunnel, and streams cut
// off in the middle of a TLS record.
#include "download/download.h"
#include "download/tls_client.h"
#include "support/download_runner.h"
#include "support/loopback_server.h"
#include "support/nginx_server.h"
#include "support/tcp_relay.h"
#include "support/test_certificates.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <sstream>
#include <thread>

namespace zorvan {
namespace {

using namespace test;

class HttpsTest : public EngineTestBase {
protected:
    void SetUp() override {
        EngineTestBase::SetUp();
        ASSERT_TRUE(certificates.made()) << certificates.error();
        tls = TlsClient::create({certificates.caFile(), true});
        ASSERT_TRUE(tls);
    }
    TaskParam params(const std::string& url, const std::string& path, int connections) const {
        TaskParam p = quickParams(url, path, connections);
        p.tlsClient = tls;
        return p;
    }
    std::unique_ptr<NginxServer> startNginx(const std::string& lines = "") const {
        auto server = std::make_unique<NginxServer>(lines, NginxTls{certificates.valid(), certificates.key()});
        EXPECT_TRUE(server->running()) << server->error();
        return server;
    }

    TestCertificates certificates;
    std::shared_ptr<TlsClient> tls;
};

// For each request of the access log whose status starts with `status`,
// whether its TLS session was resumed ("r") or not (".").
std::vector<std::string> sessionsOf(const std::string& log, const std::string& status) {
    std::vector<std::string> marks;
    std::istringstream lines(log);
    std::string mark, code, rest;
    while (lines >> mark >> code && std::getline(lines, rest))
        if (code.rfind(status, 0) == 0) marks.push_back(mark);
    return marks;
}

TEST_F(HttpsTest, FilesArriveWholeOverEveryConnectionCountAndFurtherConnectionsResume) {
    // Paced, so every planned connection gets a part to fetch.
    const auto server = startNginx("limit_rate 8m;");
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{3 << 20}}) {
        const std::string content = server->addFile("f" + std::to_string(size), size);
        for (const int connections : {1, 5, 16}) {
            const std::string path = target("f" + std::to_string(size) + "-" + std::to_string(connections));
            const DownloadRecord r = runDownload(params(server->url("/f" + std::to_string(size)), path, connections));
            EXPECT_EQ(r.outcome, TaskOutcome::Complete) << size << " x" << connections;
            EXPECT_TRUE(readFile(path) == content) << size << " x" << connections;
            EXPECT_EQ(r.spliced, 0) << "TLS bodies are decrypted in the program";
        }
    }
    // One full handshake, the very first: every later connection, of the
    // same download or the next, resumed the client's session.
    const std::string log = server->accessLog();
    EXPECT_GE(sessionsOf(log, "206").size(), 4u + 15u) << log;
    const std::vector<std::string> all = sessionsOf(log, "20");
    EXPECT_EQ(std::count(all.begin(), all.end(), "."), 1) << log;
}

TEST_F(HttpsTest, RedirectsCrossBetweenHttpAndHttpsWithTheirCookie) {
    const auto server = startNginx(
        "location = /to-tls { add_header Set-Cookie \"pass=one; Path=/\"; "
        "return 302 https://localhost:@TLS_PORT@/to-plain; }\n"
        "location = /to-plain { return 302 http://localhost:@PORT@/file.bin; }");
    const std::string content = server->addFile("file.bin", 200000);
    // http -> https -> http, then straight from https to http.
    for (const std::string& url : {server->plainUrl("/to-tls"), server->url("/to-plain")}) {
        const DownloadRecord r = runDownload(params(url, target(), 3));
        EXPECT_EQ(r.outcome, TaskOutcome::Complete) << url;
        EXPECT_TRUE(readFile(target()) == content) << url;
        std::filesystem::remove(target());
    }
    const std::string log = server->accessLog();
    EXPECT_NE(log.find("\"pass=one\" /to-plain"), std::string::npos) << log;
}

TEST_F(HttpsTest, AHandshakeThatStallsEndsWithinItsLimitAndAStopEndsItAtOnce) {
    // Takes the connection and never answers the client's hello.
    LoopbackServer silent(fileScript("never sent"));
    const std::string url = "https://127.0.0.1:" + std::to_string(silent.port()) + "/a.mp4";
    useQuickEngineSettings(0);
    TaskParam p = params(url, target(), 1);
    p.connectTimeout = 500;
    auto started = std::chrono::steady_clock::now();
    const DownloadRecord stalled = runDownload(p);
    EXPECT_EQ(stalled.outcome, TaskOutcome::TransferFailed);
    EXPECT_TRUE(stalled.logged("TLS握手超时"));
    // Its 500 ms limit, with room for a busy machine: never the hang it guards against.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));

    p.connectTimeout = 20000;
    std::atomic<int> outcome{-1};
    p.eventProcedure = [&](int type, int, std::int64_t, std::int64_t extra, TaskId) {
        if (type == event::end) outcome = static_cast<int>(extra);
        return 0;
    };
    Download download;
    ASSERT_TRUE(download.startTask(p));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    started = std::chrono::steady_clock::now();
    download.stopTask();
    EXPECT_TRUE(download.waitUntilIdle(std::chrono::seconds(5)));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(8)) << "well before the 20 s limit";
    EXPECT_EQ(outcome.load(), static_cast<int>(TaskOutcome::Stopped));
    EXPECT_TRUE(filesIn(folder).empty());
}

TEST_F(HttpsTest, AProxyTunnelCarriesRangesAndStreamsCutMidRecordAreResumedOrReported) {
    const auto server = startNginx("limit_rate 8m;");
    const std::string content = server->addFile("f.bin", 3 << 20);
    const int tlsPort = std::stoi(server->url("/").substr(server->url("/").rfind(':') + 1));

    TcpRelay proxy(TcpRelay::Mode::ConnectProxy);
    TaskParam p = params(server->url("/f.bin"), target("tunnelled.bin"), 5);
    p.proxy = "127.0.0.1:" + std::to_string(proxy.port());
    const DownloadRecord tunnelled = runDownload(p);
    EXPECT_EQ(tunnelled.outcome, TaskOutcome::Complete);
    EXPECT_TRUE(readFile(target("tunnelled.bin")) == content);
    const auto lines = proxy.connectLines();
    EXPECT_GE(lines.size(), 5u);
    for (const std::string& line : lines) EXPECT_EQ(line, "CONNECT localhost:" + std::to_string(tlsPort) + " HTTP/1.1");
    const std::string log = server->accessLog();
    EXPECT_NE(log.find("\"bytes="), std::string::npos) << "ranged requests went through the tunnel";

    // Every connection is cut 100000 bytes into the server's stream, inside
    // some record: each retry carries on from what arrived...
    TcpRelay cutter(TcpRelay::Mode::Relay, tlsPort, 100000);
    const std::string cutUrl = "https://localhost:" + std::to_string(cutter.port()) + "/f.bin";
    useQuickEngineSettings(60);
    const DownloadRecord resumed = runDownload(params(cutUrl, target("cut.bin"), 5));
    EXPECT_EQ(resumed.outcome, TaskOutcome::Complete);
    EXPECT_TRUE(readFile(target("cut.bin")) == content);
    EXPECT_TRUE(resumed.logged("服务器在TLS记录中途关闭了连接"));
    // ...and without retries the cut is the outcome, with nothing saved.
    useQuickEngineSettings(0);
    const DownloadRecord failed = runDownload(params(cutUrl, target("failed.bin"), 5));
    EXPECT_EQ(failed.outcome, TaskOutcome::TlsClosedMidRecord);
    EXPECT_FALSE(std::filesystem::exists(target("failed.bin")));
}

}  // namespace
}  // namespace zorvan
