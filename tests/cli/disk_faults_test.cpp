// The disk's faults as the user meets them: a file larger than the free
// space is refused before a byte is written, a read-only or vanished folder
// is said as such, each with exit code 6 and nothing under the final name;
// the window's queue words the same in its own language.
#include "cli/cli_run.h"
#include "download/disk_space.h"
#include "download/part_record.h"
#include "queue/download_queue.h"
#include "support/download_runner.h"
#include "support/loopback_server.h"
#include "support/nginx_server.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/statvfs.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace zorvan {
namespace {

using namespace test;
namespace fs = std::filesystem;

// A small tmpfs of its own, mounted when the test may (root), so the
// machine's disk is never filled.
class SmallDisk {
public:
    explicit SmallDisk(const std::string& folder) : folder_(folder) {
        fs::create_directories(folder_);
        mounted_ = ::mount("tmpfs", folder_.c_str(), "tmpfs", 0, "size=2m") == 0;
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    bool readOnly(bool on) {
        return ::mount("tmpfs", folder_.c_str(), "tmpfs", MS_REMOUNT | (on ? MS_RDONLY : 0), "size=2m") == 0;
    }
    long long freeBytes() const {
        struct statvfs disk {};
        return ::statvfs(folder_.c_str(), &disk) == 0 ? static_cast<long long>(disk.f_bavail * disk.f_frsize) : -1;
    }

private:
    std::string folder_;
    bool mounted_ = false;
};

TEST(DiskFaults, TooLargeReadOnlyAndVanishedFoldersAreSaidWithNothingLeft) {
    const std::string folder = freshFolder("disk-faults") + "/disk";
    SmallDisk disk(folder);
    if (!disk.mounted()) GTEST_SKIP() << "mounting a small tmpfs needs root; the disk faults are not tried";
    const std::string big = patternBytes(3 * 1024 * 1024, 7), small = patternBytes(300000, 8);
    LoopbackServer server([&](const HttpRequest& request) {
        return fileScript(request.target == "/big.mp4" ? big : small)(request);
    });

    const long long before = disk.freeBytes();
    CliRun run = runCli("get " + server.url("/big.mp4") + " -o " + folder + "/big.mp4");
    EXPECT_EQ(run.exitCode, 6) << run.output;
    EXPECT_NE(run.output.find("not enough disk space: needs 3.00 MiB, 2.00 MiB free"), std::string::npos) << run.output;
    EXPECT_TRUE(filesIn(folder).empty()) << "no file, no part file";
    EXPECT_EQ(disk.freeBytes(), before);

    // The window's queue says it in its words, with the sizes.
    useQuickEngineSettings();
    QueueSettings settings;
    settings.taskParams = [] { return quickParams("", "", 3); };
    DownloadQueue queue(settings);
    const int id = queue.add(Work{"big", server.url("/big.mp4"), folder + "/big.mp4"});
    for (int i = 0; i < 500 && !queue.item(id)->settled(); ++i) {
        queue.tick();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(queue.item(id)->state, ItemState::Failed);
    EXPECT_EQ(queue.item(id)->cause.kind, CauseKind::Disk);
    EXPECT_EQ(diskTroubleText(queue.item(id)->cause), "磁盘空间不足：需要 3.00 MiB，可用 2.00 MiB");

    ASSERT_TRUE(disk.readOnly(true));
    run = runCli("get " + server.url("/small.mp4") + " -o " + folder + "/small.mp4");
    EXPECT_EQ(run.exitCode, 6) << run.output;
    EXPECT_NE(run.output.find("read-only file system"), std::string::npos) << run.output;
    ASSERT_TRUE(disk.readOnly(false));

    run = runCli("get " + server.url("/small.mp4") + " -o " + folder + "/gone/small.mp4");
    EXPECT_EQ(run.exitCode, 6) << run.output;
    EXPECT_NE(run.output.find("no such file or directory"), std::string::npos) << run.output;

    // A disk the user fills meanwhile: refused; with the space freed, the
    // same command completes exact.
    {
        std::ofstream filler(folder + "/filler", std::ios::binary);
        filler << std::string(1800 * 1024, 'f');
    }
    const std::string get = "get " + server.url("/small.mp4") + " -o " + folder + "/small.mp4";
    run = runCli(get);
    EXPECT_EQ(run.exitCode, 6) << run.output;
    EXPECT_NE(run.output.find("not enough disk space: needs 293 KiB"), std::string::npos) << run.output;
    fs::remove(folder + "/filler");
    run = runCli(get);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(readFile(folder + "/small.mp4") == small);
}

}  // namespace
}  // namespace zorvan
