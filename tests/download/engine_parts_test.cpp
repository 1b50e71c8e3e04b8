#include "download/chunked_decoder.h"
#include "download/error_text.h"
#include "download/http_address.h"
#include "download/http_request.h"
#include "download/log_time.h"
#include "download/rate_limiter.h"
#include "download/response_header.h"
#include "download/segment_table.h"
#include "download/target_file.h"
#include "text/code_page.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <cerrno>

namespace zorvan {
namespace {

TEST(SegmentTable, PlansEqualSegmentsWithTheRemainderLast) {
    SegmentTable table;
    table.plan(1000000, 5);
    ASSERT_EQ(table.size(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(table.get(i).start, 200000 * i);
        EXPECT_EQ(table.get(i).length, 200000);
    }
    table.plan(1000003, 5);
    EXPECT_EQ(table.get(4).start, 800000);
    EXPECT_EQ(table.get(4).length, 200003);
    table.plan(10000, 5);
    EXPECT_EQ(table.size(), 1);
    EXPECT_EQ(table.get(0).length, 10000);
    table.plan(0, 5);
    EXPECT_TRUE(table.allFinished()) << "an empty file is done at once";
}

TEST(SegmentTable, NewConnectionsTakeFreeSegmentsThenSplitTheWidest) {
    SegmentTable table;
    table.plan(300000, 3);
    EXPECT_EQ(table.claimForNewConnection(1, 40960), 0);
    EXPECT_EQ(table.claimForNewConnection(2, 40960), 1);
    EXPECT_EQ(table.claimForNewConnection(3, 40960), 2);
    // Segment 1 has the most left: its upper half goes to the new segment.
    EXPECT_EQ(table.commit(0, 1, 50000).position, 0);
    EXPECT_EQ(table.commit(2, 3, 30000).position, 200000);
    EXPECT_EQ(table.commit(1, 2, 10000).position, 100000);
    const int fresh = table.claimForNewConnection(4, 40960);
    ASSERT_EQ(fresh, 3);
    const Segment old = table.get(1), split = table.get(3);
    EXPECT_EQ(old.length, 10000 + 45000);
    EXPECT_EQ(split.start, old.end());
    EXPECT_EQ(split.length, 45000);
    EXPECT_EQ(split.end(), 200000) << "no byte lost or doubled";
    // The owner stores only up to its shortened end; the rest is the new segment's.
    const SegmentTable::Stored stored = table.commit(1, 2, 45001);
    EXPECT_EQ(stored.position, 110000);
    EXPECT_EQ(stored.count, 45000);
    EXPECT_TRUE(table.get(1).finished());
    // Remaining parts below the threshold are not split.
    SegmentTable small;
    small.plan(60000, 1);
    EXPECT_EQ(small.claimForNewConnection(1, 40960), 0);
    EXPECT_EQ(small.commit(0, 1, 30000).position, 0);
    EXPECT_EQ(small.claimForNewConnection(2, 40960), -1);
}

TEST(SegmentTable, AnIdleConnectionSplitsThePartThatWouldTakeLongest) {
    SegmentTable table;
    table.plan(3000000, 3);
    ASSERT_EQ(table.claimFree(1), 0);
    ASSERT_EQ(table.claimFree(2), 1);
    ASSERT_EQ(table.claimFree(3), 2);
    const auto now = std::chrono::steady_clock::now();
    EXPECT_EQ(table.commit(0, 1, 1000000).count, 1000000);
    EXPECT_EQ(table.claimSplitOfSlowest(1, 40960, 1.0, now), -1) << "nobody is judged before settling";
    table.noteReached(1, 2, 1900000);  // fast: 100000 left, well under a second at 450000 a second
    table.noteReached(2, 3, 2010000);  // slow: 990000 left at 5000 a second
    const auto later = now + std::chrono::seconds(2);
    const int fresh = table.claimSplitOfSlowest(1, 40960, 1.0, later);
    ASSERT_EQ(fresh, 3);
    EXPECT_EQ(table.get(3).start, 2010000 + 495000) << "half of what the slow stream has not reached";
    EXPECT_EQ(table.get(3).end(), 3000000);
    EXPECT_EQ(table.get(2).end(), table.get(3).start);
    EXPECT_TRUE(table.owns(3, 1));
    // Split again: the slow part, not the fast one nor the nearly done one.
    table.noteReached(3, 1, 2985000);
    ASSERT_EQ(table.claimSplitOfSlowest(4, 40960, 1.0, later), 4);
    EXPECT_EQ(table.get(4).start, 2010000 + 247500);
    EXPECT_EQ(table.get(4).end(), 2505000);
}

TEST(SegmentTable, ACarryOnClaimTakesOnlyUntouchedSegmentsAndFencesTheOldOwner) {
    SegmentTable table;
    table.plan(200000, 2);
    ASSERT_EQ(table.claimFree(1), 0);
    ASSERT_EQ(table.claimFree(2), 1);
    // Connection 1 reaches 100000 while connection 2 has stored nothing.
    EXPECT_EQ(table.claimContinuation(1, 100000), 1);
    EXPECT_EQ(table.commit(1, 2, 100).position, -1) << "the old owner may not write any more";
    EXPECT_EQ(table.commit(1, 1, 100).position, 100000);
    // Once bytes are in, nobody takes the segment over.
    EXPECT_EQ(table.claimContinuation(2, 100000), -1);
    EXPECT_EQ(table.claimContinuation(1, 12345), -1);
}

// A limit changed while connections wait on it: lifted, a waiting
// connection goes on at once; set again, pieces are a share of the new
// rate's bucket.
TEST(RateLimiter, ALimitChangedWhileConnectionsWaitTakesEffectAtOnce) {
    RateLimiter limiter(1);  // a byte a second: the first byte is a second away
    ASSERT_TRUE(limiter.limited());
    std::atomic<std::size_t> got{0};
    std::thread waiter([&] { got = limiter.acquire(1000000, [] { return false; }); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    limiter.setRate(0);
    waiter.join();  // bounded: lifting the limit ends the wait
    EXPECT_EQ(got.load(), 1000000u);
    EXPECT_FALSE(limiter.limited());
    EXPECT_EQ(limiter.acquire(5000000, {}), 5000000u);

    limiter.setRate(10 * 1024 * 1024);
    ASSERT_TRUE(limiter.limited());
    const std::size_t piece = limiter.acquire(100 * 1024 * 1024, {});
    EXPECT_GT(piece, 0u);
    EXPECT_LE(piece, 1024u * 1024u + 1) << "no more than the new bucket's tenth of a second";
}

TEST(TargetNames, BuildNextNameCountsUpInParentheses) {
    EXPECT_EQ(buildNextName("a.mp4", 260), "a(1).mp4");
    EXPECT_EQ(buildNextName("a(1).mp4", 260), "a(2).mp4");
    EXPECT_EQ(buildNextName("a(98).mp4", 260), "a(99).mp4");
    EXPECT_EQ(buildNextName("a(99).mp4", 260), std::nullopt);
    EXPECT_EQ(buildNextName("a.b.mp4", 260), "a(1).b.mp4");
    EXPECT_EQ(buildNextName("song(live).mp4", 260), std::nullopt);
    EXPECT_EQ(buildNextName("x(ab).mp4", 260), "x(ab).mp4");
    EXPECT_EQ(buildNextName("x(0).mp4", 260), "x(0).mp4");
    EXPECT_EQ(buildNextName("noext", 260), "noext(1)");
    EXPECT_EQ(buildNextName("a.mp4", 9), "a(1).mp4");
    EXPECT_EQ(buildNextName("a.mp4", 8), std::nullopt);
}

TEST(HttpAddress, SchemesHostsPortsAndPaths) {
    auto a = parseAddress("HTTP://Host/a.mp4");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->scheme, Scheme::Http);
    EXPECT_EQ(a->host, "Host");
    EXPECT_EQ(a->port, 80);
    EXPECT_EQ(a->path, "/a.mp4");
    a = parseAddress("http://h:8080/a b.mp4");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->port, 8080);
    EXPECT_EQ(requestTarget(a->path), "/a%20b.mp4");
    EXPECT_FALSE(parseAddress("http://host"));
    EXPECT_FALSE(parseAddress("http:\\/\\/host\\/a.mp4"));
    EXPECT_EQ(parseAddress("HTTPS://host/a.mp4")->scheme, Scheme::Https);
    EXPECT_EQ(parseAddress("https://host/a.mp4")->port, 443);
    EXPECT_FALSE(parseAddress("http://h:99999/a"));
    EXPECT_EQ(parseAddress("mmst://h/x")->scheme, Scheme::Mms);
    EXPECT_EQ(parseAddress("rtsp://h/x")->port, 554);

    EXPECT_EQ(fileNameFromPath("/d/%E6%AD%8C+1.mp4?x=/y"), "\xE6\xAD\x8C 1.mp4");
    EXPECT_EQ(fileNameFromPath("/d/100%.mp4"), "100%.mp4");
    EXPECT_EQ(fileNameFromPath("/d/a%4"), "a%4");
    EXPECT_EQ(upToLastSlash("http://h/d/a.mp4"), "http://h/d");
}

TEST(HttpRequest, TheRequestTextIsFixedDirectAndThroughAProxy) {
    const auto fields = makeRequestFields(*parseAddress("http://h:81/d/a b.mp4"), "http://h:81/d/a b.mp4", "", "");
    ASSERT_TRUE(fields);
    EXPECT_EQ(*buildRequest(*fields, "", true),
              "GET /d/a%20b.mp4 HTTP/1.1\r\nHost: h:81\r\nAccept: */*\r\nReferer: http://h:81/d\r\n"
              "User-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
              "Pragma: no-cache\r\nCache-Control: no-cache\r\nConnection: close\r\n\r\n");

    const auto proxied = makeRequestFields(*parseAddress("http://h/a.mp4"), "http://h/a.mp4", "px:3128", "");
    EXPECT_EQ(*buildRequest(*proxied, "Range: bytes=5-\r\n", true),
              "GET http://h/a.mp4 HTTP/1.1\r\nHost: h\r\n"
              "User-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
              "Range: bytes=5-\r\nProxy-Connection: Keep-Alive\r\n\r\n");

    // A long address leaves out the referer before the request is refused.
    const std::string longUrl = "http://h/" + std::string(600, 'x') + "/a.mp4";
    const auto longFields = makeRequestFields(*parseAddress(longUrl), longUrl, "", "");
    ASSERT_TRUE(longFields);
    const auto request = buildRequest(*longFields, "", true);
    ASSERT_TRUE(request);
    EXPECT_LE(request->size(), maxRequestBytes);
    EXPECT_EQ(request->find("Referer:"), std::string::npos);
    const std::string tooLong = "http://h/" + std::string(1100, 'x');
    EXPECT_FALSE(makeRequestFields(*parseAddress(tooLong), tooLong, "", ""));
}

TEST(HttpRequest, RedirectionsRebuildTargetRefererAndCookie) {
    auto fields = *makeRequestFields(*parseAddress("http://h:81/d/a.mp4"), "http://h:81/d/a.mp4", "", "");
    ASSERT_TRUE(followRedirect(fields, "b.mp4", "k=v; path=/"));
    EXPECT_EQ(fields.target, "/d/b.mp4");
    EXPECT_EQ(fields.cookieLine, "Cookie: k=v\r\n");
    EXPECT_NE(buildRequest(fields, "", true)->find("Cookie: k=v\r\n"), std::string::npos);
    EXPECT_EQ(buildRequest(fields, "", false)->find("Cookie:"), std::string::npos);

    ASSERT_TRUE(followRedirect(fields, "/root.mp4", ""));
    EXPECT_EQ(fields.target, "/root.mp4");
    EXPECT_EQ(fields.address.host, "h:81");

    ASSERT_TRUE(followRedirect(fields, "http://other/x/y.mp4", ""));
    EXPECT_EQ(fields.address.host, "other");
    EXPECT_EQ(fields.address.port, 80) << "a new host without a port uses the default one";
    EXPECT_EQ(fields.referer, "http://other/x");

    EXPECT_FALSE(followRedirect(fields, "ftp://h/a", ""));
    EXPECT_FALSE(followRedirect(fields, "c.mp4", std::string(5000, 'c')));

    // Into https and on within it; through a proxy its request goes to the
    // server itself (through a tunnel), so it names only the path.
    fields.proxy = "px:3128";
    ASSERT_TRUE(followRedirect(fields, "https://s/d/a.mp4", ""));
    EXPECT_EQ(fields.address.port, 443);
    ASSERT_TRUE(followRedirect(fields, "//t/e/b.mp4", ""));
    EXPECT_EQ(fields.url, "https://t/e/b.mp4");
    ASSERT_TRUE(followRedirect(fields, "c.mp4", ""));
    EXPECT_EQ(fields.url, "https://t/e/c.mp4");
    EXPECT_EQ(fields.target, "/e/c.mp4");
    EXPECT_EQ(buildRequest(fields, "", false)->find("Proxy-Connection"), std::string::npos);
    ASSERT_TRUE(followRedirect(fields, "http://u/f.mp4", ""));
    EXPECT_EQ(fields.target, "http://u/f.mp4");
}

TEST(HttpAddress, Ipv6LiteralsAndCredentialsInTheHost) {
    auto a = parseAddress("http://[::1]:8080/a.mp4");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->host, "[::1]:8080");  // the Host line keeps the brackets
    EXPECT_EQ(a->port, 8080);
    EXPECT_EQ(hostName(a->host), "::1");
    EXPECT_EQ(parseAddress("https://[2001:db8::2]/x")->port, 443);
    EXPECT_EQ(hostName("[2001:db8::2]"), "2001:db8::2");
    EXPECT_EQ(hostName("h:81"), "h");
    EXPECT_EQ(addressFault("http://[::1/x"), AddressFault::Port);
    EXPECT_EQ(addressFault("http://[::1]x/x"), AddressFault::Port);
    EXPECT_EQ(addressFault("http://[::1]:0/x"), AddressFault::Port);
    // Credentials are the caller's to send as a header, never the engine's
    // to put on the wire as part of a host.
    EXPECT_EQ(addressFault("http://user:pw@h/x"), AddressFault::UserInfo);
    EXPECT_EQ(addressFault("http://h/x@y"), AddressFault::None);
}

TEST(HttpRequest, TheCallersLinesReplaceTheEnginesAndCredentialsStayWithTheirHost) {
    auto fields = *makeRequestFields(*parseAddress("http://h/d/a.mp4"), "http://h/d/a.mp4", "", "");
    fields.headers = {"user-agent: Tool/2", "Referer: http://elsewhere/", "X-Token: 7", "Authorization: Basic dTpw",
                      "Cookie: a=1"};
    ASSERT_TRUE(followRedirect(fields, "b.mp4", "k=v; path=/"));
    const std::string request = *buildRequest(fields, "Range: bytes=0-\r\n", true);
    EXPECT_EQ(request.find("MSIE"), std::string::npos) << request;
    EXPECT_EQ(request.find("Referer: http://h/d"), std::string::npos) << request;
    EXPECT_NE(request.find("user-agent: Tool/2\r\n"), std::string::npos);
    EXPECT_NE(request.find("Referer: http://elsewhere/\r\n"), std::string::npos);
    EXPECT_NE(request.find("X-Token: 7\r\n"), std::string::npos);
    // One Cookie line: the redirection's cookie joins the caller's.
    EXPECT_NE(request.find("Cookie: a=1; k=v\r\n"), std::string::npos) << request;
    EXPECT_EQ(request.find("Cookie:"), request.rfind("Cookie:"));
    EXPECT_NE(request.find("Range: bytes=0-\r\n"), std::string::npos);
    EXPECT_NE(request.find("Host: h\r\n"), std::string::npos);
    // The caller's lines do not count against the engine's own bound.
    fields.headers.push_back("X-Long: " + std::string(2000, 'x'));
    EXPECT_TRUE(buildRequest(fields, "", true));

    ASSERT_TRUE(followRedirect(fields, "/c.mp4", ""));
    EXPECT_NE(buildRequest(fields, "", true)->find("Authorization: Basic dTpw"), std::string::npos);
    ASSERT_TRUE(followRedirect(fields, "http://other/c.mp4", ""));
    const std::string moved = *buildRequest(fields, "", true);
    EXPECT_EQ(moved.find("Authorization"), std::string::npos) << "credentials never follow to another host";
    EXPECT_NE(moved.find("X-Token: 7"), std::string::npos);
}

TEST(ResponseHeader, StatusAndFieldsInAnyLetterCase) {
    const std::string data = "junk HTTP/1.1 206 Partial Content\r\ncontent-length: 10\r\n"
                             "Content-Range: bytes 100-109/200\r\nX-Location: no\r\nLocation: /n\r\n"
                             "Set-cookie: s=1; path=/\r\nContent-Disposition: attachment; filename=\"a b.mp4\"\r\n\r\nBODY";
    const auto span = findHeader(data);
    ASSERT_TRUE(span);
    EXPECT_EQ(data.substr(span->end), "BODY");
    const ResponseHeader h = parseResponseHeader(std::string_view(data).substr(span->begin, span->end - span->begin));
    EXPECT_EQ(h.status, 206);
    EXPECT_EQ(h.contentLength, 10);
    EXPECT_EQ(h.contentRangeStart, 100);
    EXPECT_EQ(h.location, "/n");
    EXPECT_EQ(h.setCookie, "s=1; path=/");
    EXPECT_EQ(h.fileName, "a b.mp4");
    EXPECT_EQ(h.contentRangeEnd, 109);
    EXPECT_EQ(h.contentRangeTotal, 200);
    EXPECT_FALSE(findHeader("HTTP/1.1 200 OK\r\nX: y\r\n"));
    EXPECT_EQ(parseResponseHeader("HTTP/1.0 200 OK\r\n\r\n").contentLength, -1);
}

TEST(ResponseHeader, LengthsCodingsValidatorsAndWaits) {
    auto parse = [](const std::string& lines) { return parseResponseHeader("HTTP/1.1 200 OK\r\n" + lines + "\r\n", 1000); };
    EXPECT_EQ(parse("Content-Length: 5\r\ncontent-length: 5, 5\r\n").contentLength, 5) << "the same value repeated";
    for (const char* bad : {"Content-Length: -5\r\n", "Content-Length: 5x\r\n", "Content-Length: \r\n",
                            "Content-Length: 5\r\nContent-Length: 6\r\n", "Content-Length: 5, 6\r\n"}) {
        const ResponseHeader h = parse(bad);
        EXPECT_TRUE(h.lengthInvalid) << bad;
        EXPECT_EQ(h.contentLength, -1) << bad;
    }
    EXPECT_TRUE(parse("Transfer-Encoding: Chunked\r\nContent-Length: 9\r\n").chunked);
    for (const char* coded : {"gzip, chunked", "chunked, identity", "gobbledigook", "chunked\r\nTransfer-Encoding: gzip"}) {
        const ResponseHeader h = parse(std::string("Transfer-Encoding: ") + coded + "\r\n");
        EXPECT_FALSE(h.chunked) << coded;
        EXPECT_TRUE(h.codingUnsupported) << coded;
    }
    EXPECT_EQ(parse("Content-Range: bytes */777\r\n").contentRangeTotal, 777);
    EXPECT_EQ(parse("Content-Range: bytes 0-9/*\r\n").contentRangeTotal, -1);
    EXPECT_EQ(parse("ETag: \"abc\"\r\n").etag, "\"abc\"");
    EXPECT_EQ(parse("Retry-After: 7\r\n").retryAfterSeconds, 7);
    EXPECT_EQ(parse("Retry-After: Thu, 01 Jan 1970 00:16:50 GMT\r\n").retryAfterSeconds, 10) << "a date 10 s ahead";
    EXPECT_EQ(parse("Retry-After: soon\r\n").retryAfterSeconds, -1);
}

TEST(ChunkedDecoder, DecodesInAnyPiecesAndRefusesWhatIsNotChunked) {
    const std::string body = "4;ext=1\r\nWiki\r\n6\r\npedia \r\nE\nin \r\n\r\nchunks.\n0\r\nTrailer: x\r\n\r\nNEXT";
    for (std::size_t piece : {std::size_t{1}, std::size_t{3}, body.size()}) {
        ChunkedDecoder decoder;
        std::string out;
        std::size_t used = 0;
        for (std::size_t at = 0; at < body.size() && !decoder.done(); at += piece)
            used += decoder.feed(std::string_view(body).substr(at, piece), out);
        EXPECT_TRUE(decoder.done()) << piece;
        EXPECT_EQ(out, "Wikipedia in \r\n\r\nchunks.") << piece;
        EXPECT_EQ(body.substr(used), "NEXT") << piece;
    }
    for (const char* bad : {"x\r\n", "4\r\nWikiX\r\n", "\r\n", "1000000000000000\r\n"}) {
        ChunkedDecoder decoder;
        std::string out;
        decoder.feed(bad, out);
        EXPECT_TRUE(decoder.failed()) << bad;
    }
    ChunkedDecoder endless;
    std::string out;
    endless.feed(std::string(5000, '1'), out);
    EXPECT_TRUE(endless.failed()) << "a size line without end";
}

TEST(ErrorText, NamesEveryCodeOfTheTable) {
    EXPECT_EQ(gbkToUtf8(errorText(-10)), "接收数据超时");
    EXPECT_EQ(gbkToUtf8(errorText(-22)), "有错误发生");
    EXPECT_EQ(gbkToUtf8(errorText(-10054)), "远程主机强迫关闭了一个现有的连接。");
    EXPECT_EQ(gbkToUtf8(errorText(-12345)), "未知错误");
    EXPECT_EQ(gbkToUtf8(errorText(socketErrorFromErrno(ECONNRESET))), "远程主机强迫关闭了一个现有的连接。");
    EXPECT_EQ(gbkToUtf8(errorText(socketErrorFromErrno(ENOENT))), "未知错误") << "no clash with the small codes";
}

TEST(LogTime, LeavesOutZeroPartsOfTheTime) {
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 7;
    t.tm_hour = 8;
    t.tm_min = 5;
    t.tm_sec = 3;
    EXPECT_EQ(gbkToUtf8(logTimeText(t)), "2026年12月7日8时5分3秒");
    t.tm_sec = 0;
    EXPECT_EQ(gbkToUtf8(logTimeText(t)), "2026年12月7日8时5分");
    t.tm_min = 0;
    EXPECT_EQ(gbkToUtf8(logTimeText(t)), "2026年12月7日8时");
    t.tm_hour = 0;
    EXPECT_EQ(gbkToUtf8(logTimeText(t)), "2026年12月7日");
}

}  // namespace
}  // namespace zorvan
