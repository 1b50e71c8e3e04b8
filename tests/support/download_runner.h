#pragma once

#include "download/download.h"
#include "download/part_record.h"
#include "download/task_param.h"
#include "support/loopback_server.h"

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace zorvan::test {

struct SeenEvent {
    int type;
    int connection;
    std::int64_t value;
    std::int64_t extra;
};

// Everything one download told its caller.
struct DownloadRecord {
    std::vector<SeenEvent> events;
    std::vector<std::string> logs;  // UTF-8
    bool ended = false;
    TaskOutcome outcome = TaskOutcome::TransferFailed;
    std::int64_t bytes = 0;
    std::int64_t spliced = 0;  // bytes that went into the file inside the kernel

    int count(int type) const;
    const SeenEvent* first(int type) const;  // nullptr when there was none
    bool logged(const std::string& utf8Text) const;  // some line contains it
};

// Runs one download to its end (bounded by `timeoutMs`), recording events
// and log lines. `onClash` answers event 18 (absent: rename).
DownloadRecord runDownload(TaskParam params, std::function<int(std::int64_t existing)> onClash = {},
                           int timeoutMs = 20000);
// The same, stopped (stopTask) once at least `stopAtBytes` are in.
DownloadRecord runDownloadUntil(TaskParam params, std::int64_t stopAtBytes, int timeoutMs = 20000);

// A test's view of the time limits: short, so failures show fast.
TaskParam quickParams(const std::string& url, const std::string& localPath, int connections);

// Engine settings for tests: short retry pauses and few retries.
void useQuickEngineSettings(int retries = 3);
// Bodies of plain answers go into the file inside the kernel (true) or
// through the connection's buffer (false), from the next task on.
void useReceivePath(bool splice);
// "Spliced" or "Buffered", for tests run on both paths.
std::string receivePathName(const ::testing::TestParamInfo<bool>& path);

// A folder of its own under the test temp folder, emptied first.
std::string freshFolder(const std::string& name);
std::string readFile(const std::string& path);
// Names in a folder, sorted.
std::vector<std::string> filesIn(const std::string& folder);

// Serves `content` for every GET, honouring "Range: bytes=N-" unless told
// otherwise; `adjust` may change each reply (faults) given the request and
// the range start asked for (-1 for none).
LoopbackServer::Script fileScript(std::string content,
                                  std::function<void(ScriptedReply&, const HttpRequest&, std::int64_t)> adjust = {});

// `content` with ranges and an entity tag ("v1"), each answer paced so
// that `connections` of them together stay near `totalRate` bytes per second.
LoopbackServer::Script pacedFile(const std::string& content, long totalRate, int connections);

// Whether every request from the `from`-th on asked only for bytes that
// were `missing` from a file of `size` bytes: each range starts in a gap
// and ends no later than it.
::testing::AssertionResult askedOnlyFor(const std::vector<ByteRange>& missing, std::int64_t size,
                                        const std::vector<HttpRequest>& requests, std::size_t from = 0);

// A test of the engine: quick engine settings and a fresh folder named
// after the test, with its target paths.
class EngineTestBase : public ::testing::Test {
protected:
    void SetUp() override {
        useQuickEngineSettings();
        folder = freshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    std::string target(const std::string& name = "a.mp4") const { return folder + "/" + name; }
    std::string folder;
};

}  // namespace zorvan::test
