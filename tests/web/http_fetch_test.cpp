#include "support/loopback_server.h"
#include "web/http_client_init.h"
#include "web/fetch_workers.h"
#include "web/http_fetch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace zorvan {
namespace {

using test::HttpRequest;
using test::LoopbackServer;
using test::ScriptedReply;

class HttpFetchTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(initHttpClient()); }
};

ScriptedReply ok(std::string body, std::vector<std::string> headers = {}) {
    ScriptedReply reply;
    reply.body = std::move(body);
    reply.headers = std::move(headers);
    return reply;
}

TEST_F(HttpFetchTest, AWorksListRequestCarriesExactlyTheseBytes) {
    LoopbackServer server([](const HttpRequest&) { return ok("{\"pages\":1}"); });
    const std::string address = server.url("/u/works/s?lumono=100001&p=100");
    std::string sent;
    EXPECT_EQ(httpFetchText(address, {}, {}, nullptr, nullptr, &sent), "{\"pages\":1}");

    const std::string headerText = "Referer: " + address +
                                   "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
                                   "Content-Type: application/x-www-form-urlencoded";
    EXPECT_EQ(sent, headerText);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].raw,
              "GET /u/works/s?lumono=100001&p=100 HTTP/1.1\r\n"
              "Host: 127.0.0.1:" + std::to_string(server.port()) + "\r\n"
              "User-Agent: " + std::string(defaultUserAgent) + "\r\n" +
              headerText + "\r\n\r\n");
}

TEST_F(HttpFetchTest, CallerHeadersAgentAndCookiesAreSentAsGiven) {
    LoopbackServer server([](const HttpRequest&) { return ok("x"); });
    std::string headers = "Accept: text/html\r\nUser-Agent: Tester/1";
    std::string cookies = "s=1; t=2";
    httpFetch(server.url("/a"), 0, {}, &cookies, nullptr, &headers);
    std::string otherCase = "accept: text/html";
    httpFetch(server.url("/b"), 0, {}, nullptr, nullptr, &otherCase);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].headerLines,
              (std::vector<std::string>{"Host: 127.0.0.1:" + std::to_string(server.port()), "Accept: text/html",
                                        "User-Agent: Tester/1", "Referer: " + server.url("/a"),
                                        "Accept-Language: zh-cn",
                                        "Content-Type: application/x-www-form-urlencoded",
                                        "Cookie: s=1; t=2"}));
    // Another letter case is another name: the default Accept joins it.
    EXPECT_EQ(requests[1].header("User-Agent"), defaultUserAgent);
    int acceptLines = 0;
    for (const auto& line : requests[1].headerLines) acceptLines += line.rfind("ccept:", 1) == 1;
    EXPECT_EQ(acceptLines, 2);
    EXPECT_EQ(otherCase, "accept: text/html\r\nReferer: " + server.url("/b") +
                             "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
                             "Content-Type: application/x-www-form-urlencoded");
}

TEST_F(HttpFetchTest, RedirectsAreFollowedUnlessForbidden) {
    LoopbackServer server([](const HttpRequest& request) {
        if (request.target == "/old") {
            ScriptedReply moved = ok("moved", {"Location: /new", "Set-Cookie: hop=1; path=/"});
            moved.status = "302 Found";
            return moved;
        }
        return ok("arrived", {"Set-Cookie: final=2; path=/"});
    });
    std::string location, responseHeaders, newCookies;
    EXPECT_EQ(httpFetchText(server.url("/old"), {}, {}, nullptr, &newCookies, nullptr, &location, {}, nullptr,
                            {}, &responseHeaders),
              "arrived");
    EXPECT_EQ(server.requests().size(), 2u);
    // Only the final response's headers count; without a Location they are the location.
    EXPECT_EQ(responseHeaders.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_EQ(location, responseHeaders);
    EXPECT_EQ(newCookies, "final=2");

    EXPECT_EQ(httpFetchText(server.url("/old"), {}, {}, nullptr, &newCookies, nullptr, &location, true),
              "moved");
    EXPECT_EQ(location, "/new");
    EXPECT_EQ(newCookies, "hop=1");
    EXPECT_EQ(server.requests().size(), 3u);
}

TEST_F(HttpFetchTest, SetCookieLinesAreCollectedAndMerged) {
    LoopbackServer server([](const HttpRequest&) {
        return ok("", {"Set-Cookie: a=1; path=/", "Set-Cookie: b=2", "Set-Cookie: c=deleted; path=/"});
    });
    std::string cookies = "c=3; old=4";
    std::string newCookies;
    httpFetchText(server.url("/"), {}, {}, &cookies, &newCookies);
    // "b=2" has no ";" after it and so gives an empty item, which stays.
    EXPECT_EQ(newCookies, "a=1;;c=deleted");
    EXPECT_EQ(cookies, "a=1; ; old=4");
}

TEST_F(HttpFetchTest, TextStopsAtTheFirstZeroByteWhileBytesKeepEverything) {
    const std::string body("ab\0cd", 5);
    LoopbackServer server([&](const HttpRequest& request) {
        ScriptedReply reply = ok(body);
        reply.chunked = request.target == "/chunked";
        reply.chunkSize = 2;
        return reply;
    });
    EXPECT_EQ(httpFetch(server.url("/plain")), body);
    EXPECT_EQ(httpFetch(server.url("/chunked")), body);
    EXPECT_EQ(httpFetchText(server.url("/plain")), "ab");
}

TEST_F(HttpFetchTest, PostSendsItsBodyAndAnyOtherMethodSendsOneWithGet) {
    LoopbackServer server([](const HttpRequest& request) { return ok(request.method + ":" + request.body); });
    Bytes postBytes;
    EXPECT_EQ(httpFetchText(server.url("/p"), 1, std::string("x=1&y=2"), nullptr, nullptr, nullptr, nullptr, {},
                            &postBytes),
              "POST:x=1&y=2");
    EXPECT_EQ(postBytes, "x=1&y=2");
    Bytes given = std::string("raw\0bytes", 9);
    EXPECT_EQ(httpFetch(server.url("/p"), 1, std::string("ignored"), nullptr, nullptr, nullptr, nullptr, {}, &given),
              "POST:" + given);
    EXPECT_EQ(httpFetchText(server.url("/p"), 2, std::string("q")), "GET:q");
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].header("Content-Length"), "7");
    EXPECT_EQ(requests[0].header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[0].header("Expect"), "");
}

TEST_F(HttpFetchTest, FailuresGiveAnEmptyBody) {
    int closedPort;
    {
        LoopbackServer gone([](const HttpRequest&) { return ok("x"); });
        closedPort = gone.port();
    }
    std::string location = "before", responseHeaders = "before";
    EXPECT_EQ(httpFetch("http://127.0.0.1:" + std::to_string(closedPort) + "/", {}, {}, nullptr, nullptr, nullptr,
                        &location, {}, nullptr, {}, &responseHeaders),
              "");
    EXPECT_EQ(responseHeaders, "");
    EXPECT_EQ(location, "");

    // A server that never answers is given up once it has stalled.
    LoopbackServer silent([](const HttpRequest&) {
        ScriptedReply reply;
        reply.neverAnswer = true;
        return reply;
    });
    const HttpFetchLimits saved = httpFetchLimits();
    setHttpFetchLimits({2000, 1});
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(httpFetchText(silent.url("/")), "");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));

    // A body past the bound fails the request instead of filling the memory.
    LoopbackServer endless([](const HttpRequest&) {
        ScriptedReply reply = ok(std::string(5000, 'w'));
        reply.contentLength = false;
        return reply;
    });
    setHttpFetchLimits({2000, 5, 4096});
    EXPECT_EQ(httpFetchText(endless.url("/")), "");
    setHttpFetchLimits({2000, 5, 5000});
    EXPECT_EQ(httpFetchText(endless.url("/")).size(), 5000u);
    setHttpFetchLimits(saved);

    // An error page is a body like any other.
    LoopbackServer missing([](const HttpRequest&) {
        ScriptedReply reply = ok("not here");
        reply.status = "404 Not Found";
        return reply;
    });
    EXPECT_EQ(httpFetchText(missing.url("/")), "not here");
}

TEST_F(HttpFetchTest, HeaderBlocksBeyondFiveThousandBytesAreStillRead) {
    LoopbackServer server([](const HttpRequest&) {
        std::vector<std::string> headers;
        for (int i = 0; i < 40; ++i) headers.push_back("X-Filler-" + std::to_string(i) + ": " + std::string(500, 'f'));
        headers.push_back("Location: http://elsewhere/x");
        headers.push_back("Set-Cookie: late=1; path=/");
        ScriptedReply reply = ok("moved", headers);
        reply.status = "301 Moved Permanently";
        return reply;
    });
    std::string location, newCookies, responseHeaders;
    httpFetchText(server.url("/"), {}, {}, nullptr, &newCookies, nullptr, &location, true, nullptr, {},
                  &responseHeaders);
    EXPECT_GT(responseHeaders.size(), 20000u);
    EXPECT_EQ(location, "http://elsewhere/x");
    EXPECT_EQ(newCookies, "late=1");
}

TEST_F(HttpFetchTest, AGivenProxyCarriesPlainHttpRequests) {
    LoopbackServer proxy([](const HttpRequest& request) { return ok("via proxy " + request.target); });
    const std::string target = "http://media.example:8080/a.mp4?x=1";
    EXPECT_EQ(httpFetchText(target, {}, {}, nullptr, nullptr, nullptr, nullptr, {}, nullptr,
                            "127.0.0.1:" + std::to_string(proxy.port())),
              "via proxy " + target);
    ASSERT_EQ(proxy.requests().size(), 1u);
    EXPECT_EQ(proxy.requests()[0].header("Host"), "media.example:8080");
    EXPECT_EQ(proxy.requests()[0].header("Proxy-Connection"), "");

    // An empty proxy is direct access.
    LoopbackServer direct([](const HttpRequest& request) { return ok("direct " + request.target); });
    EXPECT_EQ(httpFetchText(direct.url("/d"), {}, {}, nullptr, nullptr, nullptr, nullptr, {}, nullptr,
                            std::string()),
              "direct /d");
}

TEST_F(HttpFetchTest, AStoppedWorkersFetchEndsAtOnceAndOthersAreUntouched) {
    LoopbackServer silent([](const HttpRequest&) {
        ScriptedReply reply;
        reply.neverAnswer = true;
        return reply;
    });
    std::atomic<bool> ended{false};
    std::string body = "unset";
    int code = 0;
    std::jthread worker([&](std::stop_token stop) {
        const FetchStopScope stoppable(stop);
        body = httpFetchText(silent.url("/"));  // 60 s before the stall limit would end it
        code = lastHttpFetchReport().transferCode;
        ended = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(ended) << "still waiting for the server";
    const auto asked = std::chrono::steady_clock::now();
    worker.request_stop();
    worker.join();
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(5)) << "not the stall limit";
    EXPECT_EQ(body, "");
    EXPECT_NE(code, 0) << "a failed transfer, as a server that went away";

    // Outside a scope, and in one whose stop is never asked, fetches are as ever.
    LoopbackServer fine([](const HttpRequest&) { return ok("works"); });
    EXPECT_EQ(httpFetchText(fine.url("/")), "works");
    std::stop_source never;
    const FetchStopScope idle(never.get_token());
    EXPECT_EQ(httpFetchText(fine.url("/")), "works");
}


// The workers of one owner: a newer one stops the older, and the owner's
// end stops and joins what still runs, without waiting out a silent server.
TEST_F(HttpFetchTest, AnOwnersFetchWorkersAreStoppedByANewerOneAndJoinedAtItsEnd) {
    LoopbackServer silent([](const HttpRequest&) {
        ScriptedReply reply;
        reply.neverAnswer = true;
        return reply;
    });
    LoopbackServer fine([](const HttpRequest&) { return ok("works"); });
    std::atomic<int> ended{0};
    std::string first = "unset", second = "unset", third = "unset";
    std::chrono::steady_clock::time_point asked;
    {
        FetchWorkers workers;
        bool firstStopped = false;
        workers.start([&](const std::stop_token& stop) {
            first = httpFetchText(silent.url("/"));
            firstStopped = stop.stop_requested();
            ++ended;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(ended.load(), 0) << "still waiting for the server";
        workers.start([&](const std::stop_token&) {
            second = httpFetchText(fine.url("/"));
            ++ended;
        });
        for (int i = 0; i < 500 && ended.load() < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(ended.load(), 2) << "the older worker was stopped by the newer";
        EXPECT_EQ(first, "");
        EXPECT_TRUE(firstStopped) << "it knows its result is no answer";
        EXPECT_EQ(second, "works");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // past the workers' last step
        workers.start([&](const std::stop_token&) { third = httpFetchText(silent.url("/")); });
        EXPECT_EQ(workers.count(), 1u) << "ended workers are joined as new ones start";
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        asked = std::chrono::steady_clock::now();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(5)) << "not the stall limit";
    EXPECT_EQ(third, "") << "the owner's end stopped it, and waited for it";
}

}  // namespace
}  // namespace zorvan
