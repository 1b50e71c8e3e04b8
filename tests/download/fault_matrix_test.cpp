// Every scripted server fault against 1, 2, 5 and 16 connections, with
// bodies going into the file inside the kernel (idle connections splitting
// others' parts, as on the command line) and through the buffer.
// Each cell must end as its fault expects: complete, byte-identical to the
// served file (and come the way it was told to) for every fault the server
// recovers from, refused for the one it never does; nothing else is left
// in the folder. The test prints the whole table.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "download/engine_settings.h"
#include "support/download_runner.h"
#include "support/loopback_server.h"
#include "support/nginx_server.h"

namespace zorvan {
namespace {

using namespace test;

constexpr std::size_t fileSize = 300000;
// How many requests a fault spoils before the server behaves; retries
// (five per connection) see it through unless the fault stays.
constexpr int spoiledRequests = 3;

// What a fault knows of the request it spoils.
struct Request {
    int n;              // the server's reply count before this one
    std::int64_t from;  // the range start asked for; -1: none
    std::string target;
    const std::string& content;
    const std::string& changed;  // another version of the file
};

struct Fault {
    const char* name;
    std::function<void(ScriptedReply&, const Request&)> apply;
    // Every fault the server recovers from ends complete; one it never
    // recovers from is refused.
    TaskOutcome expected = TaskOutcome::Complete;
};

// A fault of the first spoiledRequests replies only.
Fault firstRequests(const char* name, std::function<void(ScriptedReply&)> spoil) {
    return {name,
            [spoil = std::move(spoil)](ScriptedReply& r, const Request& q) {
                if (q.n < spoiledRequests) spoil(r);
            },
            TaskOutcome::Complete};
}

const std::vector<Fault>& faults() {
    static const std::vector<Fault> all = {
        firstRequests("cut at byte 0", [](ScriptedReply& r) { r.closeAfter = 0; }),
        firstRequests("cut at byte 1", [](ScriptedReply& r) { r.closeAfter = 1; }),
        firstRequests("cut at header end", [](ScriptedReply& r) { r.closeAfterBody = 0; }),
        firstRequests("cut in the middle", [](ScriptedReply& r) { r.closeAfterBody = r.body.size() / 2; }),
        firstRequests("cut before last byte", [](ScriptedReply& r) { r.closeAfterBody = r.body.size() - 1; }),
        firstRequests("reset mid-body",
                      [](ScriptedReply& r) {
                          r.closeAfterBody = r.body.size() / 3;
                          r.reset = true;
                      }),
        firstRequests("stall", [](ScriptedReply& r) { r.neverAnswer = true; }),
        {"wrong Content-Range",
         [](ScriptedReply& r, const Request& q) {
             // Every ranged answer claims a part one byte off, or backwards.
             const std::int64_t from = q.from;
             if (from > 0)
                 r.headers[0] = "Content-Range: bytes " + std::to_string(from % 2 ? from + 1 : from) + "-" +
                                std::to_string(from % 2 ? fileSize - 1 : from - 1) + "/" + std::to_string(fileSize);
         }},
        {"Range ignored",
         [](ScriptedReply& r, const Request& q) {
             if (q.from < 0)
                 return;
             r.status = "200 OK";
             r.headers = {"Accept-Ranges: bytes"};
             r.body = q.content;
         }},
        {"5xx then success",
         [](ScriptedReply& r, const Request& q) {
             if (q.n < spoiledRequests) {
                 r.status = q.n % 2 ? "500 Internal Server Error" : "503 Service Unavailable";
                 r.body = "busy";
             }
         }},
        {"redirect chain",
         [](ScriptedReply& r, const Request& q) {
             const std::string next = q.target == "/cell.bin" ? "/hop1" : q.target == "/hop1" ? "hop2?x=1" : "";
             if (next.empty())
                 return;
             r.status = "302 Found";
             r.headers = {"Location: " + next};
             r.body.clear();
         }},
        {"oversized header",
         [](ScriptedReply& r, const Request&) {
             r.headers.push_back("X-Padding: " + std::string(100000, 'p'));
         },
         TaskOutcome::Refused},
        {"slow drip",
         [](ScriptedReply& r, const Request&) {
             r.bytesPerSecond = 400000;
         }},
        {"changed file",
         [](ScriptedReply& r, const Request& q) {
             // From the second request on the server holds another version.
             r.headers.push_back(std::string("ETag: \"") + (q.n == 0 ? "one" : "two") + "\"");
             if (q.n > 0)
                 r.body = q.changed.substr(q.from < 0 ? 0 : static_cast<std::size_t>(q.from));
         }},
    };
    return all;
}

const char* outcomeName(TaskOutcome outcome) {
    switch (outcome) {
        case TaskOutcome::Complete:
            return "complete";
        case TaskOutcome::Refused:
            return "refused";
        case TaskOutcome::TransferFailed:
            return "failed";
        case TaskOutcome::FileChanged:
            return "changed";
        case TaskOutcome::NoSize:
            return "no size";
        default:
            return "other";
    }
}

class FaultMatrixTest : public EngineTestBase, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        EngineTestBase::SetUp();
        useQuickEngineSettings(5);
        useReceivePath(GetParam());
        // The command line's way on the spliced path: a connection with
        // nothing left splits another's part rather than end.
        EngineSettings settings = engineSettings();
        settings.splitForIdleConnections = GetParam();
        setEngineSettings(settings);
    }
};

TEST_P(FaultMatrixTest, EveryCellEndsAsItsFaultExpectsAndLeavesNothingElse) {
    const std::string content = patternBytes(fileSize, 7);
    const std::string changed = patternBytes(fileSize, 8);
    std::printf("%s\n%-22s %10s %10s %10s %10s\n", GetParam() ? "spliced into the file, idle connections splitting" : "through the buffer",
                "fault \\ connections", "1", "2", "5", "16");
    for (const Fault& fault : faults()) {
        std::string row;
        for (const int connections : {1, 2, 5, 16}) {
            auto served = std::make_shared<std::atomic<int>>(0);
            LoopbackServer server(
                fileScript(content, [&, served](ScriptedReply& r, const HttpRequest& request, std::int64_t from) {
                    fault.apply(r, Request{served->fetch_add(1), from, request.target, content, changed});
                }));
            const std::string path = target("cell.bin");
            TaskParam params = quickParams(server.url("/cell.bin"), path, connections);
            params.receiveTimeout = 400;
            const DownloadRecord r = runDownload(params, {}, 60000);
            const std::string cell = std::string(fault.name) + " x" + std::to_string(connections);
            EXPECT_TRUE(r.ended) << cell;
            std::string log;
            for (const std::string& line : r.logs) log += "\n  " + line;
            EXPECT_EQ(outcomeName(r.outcome), std::string(outcomeName(fault.expected))) << cell << log;
            if (r.outcome == TaskOutcome::Complete) {
                const std::string saved = readFile(path);
                EXPECT_TRUE(saved == content || (saved == changed && std::string(fault.name) == "changed file"))
                    << cell;
                EXPECT_EQ(r.spliced > 0, GetParam()) << cell << ": " << r.spliced << " bytes spliced";
            } else {
                EXPECT_FALSE(std::filesystem::exists(path)) << cell;
            }
            // No temporary or part file beside it, whatever the end.
            EXPECT_EQ(filesIn(folder), r.outcome == TaskOutcome::Complete ? std::vector<std::string>{"cell.bin"}
                                                                           : std::vector<std::string>{})
                << cell;
            std::filesystem::remove(path);
            char text[16];
            std::snprintf(text, sizeof text, " %10s", outcomeName(r.outcome));
            row += text;
        }
        std::printf("%-22s%s\n", fault.name, row.c_str());
    }
    std::fflush(stdout);
}

INSTANTIATE_TEST_SUITE_P(BothPaths, FaultMatrixTest, ::testing::Bool(), receivePathName);

}  // namespace
}  // namespace zorvan
