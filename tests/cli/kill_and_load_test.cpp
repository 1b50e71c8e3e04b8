// The tool killed outright in the middle of a download and run again, and
// the engine under load: hundreds of downloads in a row and dozens at once,
// every file checked, and the process's threads, descriptors and memory
// back where they started.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "cli/cli_options.h"
#include "cli/get_all_command.h"
#include "cli_run.h"
#include "download/part_record.h"
#include "support/child_process.h"
#include "support/demo_service.h"
#include "support/download_runner.h"
#include "support/loopback_server.h"
#include "support/nginx_server.h"
#include "support/sanitized.h"

namespace zorvan {
namespace {

using namespace test;

// The sanitizers keep freed memory back on purpose (and find leaks
// themselves): there the resident size says nothing. They also slow every
// thread several times over, so a checkpoint lands later after its moment.
constexpr bool residentSizeTells = !sanitized;
constexpr int checkpointsLate = sanitized ? 3 : 2;

TEST(KillTest, AKilledDownloadContinuesFromItsLastCheckpointAndFetchesOnlyWhatIsMissing) {
    const std::string content = patternBytes(4 * 1024 * 1024, 11);
    const auto size = static_cast<std::int64_t>(content.size());
    const long rate = 4 * 1024 * 1024;  // bytes per second, all connections together
    const std::string folder = freshFolder("kill");
    const std::string path = folder + "/clip.mp4";
    for (const auto& [connections, percent] : {std::pair{1, 30}, std::pair{5, 60}, std::pair{16, 90}}) {
        SCOPED_TRACE(std::to_string(connections) + " connections, killed at " + std::to_string(percent) + " %");
        LoopbackServer server(pacedFile(content, rate, connections));
        const std::string url = server.url("/clip.mp4");
        // Killed by measured progress: once the server has sent that much.
        const pid_t pid = spawnChild(
            {ZORVAN_CLI_PATH, "get", url, "-n", std::to_string(connections), "-o", path, "--checkpoint", "100"});
        ASSERT_GT(pid, 0);
        for (int i = 0; i < 2000 && server.bytesSent() < size * percent / 100; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        EXPECT_FALSE(std::filesystem::exists(path)) << "nothing under the final name";
        const auto record = loadPartRecord(recordPathOf(path));
        ASSERT_TRUE(record);
        // A kill loses no more than what arrived since the last checkpoint.
        const std::int64_t checkpointsWorth = rate / 10;
        EXPECT_LE(server.bytesSent() - record->doneBytes(), checkpointsLate * checkpointsWorth + connections * 36 * 1024);

        server.resetBytesSent();
        const std::size_t firstRun = server.requests().size();
        const CliRun again = runCli("get " + url + " -n " + std::to_string(connections) + " -o " + path);
        EXPECT_EQ(again.exitCode, 0) << again.output;
        EXPECT_NE(again.output.find("continuing clip.mp4 at " + std::to_string(record->doneBytes() * 100 / size) + " %"),
                  std::string::npos)
            << again.output;
        EXPECT_TRUE(readFile(path) == content);
        const std::vector<ByteRange> missing = missingRanges(record->done, size);
        EXPECT_TRUE(askedOnlyFor(missing, size, server.requests(), firstRun));
        EXPECT_LE(server.bytesSent(), size - record->doneBytes() + size / 20 + connections * 36 * 1024);
        EXPECT_EQ(filesIn(folder), std::vector<std::string>{"clip.mp4"});
        std::filesystem::remove(path);
    }
}


// What the process holds: threads, open descriptors, resident kilobytes.
struct Holdings {
    int threads = 0;
    int descriptors = 0;
    long residentKb = 0;
};

Holdings holdingsNow() {
    Holdings h;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Threads:", 0) == 0)
            h.threads = std::stoi(line.substr(8));
        if (line.rfind("VmRSS:", 0) == 0)
            h.residentKb = std::stol(line.substr(6));
    }
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++h.descriptors;
    return h;
}

// Threads end a moment after they say so: waits (boundedly) for the count
// to come back.
Holdings settledHoldings(const Holdings& start) {
    Holdings now = holdingsNow();
    for (int i = 0; i < 200 && (now.threads > start.threads || now.descriptors > start.descriptors); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        now = holdingsNow();
    }
    return now;
}

TEST(LoadTest, HundredsInARowAndDozensAtOnceLeaveNothingBehind) {
    useQuickEngineSettings();
    NginxServer nginx;
    ASSERT_TRUE(nginx.running()) << nginx.error();
    const std::string content = nginx.addFile("clip.mp4", 200000);
    const std::string folder = freshFolder("load");
    // One download first, so what the libraries keep for good (their
    // buffers, the resolver) is there before the count starts.
    ASSERT_EQ(runDownload(quickParams(nginx.url("/clip.mp4"), folder + "/warm.mp4", 5)).outcome, TaskOutcome::Complete);
    const Holdings start = holdingsNow();

    for (int i = 0; i < 200; ++i) {
        const std::string path = folder + "/row.mp4";
        const DownloadRecord r = runDownload(quickParams(nginx.url("/clip.mp4"), path, 1 + i % 8));
        ASSERT_EQ(r.outcome, TaskOutcome::Complete) << "download " << i;
        ASSERT_TRUE(readFile(path) == content) << "download " << i;
        std::filesystem::remove(path);
    }
    const Holdings afterRow = settledHoldings(start);

    // Twenty at once through get-all, in this process: 36 works, -j 20.
    const std::string media = freshFolder("load-media");
    makeDemoClips(media, 50000);
    DemoService service(media);
    ASSERT_FALSE(service.url().empty());
    cli::GetAllOptions options;
    options.performerId = "100001";
    options.service = service.url();
    options.folder = folder + "/all";
    options.parallel = 20;
    EXPECT_EQ(cli::runGetAll(options), 0);
    EXPECT_EQ(filesIn(options.folder).size(), 36u + 1u) << "36 works and the archive";
    const Holdings afterParallel = settledHoldings(start);

    std::printf("threads %d/%d/%d, descriptors %d/%d/%d, resident %ld/%ld/%ld KiB (start/after 200/after get-all)\n",
                start.threads, afterRow.threads, afterParallel.threads, start.descriptors, afterRow.descriptors,
                afterParallel.descriptors, start.residentKb, afterRow.residentKb, afterParallel.residentKb);
    for (const Holdings& h : {afterRow, afterParallel}) {
        EXPECT_LE(h.threads, start.threads);  // a sanitizer's own thread may come and go
        EXPECT_LE(h.descriptors, start.descriptors);
        if (residentSizeTells) {
            EXPECT_LT(h.residentKb - start.residentKb, 48 * 1024)
                << "resident memory grew by " << h.residentKb - start.residentKb << " KiB";
        }
    }
}

}  // namespace
}  // namespace zorvan
