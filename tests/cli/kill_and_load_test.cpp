// The tool killed outright at any moment of a download, and the engine
// under load: hundreds of downloads in a row and dozens at once, every file
// checked, and the process's threads, descriptors and memory back where
// they started.
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
#include "support/child_process.h"
#include "support/demo_service.h"
#include "support/download_runner.h"
#include "support/nginx_server.h"

namespace zorvan {
namespace {

using namespace test;

TEST(KillTest, AKilledDownloadLeavesNothingThatLooksCompleteAndTheNextRunCompletes) {
    NginxServer nginx("limit_rate 2m;");
    ASSERT_TRUE(nginx.running()) << nginx.error();
    const std::string content = nginx.addFile("clip.mp4", 3 * 1024 * 1024);
    const std::string folder = freshFolder("kill");
    const std::string path = folder + "/clip.mp4";
    // Before connecting, while the connections start, in the middle, near the end.
    for (const int afterMs : {0, 60, 400, 1000}) {
        const pid_t pid = spawnChild({ZORVAN_CLI_PATH, "get", nginx.url("/clip.mp4"), "-n", "5", "-o", path});
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        const std::vector<std::string> left = filesIn(folder);
        EXPECT_TRUE(left.empty() || (left == std::vector<std::string>{"clip.mp4"} && readFile(path) == content))
            << "killed after " << afterMs << " ms: " << left.size() << " files";
        std::filesystem::remove(path);

        const CliRun again = runCli("get " + nginx.url("/clip.mp4") + " -n 5 -o " + path);
        EXPECT_EQ(again.exitCode, 0) << again.output;
        EXPECT_TRUE(readFile(path) == content) << "after a kill at " << afterMs << " ms";
        std::filesystem::remove(path);
    }
}

// The sanitizers keep freed memory back on purpose (and find leaks
// themselves): there the resident size says nothing.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool residentSizeTells = false;
#else
constexpr bool residentSizeTells = true;
#endif

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
