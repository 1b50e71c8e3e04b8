// The engine's HTTP against replies as odd servers write them, byte for
// byte: each is either saved whole or refused with its reason, and nothing
// a server or an address holds reaches the request line unescaped.
#include "download/download.h"
#include "download/http_address.h"
#include "support/download_runner.h"
#include "support/loopback_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <mutex>

namespace zorvan {
namespace {

using namespace test;

const std::string hello = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello";

struct Row {
    const char* what;
    std::string path;   // after the server's address; the first request's reply is `reply`
    std::string reply;  // the raw reply to it; every other target gets `hello`
    TaskOutcome outcome;
    const char* saved;  // the file's bytes when complete
    const char* log;    // a line the engine must have logged ("" for none)
    const char* lastTarget = "";  // what the last request asked for ("": not checked)
};

std::string withHeader(const std::string& lines, const std::string& body = "hello") {
    return "HTTP/1.1 200 OK\r\n" + lines + "Connection: close\r\n\r\n" + body;
}

TEST(HttpReplies, EachReplyIsSavedWholeOrRefusedWithItsReason) {
    useQuickEngineSettings(2);
    const std::string folder = freshFolder("http_replies");
    const std::vector<Row> rows = {
        {"bare LF line ends", "/a", "HTTP/1.1 200 OK\nContent-Length: 5\n\nhello", TaskOutcome::Complete, "hello", ""},
        {"empty reply", "/a", "", TaskOutcome::TransferFailed, "", "有错误发生"},
        {"no status line", "/a", "Content-Length: 5\r\n\r\nhello", TaskOutcome::Refused, "", "不是有效的 HTTP/1.x"},
        {"HTTP/1.2", "/a", "HTTP/1.2 200 OK\r\nContent-Length: 5\r\n\r\nhello", TaskOutcome::Refused, "",
         "不是有效的 HTTP/1.x"},
        {"Location ending in a bare LF", "/a",
         "HTTP/1.1 302 Found\r\nLocation: /redirected\nTransfer-Encoding:%20chunked\r\n\r\n", TaskOutcome::Complete,
         "hello", "", "/redirected"},
        {"dot segments in a redirect", "/d/e/a", "HTTP/1.1 302 Found\r\nLocation: ../b/./c.mp4?q=1#top\r\n\r\n",
         TaskOutcome::Complete, "hello", "", "/d/b/c.mp4?q=1"},
        {"UTF-8 and a fragment in the address", "/\xE6\xAD\x8C 1.mp4#frag", hello, TaskOutcome::Complete, "hello", "",
         "/%E6%AD%8C%201.mp4"},
        {"a query without a path", "?x=1", hello, TaskOutcome::Complete, "hello", "", "/?x=1"},
        {"unknown coding beside a length", "/a", withHeader("Transfer-Encoding: gobbledigook\r\nContent-Length: 5\r\n"),
         TaskOutcome::Refused, "", "不支持的传输编码"},
        {"stacked codings", "/a", withHeader("Transfer-Encoding: gzip, chunked\r\nContent-Length: 5\r\n"),
         TaskOutcome::Refused, "", "不支持的传输编码"},
        {"chunked then identity", "/a", withHeader("Transfer-Encoding: chunked, identity\r\n"), TaskOutcome::Refused,
         "", "不支持的传输编码"},
        {"chunked beside a length", "/a",
         withHeader("Content-Length: 999\r\nTransfer-Encoding: chunked\r\n", "5\r\nhello\r\n0\r\n\r\n"),
         TaskOutcome::Complete, "hello", ""},
        {"unparsable length", "/a", withHeader("Content-Length: 6badness\r\n"), TaskOutcome::Refused, "",
         "文件长度无效"},
        {"a line without a colon", "/a", withHeader("Content-Length: 5\r\nNoColonHere\r\n"), TaskOutcome::Refused, "",
         "不是有效的 HTTP/1.x"},
        {"a NUL in the header", "/a", withHeader(std::string("Content-Length: 5\r\nX: a\0b\r\n", 27)),
         TaskOutcome::Refused, "", "不是有效的 HTTP/1.x"},
        {"a folded first line", "/a", "HTTP/1.1 200 OK\r\n  folded: x\r\nContent-Length: 5\r\n\r\nhello",
         TaskOutcome::Refused, "", "不是有效的 HTTP/1.x"},
        {"an 8 KB header", "/a", withHeader("Set-Cookie: " + std::string(8192, 'c') + "\r\nContent-Length: 5\r\n"),
         TaskOutcome::Complete, "hello", ""},
        {"a 60 KB header", "/a", withHeader("Set-Cookie: " + std::string(60000, 'c') + "\r\nContent-Length: 5\r\n"),
         TaskOutcome::Complete, "hello", ""},
        {"an interim answer first", "/a", "HTTP/1.1 100 Continue\r\n\r\n" + hello, TaskOutcome::Complete, "hello", ""},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        std::mutex lock;
        std::string firstTarget;
        LoopbackServer server([&](const HttpRequest& request) {
            std::lock_guard guard(lock);
            ScriptedReply reply;
            if (firstTarget.empty()) firstTarget = request.target;
            reply.raw = request.target == firstTarget ? row.reply : hello;
            return reply;
        });
        const std::string path = folder + "/row" + std::to_string(i) + ".mp4";
        const DownloadRecord r = runDownload(quickParams(server.url(row.path), path, 1));
        EXPECT_EQ(r.outcome, row.outcome) << row.what;
        if (row.outcome == TaskOutcome::Complete)
            EXPECT_EQ(readFile(path), row.saved) << row.what;
        else
            EXPECT_FALSE(std::filesystem::exists(path)) << row.what;
        if (*row.log) {
            EXPECT_TRUE(r.logged(row.log)) << row.what;
        }
        const std::vector<HttpRequest> seen = server.requests();
        EXPECT_LE(seen.size(), 4u) << row.what << ": no endless retries";
        if (*row.lastTarget && !seen.empty()) {
            EXPECT_EQ(seen.back().target, row.lastTarget) << row.what;
        }
        for (const HttpRequest& request : seen) {
            const std::string line = request.raw.substr(0, request.raw.find("\r\n"));
            EXPECT_TRUE(std::none_of(line.begin(), line.end(),
                                     [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
                << row.what << ": " << line;
        }
    }
    // A 10 KB address cannot go into a request; the reason is its length.
    const std::string longAddress = "http://127.0.0.1:1/" + std::string(10000, 'x');
    EXPECT_EQ(addressFault(longAddress), AddressFault::None);
    EXPECT_FALSE(Download().startTask(quickParams(longAddress, folder + "/long.mp4", 1)));
    EXPECT_EQ(addressFault("http://h/a\nb"), AddressFault::ControlCharacter);
}

}  // namespace
}  // namespace zorvan
