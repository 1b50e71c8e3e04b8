// The link's long faults, run once (label "soak"): a minute's outage in the
// middle of a download is ridden out, and a thousand works through a link
// that resets every 20 MB all arrive exact, with the program's threads,
// descriptors and memory bounded throughout.
#include "cli/cli_run.h"
#include "service/program_limits.h"
#include "queue/download_queue.h"
#include "support/demo_service.h"
#include "support/download_runner.h"
#include "support/link_proxy.h"
#include "support/loopback_server.h"
#include "support/nginx_server.h"

#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

namespace zorvan {
namespace {

using namespace test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST(LinkSoak, AMinuteOutageMidwayIsRiddenOutAndTheFileIsExact) {
    const std::string content = patternBytes(4 * 1024 * 1024, 41);
    LoopbackServer server(fileScript(content));
    // 400 kB/s per connection: about two seconds in, the link goes for 60 s.
    LinkProxy link(server.port(), {"--rate", "400000", "--outage-after", "1500", "--outage-for", "60000"});
    ASSERT_GT(link.port(), 0);
    const std::string folder = freshFolder("link-outage");
    QueueSettings settings;  // the window's limits
    settings.taskParams = [] {
        TaskParam params;
        setProgramLimits(params);
        return params;
    };
    DownloadQueue queue(settings);
    const int id = queue.add(Work{"outage", link.url("/w.mp4"), folder + "/w.mp4"});
    bool retried = false, progressAfter = false;
    std::int64_t doneAtRetry = -1;
    const auto end = std::chrono::steady_clock::now() + 150s;
    while (!queue.item(id)->settled() && std::chrono::steady_clock::now() < end) {
        queue.tick();
        const QueueItem& item = *queue.item(id);
        if (item.retrying > 0 && !retried) {
            retried = true;
            doneAtRetry = item.done;
        }
        progressAfter = progressAfter || (retried && item.retrying == 0 && item.done > doneAtRetry);
        std::this_thread::sleep_for(100ms);
    }
    const QueueItem& item = *queue.item(id);
    EXPECT_EQ(item.state, ItemState::Done) << item.lastError;
    EXPECT_TRUE(retried) << "the outage was seen as retrying";
    EXPECT_TRUE(progressAfter) << "and progress came back after it";
    EXPECT_TRUE(readFile(folder + "/w.mp4") == content);
}

// One reading of the CLI process: resident kB, threads, open descriptors.
struct Sample {
    long rssKb = 0;
    int threads = 0;
    int descriptors = 0;
};

bool sample(pid_t pid, Sample& s) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    bool any = false;
    while (status >> key) {
        if (key == "VmRSS:") status >> s.rssKb, any = true;
        if (key == "Threads:") status >> s.threads;
    }
    std::error_code failed;
    s.descriptors = 0;
    for (auto it = fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", failed);
         !failed && it != fs::directory_iterator(); it.increment(failed))
        ++s.descriptors;
    return any;
}

TEST(LinkSoak, AThousandWorksThroughAResettingLinkArriveExactWithinBoundedResources) {
    const std::string folder = freshFolder("link-soak");
    struct statvfs disk {};
    if (::statvfs(folder.c_str(), &disk) != 0 ||
        static_cast<double>(disk.f_bavail) * static_cast<double>(disk.f_frsize) < 12.0 * (1 << 30))
        GTEST_SKIP() << "the soak needs 12 GiB free beside the tests";
    const std::string media = freshFolder("link-soak-media");
    const auto clips = makeDemoClips(media, 5000000);  // 6.7, 8.3 and 10 MB: 7.8 GiB for the thousand
    DemoService service(media);
    const int servicePort = std::atoi(service.url().substr(service.url().rfind(':') + 1).c_str());
    LinkProxy link(servicePort, {"--reset-every", "20000000"});
    ASSERT_GT(link.port(), 0);

    const auto started = std::chrono::steady_clock::now();
    FILE* cli = ::popen(("exec " + std::string(ZORVAN_CLI_PATH) + " get-all 100002 -j 4 --progress=none -q" +
                         " --service http://127.0.0.1:" + std::to_string(link.port()) + " -o " + folder + " 2>&1 & echo $!")
                            .c_str(),
                        "r");
    ASSERT_NE(cli, nullptr);
    long pid = 0;
    ASSERT_EQ(std::fscanf(cli, "%ld", &pid), 1);
    std::vector<Sample> samples;
    for (Sample s; sample(static_cast<pid_t>(pid), s) && std::chrono::steady_clock::now() - started < 20min;) {
        samples.push_back(s);
        std::this_thread::sleep_for(200ms);
    }
    ::pclose(cli);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_GT(samples.size(), 4u);
    long maxRss = 0;
    for (const Sample& s : samples) maxRss = std::max(maxRss, s.rssKb);
    // The first quarter holds the listing and the ramp-up; from the second
    // on every slot runs, so a leak shows as growth from there to the end.
    // Four works of five connections, each with a socket and a splice pipe,
    // bound the whole (a leak of one a work would be a thousand).
    const auto quarter = samples.size() / 4;
    const auto most = [](auto from, auto to, int Sample::*field) {
        int m = 0;
        for (auto it = from; it != to; ++it) m = std::max(m, (*it).*field);
        return m;
    };
    const int threadsMid = most(samples.begin() + quarter, samples.begin() + 2 * quarter, &Sample::threads);
    const int threadsLate = most(samples.end() - quarter, samples.end(), &Sample::threads);
    const int fdsMid = most(samples.begin() + quarter, samples.begin() + 2 * quarter, &Sample::descriptors);
    const int fdsLate = most(samples.end() - quarter, samples.end(), &Sample::descriptors);
    const int threadsPeak = most(samples.begin(), samples.end(), &Sample::threads);
    const int fdsPeak = most(samples.begin(), samples.end(), &Sample::descriptors);
    std::printf("soak: %.1f s, %zu samples, peak RSS %ld kB, threads %d then %d (peak %d), descriptors %d then %d (peak %d)\n",
                seconds, samples.size(), maxRss, threadsMid, threadsLate, threadsPeak, fdsMid, fdsLate, fdsPeak);
    EXPECT_LT(maxRss, 64 * 1024) << "resident size stays under 64 MB";
    EXPECT_LE(threadsPeak, 48) << "threads stay bounded";
    EXPECT_LE(fdsPeak, 128) << "descriptors stay bounded";
    EXPECT_LE(threadsLate, threadsMid + 4) << "threads do not pile up";
    EXPECT_LE(fdsLate, fdsMid + 24) << "descriptors do not pile up";

    std::size_t files = 0, exact = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != ".mp4") continue;
        ++files;
        const auto size = entry.file_size();
        for (const std::string& clip : clips)
            if (clip.size() == size && readFile(entry.path().string()) == clip) ++exact;
        fs::remove(entry.path());  // the disk back as it was, file by file
    }
    EXPECT_EQ(files, 1000u);
    EXPECT_EQ(exact, files) << "every file is byte for byte its clip";
}

}  // namespace
}  // namespace zorvan
