// A work is who it is, not its song name: works of one name, names a JSON
// service escapes and a work without a name each get a file of their own;
// a saved file is "already there" only while its digest says so; a part
// taken over at a moved address is said to be verified only when the
// server's validator vouches for it.
#include "cli_run.h"
#include "download/task_param.h"
#include "support/demo_service.h"
#include "support/download_runner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace zorvan {
namespace {

using namespace test;

class WorkIdentityTest : public ::testing::Test {
protected:
    // Each test with a library of its own, which the commands it runs inherit.
    WorkIdentityTest() { ::setenv("XDG_DATA_HOME", freshFolder("identity-data").c_str(), 1); }

    std::set<std::string> videosIn(const std::string& folder) {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
            if (entry.path().extension() == ".mp4")
                names.insert(std::filesystem::relative(entry.path(), folder).string());
        return names;
    }

    // Flips `count` bytes of a file in place (its size kept), as a failing
    // disk or a careless program would.
    static void spoil(const std::string& path, std::int64_t at, int count = 16) {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        for (int i = 0; i < count; ++i) {
            file.seekg(at + i);
            const char c = static_cast<char>(file.get() ^ 0x5A);
            file.seekp(at + i);
            file.put(c);
        }
    }

    // The demo moves a work's address: the old one answers 410 from now on.
    static void moveWork(const std::string& service, int n) {
        useQuickEngineSettings();
        const std::string scratch = freshFolder("identity-move") + "/answer";
        ASSERT_EQ(runDownload(quickParams(service + "/admin/move-work?lumono=100001&n=" + std::to_string(n), scratch, 1))
                      .outcome,
                  TaskOutcome::Complete);
    }

    std::string media_ = freshFolder("identity-media");
    std::string folder_ = freshFolder("identity-videos");
};

// Performer 100006: names escaped as JSON encoders write them, one work
// without a name, one song sung four times (each its own clip).
TEST_F(WorkIdentityTest, WorksOfOneNameEscapedNamesAndAnUnnamedWorkEachGetTheirOwnFile) {
    const auto clips = makeDemoClips(media_, 30000);
    DemoService service(media_);
    const std::string at = " --service " + service.url() + " -o " + folder_;
    CliRun run = runCli("works 100006 --service " + service.url());
    EXPECT_EQ(run.exitCode, 0) << run.output;
    for (const char* line : {"1\t小幸运\t", "2\t100006 #2\t", "5\t晴天 \"live\"\t", "7\t雨 🎵\t"})
        EXPECT_NE(run.output.find(line), std::string::npos) << line << run.output;

    // Several at once: no two works race for one name.
    run = runCli("get-all 100006 -j 3" + at);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("finished: 7 done"), std::string::npos) << run.output;
    const std::vector<std::pair<std::string, int>> files = {
        {"小幸运.mp4", 1},    {"100006 #2.mp4", 2},       {"晴天.mp4", 3}, {"晴天 (2).mp4", 4},
        {"晴天 \"live\".mp4", 5}, {"晴天 (3).mp4", 6}, {"雨 🎵.mp4", 7}};
    std::set<std::string> expected;
    for (const auto& [name, n] : files) {
        expected.insert(name);
        EXPECT_TRUE(readFile(folder_ + "/" + name) == clips[static_cast<std::size_t>((n - 1) % 3)]) << name;
    }
    EXPECT_EQ(videosIn(folder_), expected);
    run = runCli("get-all 100006" + at);
    EXPECT_NE(run.output.find("nothing new to download: 7 works listed, 7 in the archive"), std::string::npos)
        << run.output;

    // One of them alone gets the same name as in the whole list; without
    // the archive the library knows each file as its own work's.
    std::filesystem::remove(folder_ + "/zorvan-archive.txt");
    run = runCli("get-all 100006 --items 6 --dry-run --json" + at);
    EXPECT_NE(run.output.find("\"state\":\"skipped\""), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("晴天 (3).mp4, as saved: verified by its SHA-256"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("\"verified\":true"), std::string::npos) << run.output;

    // Per performer, the sequence tells them apart.
    const std::string byPerformer = freshFolder("identity-by-performer");
    run = runCli("get-all 100006 --layout performer --no-media-files --service " + service.url() + " -o " + byPerformer);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(videosIn(byPerformer).count("100006/4 晴天.mp4"), 1u);
    EXPECT_EQ(videosIn(byPerformer).size(), 7u);
}

// A saved file whose bytes changed in place (its size kept) is never
// "already there": get-all fetches it again, verify says which it is and
// mends it with --repair; a missing file and one the library does not know
// are named too.
TEST_F(WorkIdentityTest, ADamagedFileIsFetchedAgainAndVerifyFindsAndRepairsIt) {
    const auto clips = makeDemoClips(media_, 200000);
    DemoService service(media_);
    const std::string at = " --service " + service.url() + " -o " + folder_;
    ASSERT_EQ(runCli("get-all 100001 --items 1-3" + at).exitCode, 0);
    CliRun run = runCli("verify -o " + folder_);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("verified: 3 ok, 0 damaged, 0 missing"), std::string::npos) << run.output;

    spoil(folder_ + "/小幸运.mp4", 100000);
    run = runCli("get-all 100001 --items 1-3" + at);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("damaged 小幸运.mp4: its bytes are not those saved"), std::string::npos) << run.output;
    EXPECT_TRUE(readFile(folder_ + "/小幸运.mp4") == clips[0]);
    EXPECT_FALSE(std::filesystem::exists(folder_ + "/小幸运.mp4.damaged"));
    EXPECT_FALSE(std::filesystem::exists(folder_ + "/小幸运(1).mp4")) << "fetched again in its place";

    // Touched only: the bytes are as saved.
    std::filesystem::last_write_time(folder_ + "/起风了.mp4",
                                     std::filesystem::last_write_time(folder_ + "/起风了.mp4") + std::chrono::hours(1));
    std::filesystem::remove(folder_ + "/zorvan-archive.txt");
    run = runCli("get-all 100001 --items 2 --dry-run" + at);
    EXPECT_NE(run.output.find("touched since but its SHA-256 is as saved"), std::string::npos) << run.output;

    spoil(folder_ + "/光年之外.mp4", 5000);
    std::filesystem::remove(folder_ + "/小幸运.mp4");
    std::ofstream(folder_ + "/mine.mp4") << "my own video\n";
    run = runCli("verify -o " + folder_);
    EXPECT_EQ(run.exitCode, 1) << run.output;
    for (const char* line : {"damaged   " , "missing   ", "unknown   ", "verified: 1 ok, 1 damaged, 1 missing"})
        EXPECT_NE(run.output.find(line), std::string::npos) << line << run.output;
    run = runCli("verify 100001 --json -o " + folder_);
    EXPECT_NE(run.output.find("\"state\":\"damaged\""), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("\"type\":\"summary\""), std::string::npos) << run.output;

    run = runCli("verify --repair" + at);
    EXPECT_EQ(run.exitCode, 1) << "the missing file is still missing\n" << run.output;
    EXPECT_NE(run.output.find("repaired  "), std::string::npos) << run.output;
    EXPECT_TRUE(readFile(folder_ + "/光年之外.mp4") == clips[2]);
    EXPECT_EQ(readFile(folder_ + "/mine.mp4"), "my own video\n") << "an unknown file is never touched";
    run = runCli("verify " + folder_ + "/光年之外.mp4");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("verified: 1 ok"), std::string::npos) << run.output;
}

// A get-all stopped part way, the work's address moved, the same command
// again: the part is taken over when the server's validator says it is the
// same file; without validators it is sampled and said "not verified", and
// --strict starts it over instead.
TEST_F(WorkIdentityTest, AMovedAddressTakesItsPartOverWhenTheServersValidatorSaysSo) {
    const auto clips = makeDemoClips(media_, 800000);
    struct Case {
        std::vector<std::string> serviceArguments;
        std::string options;
        std::string said;
    };
    const std::vector<Case> cases = {
        {{"--rate", "200000"}, "", "the server's validator vouches for it"},
        {{"--rate", "200000", "--no-validators"}, "", "sampled against the server's file, not verified"},
        {{"--rate", "200000", "--no-validators"}, " --strict", "starting 光年之外.mp4 over: the server gives no validator"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.said);
        const std::string folder = freshFolder("identity-moved");
        DemoService service(media_, c.serviceArguments);
        const std::string args = "get-all 100001 --items 3 -n 2 --service " + service.url() + " -o " + folder;
        CliRun run = runCli(args, "timeout --preserve-status -s INT 1.5");
        ASSERT_TRUE(std::filesystem::exists(folder + "/光年之外.mp4.part")) << run.output;
        moveWork(service.url(), 3);
        run = runCli(args + " --json" + c.options);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        EXPECT_NE(run.output.find(c.said), std::string::npos) << run.output;
        EXPECT_TRUE(readFile(folder + "/光年之外.mp4") == clips[2]) << "one version, whole";
        if (c.options.empty()) {
            const bool vouched = c.said.find("vouches") != std::string::npos;
            EXPECT_NE(run.output.find(vouched ? "\"verified\":true" : "\"verified\":false"), std::string::npos)
                << run.output;
        }
    }
}

}  // namespace
}  // namespace zorvan
