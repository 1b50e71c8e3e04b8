// zorvan-cli works and get-all against the real demo service, as a user
// runs them from scripts.
#include "cli_run.h"
#include "download_policy/work_file.h"
#include "support/child_process.h"
#include "support/demo_service.h"
#include "support/download_runner.h"
#include "support/loopback_server.h"
#include "support/nginx_server.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <thread>

namespace zorvan {
namespace {

using namespace test;

TEST(WorkFile, EverySongNameGivesAFileInTheFolder) {
    const auto onDisk = [](const std::string& songName) { return workFilePath("/v", songName); };
    EXPECT_EQ(onDisk("小幸运"), "/v/小幸运.mp4");
    EXPECT_EQ(onDisk("a/b\\c\x01\x7f"), "/v/a_b_c__.mp4");
    EXPECT_EQ(onDisk(std::string("x\0y", 3)), "/v/x_y.mp4");
    EXPECT_EQ(onDisk(".hidden"), "/v/_.hidden.mp4");
    EXPECT_EQ(onDisk(""), "/v/_.mp4");
    // A byte that starts no character must not carry the "/" after it.
    EXPECT_EQ(onDisk("\x81/..\x81/etc"), "/v/?_..?_etc.mp4");
    EXPECT_EQ(onDisk("\xe6\x99"), "/v/??.mp4") << "a character cut short";
    const std::string longName = onDisk(std::string(300 / 3 * 3, 'x') + "晴天晴天");
    EXPECT_LE(longName.size(), 3 + maxSongFileNameBytes + 4);
    static_assert(maxSongFileNameBytes == 247);
    const std::string longChinese = onDisk(std::string(245, 'x') + "晴天");  // 245 + 3 bytes do not fit, 245 + 2 would
    EXPECT_EQ(longChinese, "/v/" + std::string(245, 'x') + ".mp4") << "cut between characters, never inside";
    EXPECT_EQ(onDisk(std::string(244, 'x') + "晴天"), "/v/" + std::string(244, 'x') + "晴.mp4");
}

// Works of one performer that share a song name (a song sung twice) get
// files of their own, numbered by their place in the list, whoever finishes
// first; so do names cut to the same start.
TEST(WorkFile, WorksOfOneNameAreToldApartByTheirPlaceInTheList) {
    EXPECT_EQ(workRepeats({"晴天", "稻香", "晴天", "晴天 (2)", "晴天"}), (std::vector<int>{1, 1, 3, 1, 4}))
        << "a mark never takes another work's own name";
    EXPECT_EQ(workFilePath("/v", "晴天", FileNaming::SongName, "100006", 4, 3), "/v/晴天 (3).mp4");
    EXPECT_EQ(workFilePath("/v", "晴天", FileNaming::PerformerFolder, "100006", 4, 3), "/v/100006/4 晴天.mp4")
        << "the sequence number already tells them apart";
    EXPECT_EQ(repeatedTitle("晴天", 2), "晴天 (2)");
    const std::string a = std::string(260, 'x') + "a", b = std::string(260, 'x') + "b";
    const std::vector<int> cut = workRepeats({a, b});
    EXPECT_EQ(cut, (std::vector<int>{1, 2})) << "two long names cut to one";
    const std::string second = workFilePath("/v", b, FileNaming::SongName, "1", 2, cut[1]);
    EXPECT_NE(workFilePath("/v", a, FileNaming::SongName, "1", 1, cut[0]), second);
    EXPECT_LE(second.size() - 3, 255u - 4) << "room is left for the renaming rule's (99)";
    EXPECT_TRUE(second.ends_with(" (2).mp4")) << second;
}

struct Listed {
    std::string fileName;  // song name + ".mp4"
    int clip;              // the demo's work n plays clip (n - 1) % 3
};

// The works lines "n<TAB>name<TAB>address", by address.
std::map<std::string, Listed> listedWorks(const std::string& output) {
    std::map<std::string, Listed> works;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const auto tab1 = line.find('\t'), tab2 = line.rfind('\t');
        if (tab1 == std::string::npos || tab1 == tab2) continue;
        works[line.substr(tab2 + 1)] = {line.substr(tab1 + 1, tab2 - tab1 - 1) + ".mp4",
                                        (std::stoi(line.substr(0, tab1)) - 1) % 3};
    }
    return works;
}

std::set<std::string> archiveLines(const std::string& folder) {
    std::set<std::string> lines;
    std::ifstream in(folder + "/zorvan-archive.txt");
    for (std::string line; std::getline(in, line);) lines.insert(line);
    return lines;
}

std::set<std::string> mp4Files(const std::string& folder) {
    std::set<std::string> names;
    for (const std::string& name : filesIn(folder))
        if (name.size() > 4 && name.substr(name.size() - 4) == ".mp4") names.insert(name);
    return names;
}

// Every archived work's file is there and byte-identical; every file is archived.
void expectArchiveMatchesFiles(const std::string& folder, const std::map<std::string, Listed>& works,
                               const std::vector<std::string>& clips) {
    std::set<std::string> expectedFiles;
    for (const std::string& address : archiveLines(folder)) {
        ASSERT_TRUE(works.count(address)) << address;
        const Listed& work = works.at(address);
        expectedFiles.insert(work.fileName);
        EXPECT_TRUE(readFile(folder + "/" + work.fileName) == clips[work.clip]) << work.fileName;
    }
    EXPECT_EQ(mp4Files(folder), expectedFiles);
}

class GetAllTest : public ::testing::Test {
protected:
    // Each test with a library of its own, which the commands it runs inherit.
    GetAllTest() { ::setenv("XDG_DATA_HOME", freshFolder("get-all-data").c_str(), 1); }
    std::string media_ = freshFolder("demo-media");
    std::string folder_ = freshFolder("get-all");
};

TEST_F(GetAllTest, WorksListsEveryPerformerOrSaysWhyNot) {
    makeDemoClips(media_, 1000);
    DemoService service(media_);
    ASSERT_FALSE(service.url().empty());
    const std::string at = " --service " + service.url();

    CliRun run = runCli("works 100001" + at);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(listedWorks(run.output).size(), 36u);
    EXPECT_EQ(run.output.rfind("1\t小幸运\t" + service.url() + "/media/100001/1.mp4\n", 0), 0u) << run.output;
    EXPECT_EQ(listedWorks(runCli("works 100002" + at).output).size(), 1000u);
    run = runCli("works 100004 --json" + at);  // escaped slashes come out unescaped
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.output.find("\"address\": \"" + service.url() + "/media/100004/12.mp4\""), std::string::npos);
    run = runCli("works 100003" + at);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "zorvan-cli: performer 100003 has no works\n");
    run = runCli("works 100001" + at + " > /dev/full");
    EXPECT_EQ(run.exitCode, 6);
    EXPECT_NE(run.output.find("cannot write the listing to standard output"), std::string::npos) << run.output;

    LoopbackServer garbage([](const HttpRequest&) {
        ScriptedReply reply;
        reply.raw = "HTTP/1.1 200 OK\r\nContent-Length: 13\r\n\r\n<html></html>";
        return reply;
    });
    run = runCli("works 100001 --service http://127.0.0.1:" + std::to_string(garbage.port()));
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_NE(run.output.find("did not answer with a works list"), std::string::npos) << run.output;
    run = runCli("works 999999" + at);
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_NE(run.output.find("performer 999999 not found"), std::string::npos) << run.output;
    int closedPort;
    {
        LoopbackServer gone([](const HttpRequest&) { return ScriptedReply{}; });
        closedPort = gone.port();
    }
    run = runCli("works 100001 --service http://127.0.0.1:" + std::to_string(closedPort));
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.output.find(": connection refused (127.0.0.1:"), std::string::npos) << run.output;
    EXPECT_EQ(runCli("works").exitCode, 2);
    EXPECT_EQ(runCli("get-all 100001 -j 0").exitCode, 2);
}

TEST_F(GetAllTest, FetchesEveryWorkOnceThenOnlyWhatIsNew) {
    const auto clips = makeDemoClips(media_, 20000);
    DemoService service(media_);
    const std::string args = "get-all 100001 --service " + service.url() + " -o " + folder_;

    CliRun run = runCli(args + " -j 3");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("finished: 36 done"), std::string::npos) << run.output;
    auto works = listedWorks(runCli("works 100001 --service " + service.url()).output);
    EXPECT_EQ(archiveLines(folder_).size(), 36u);
    expectArchiveMatchesFiles(folder_, works, clips);

    run = runCli(args);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.output.find("nothing new to download: 36 works listed, 36 in the archive"), std::string::npos)
        << run.output;

    // The performer publishes a work: the next run fetches that one alone.
    useQuickEngineSettings();
    EXPECT_EQ(runDownload(quickParams(service.url() + "/admin/add-work?lumono=100001", folder_ + "/added", 1))
                  .outcome, TaskOutcome::Complete);
    std::filesystem::remove(folder_ + "/added");
    run = runCli(args + " -j 3");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.output.find("finished: 1 done, 36 skipped"), std::string::npos) << run.output;
    works = listedWorks(runCli("works 100001 --service " + service.url()).output);
    EXPECT_EQ(works.size(), 37u);
    expectArchiveMatchesFiles(folder_, works, clips);

    // A file that is there but not in the archive: the library knows it as
    // this work's.
    const std::string first = service.url() + "/media/100001/1.mp4";
    std::string archive;
    for (const std::string& line : archiveLines(folder_))
        if (line != first) archive += line + "\n";
    std::ofstream(folder_ + "/zorvan-archive.txt", std::ios::trunc) << archive;
    run = runCli(args);
    EXPECT_NE(run.output.find("nothing new to download: 37 works listed, 36 in the archive, 1 already there"),
              std::string::npos)
        << run.output;
    // Without a library it is checked against the server: skipped, or saved beside it.
    const std::string noLibrary = "XDG_DATA_HOME=" + freshFolder("get-all-no-library");
    run = runCli(args, noLibrary);
    EXPECT_NE(run.output.find("skipped 小幸运.mp4: already there (not verified: compared in part with the server's file)"), std::string::npos)
        << run.output;
    EXPECT_FALSE(archiveLines(folder_).count(first));
    run = runCli(args + " --on-exists rename", "XDG_DATA_HOME=" + freshFolder("get-all-no-library-2"));
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(readFile(folder_ + "/小幸运(1).mp4") == clips[0]);
    EXPECT_TRUE(archiveLines(folder_).count(first));
}

TEST_F(GetAllTest, ChoosesWorksShowsADryRunCompletesAShortFileAndKeepsItsArchiveUnderAnotherAddress) {
    const auto clips = makeDemoClips(media_, 20000);
    DemoService service(media_);
    const std::string args = "get-all 100001 --service " + service.url() + " -o " + folder_ + " --items 1-3";
    CliRun run = runCli(args + " --dry-run");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    for (const char* line : {"fetch 1\t小幸运.mp4\n", "fetch 2\t起风了.mp4\n", "fetch 3\t光年之外.mp4\n",
                             "dry run: 3 works would be fetched"})
        EXPECT_NE(run.output.find(line), std::string::npos) << line << run.output;
    EXPECT_EQ(run.output.find("fetch 4"), std::string::npos) << run.output;
    EXPECT_TRUE(filesIn(folder_).empty());

    run = runCli(args);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    const auto works = listedWorks(runCli("works 100001 --service " + service.url()).output);
    expectArchiveMatchesFiles(folder_, works, clips);
    EXPECT_EQ(mp4Files(folder_).size(), 3u);

    // A file cut short that the archive does not name is completed.
    const std::string second = service.url() + "/media/100001/2.mp4";
    std::string archive;
    for (const std::string& line : archiveLines(folder_))
        if (line != second) archive += line + "\n";
    std::ofstream(folder_ + "/zorvan-archive.txt", std::ios::trunc) << archive;
    std::filesystem::resize_file(folder_ + "/起风了.mp4", 1000);
    run = runCli(args);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("continuing 起风了.mp4"), std::string::npos) << run.output;
    expectArchiveMatchesFiles(folder_, works, clips);

    // The same service at another address: its works are still known.
    archive.clear();
    for (const std::string& line : archiveLines(folder_)) archive += "http://media.old:8000" + line.substr(service.url().size()) + "\n";
    std::ofstream(folder_ + "/zorvan-archive.txt", std::ios::trunc) << archive;
    run = runCli(args);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("nothing new to download: 36 works listed (3 chosen), 3 in the archive"), std::string::npos)
        << run.output;
}

TEST_F(GetAllTest, ProxiesFromTheEnvironmentCarryEveryCommandUnlessTheHostIsExempt) {
    makeDemoClips(media_, 1000);
    DemoService service(media_);
    LoopbackServer proxy([](const HttpRequest&) {
        ScriptedReply reply;
        reply.raw = "HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n";
        return reply;
    });
    const std::string via = "http_proxy=http://127.0.0.1:" + std::to_string(proxy.port());
    const std::string clip = service.url() + "/media/100001/1.mp4";
    CliRun run = runCli("works 100001 --service " + service.url(), via);
    EXPECT_EQ(run.exitCode, 5) << run.output;
    EXPECT_NE(run.output.find("403 Forbidden"), std::string::npos) << run.output;
    ASSERT_FALSE(proxy.requests().empty());
    EXPECT_EQ(proxy.requests()[0].target.rfind(service.url() + "/u/works/s?lumono=100001", 0), 0u);
    run = runCli("get " + clip + " -o " + folder_ + "/a.mp4", via);
    EXPECT_EQ(run.exitCode, 5) << run.output;
    EXPECT_NE(run.output.find("the server answered 403 Forbidden"), std::string::npos) << run.output;
    EXPECT_EQ(proxy.requests().back().target, clip);

    // Hosts no_proxy or --noproxy name, and --proxy "", go direct.
    const std::size_t seen = proxy.requests().size();
    run = runCli("works 100001 --service " + service.url(), via + " no_proxy=localhost,127.0.0.1");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(listedWorks(run.output).size(), 36u);
    EXPECT_EQ(runCli("get " + clip + " -o " + folder_ + "/a.mp4 --noproxy 127.0.0.1", via).exitCode, 0);
    run = runCli("get-all 100001 --items 1 --service " + service.url() + " -o " + folder_ + " --proxy ''", via);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(proxy.requests().size(), seen);
}

TEST_F(GetAllTest, SyncFetchesEveryFollowedPerformerThenOnlyTheNewWork) {
    const auto clips = makeDemoClips(media_, 3000);
    DemoService service(media_);
    // The library of this test, never the user's.
    const std::string data = "XDG_DATA_HOME=" + freshFolder("sync-data");
    const std::string sync = "sync --service " + service.url() + " -o " + folder_;
    EXPECT_NE(runCli("sync --service " + service.url(), data).output.find("no performer is followed"), std::string::npos);
    EXPECT_EQ(runCli("follow 100001 100003", data).exitCode, 0);
    CliRun run = runCli(sync + " -j 3", data);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(mp4Files(folder_).size(), 36u);
    run = runCli("following", data);
    EXPECT_NE(run.output.find("100001\t36 works\tlast checked 20"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("100003\t0 works"), std::string::npos) << run.output;

    useQuickEngineSettings();
    ASSERT_EQ(runDownload(quickParams(service.url() + "/admin/add-work?lumono=100001", folder_ + "/added", 1)).outcome,
              TaskOutcome::Complete);
    std::filesystem::remove(folder_ + "/added");
    run = runCli(sync + " --dry-run", data);
    EXPECT_NE(run.output.find("fetch 37\t"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("dry run: 1 work would be fetched"), std::string::npos) << run.output;
    // Only what it would fetch, and what is new: not the 36 it passes over.
    EXPECT_NE(run.output.find("1 new work since the last check"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("skip "), std::string::npos) << run.output;
    EXPECT_EQ(mp4Files(folder_).size(), 36u);
    run = runCli(sync, data);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("1 new work since the last check"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("finished: 1 done, 36 skipped"), std::string::npos) << run.output;
    EXPECT_EQ(mp4Files(folder_).size(), 37u);
    run = runCli("following --json", data);
    EXPECT_NE(run.output.find("\"id\": \"100001\",\n    \"works\": 37,"), std::string::npos) << run.output;

    // A performer the service does not know: said, the others still synced.
    EXPECT_EQ(runCli("unfollow 100003", data).exitCode, 0);
    EXPECT_EQ(runCli("follow 999999", data).exitCode, 0);
    run = runCli(sync, data);
    EXPECT_EQ(run.exitCode, 5) << run.output;
    EXPECT_NE(run.output.find("performer 999999 not found"), std::string::npos) << run.output;
    EXPECT_NE(runCli("following", data).output.find("999999\t0 works\tlast checked 20"), std::string::npos);
}

// The asked rate, reached and not exceeded, by one download and by
// get-all's works together: a loose ratio over a few seconds.
TEST_F(GetAllTest, TheSpeedLimitHoldsForOneDownloadAndForGetAllsWorksTogether) {
    const auto rateOf = [](const std::string& command, const std::function<std::int64_t()>& bytes) {
        const auto started = std::chrono::steady_clock::now();
        const CliRun run = runCli(command);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_EQ(run.exitCode, 0) << run.output;
        return static_cast<double>(bytes()) / seconds;
    };
    const std::string content = patternBytes(3 * 1024 * 1024, 5);
    LoopbackServer server(fileScript(content));
    const double one = rateOf("get -q --no-fsync -n 3 --limit 1M " + server.url("/l.mp4") + " -o " + folder_ + "/l.mp4",
                              [&] { return static_cast<std::int64_t>(readFile(folder_ + "/l.mp4").size()); });
    EXPECT_GT(one, 0.9 * 1048576);
    EXPECT_LT(one, 1.1 * 1048576);

    // Works of about a megabyte: a small work's own start and end (its
    // connections, its flush to the disk) are not what the limit governs.
    makeDemoClips(media_, 600000);
    DemoService service(media_);
    const std::string folder = folder_ + "/all";
    const double all = rateOf("get-all 100001 -q -j 3 --items 1-12 --limit 4M --service " + service.url() + " -o " + folder, [&] {
        std::int64_t total = 0;
        for (const std::string& name : mp4Files(folder)) total += static_cast<std::int64_t>(readFile(folder + "/" + name).size());
        return total;
    });
    EXPECT_GT(all, 0.9 * 4 * 1048576);
    EXPECT_LT(all, 1.1 * 4 * 1048576);
}

TEST_F(GetAllTest, CountsAWorkThatFailsAndCompletesTheOthers) {
    const auto clips = makeDemoClips(media_, 5000, {2});  // every third work answers 404
    DemoService service(media_);
    CliRun run = runCli("get-all 100001 --service " + service.url() + " -o " + folder_ + " -j 4");
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("24 done, 0 skipped (0 in the archive, 0 files already there), 12 failed"),
              std::string::npos) << run.output;
    EXPECT_NE(run.output.find("failed  光年之外.mp4: "), std::string::npos) << run.output;
    EXPECT_EQ(archiveLines(folder_).size(), 24u);
    expectArchiveMatchesFiles(folder_, listedWorks(runCli("works 100001 --service " + service.url()).output), clips);
}

TEST_F(GetAllTest, CtrlCLeavesOnlyCompleteFilesAndAnArchiveOfExactlyThem) {
    const auto clips = makeDemoClips(media_, 150000);
    DemoService service(media_, {"--rate", "600000"});
    const pid_t cli = spawnChild({ZORVAN_CLI_PATH, "get-all", "100001", "--service", service.url(), "-o", folder_,
                                  "-j", "3", "-n", "2"});
    ASSERT_GT(cli, 0);
    for (int i = 0; i < 300 && archiveLines(folder_).size() < 3; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_GE(archiveLines(folder_).size(), 3u);
    kill(cli, SIGINT);
    int status = 0;
    for (int i = 0; i < 300 && waitpid(cli, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(WIFEXITED(status)) << "still running after Ctrl-C";
    EXPECT_EQ(WEXITSTATUS(status), 130);

    const auto works = listedWorks(runCli("works 100001 --service " + service.url()).output);
    EXPECT_LT(archiveLines(folder_).size(), 36u) << "stopped before the end";
    expectArchiveMatchesFiles(folder_, works, clips);

    // The same command finishes the rest; its figures count what it fetched
    // apart from what the stopped run's part files held.
    CliRun run = runCli("get-all 100001 --json --service " + service.url() + " -o " + folder_ + " -j 3 -n 2");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(archiveLines(folder_).size(), 36u);
    expectArchiveMatchesFiles(folder_, works, clips);
    EXPECT_NE(run.output.find("taken over from part files) in "), std::string::npos) << run.output;
    const std::string last = run.output.substr(run.output.rfind("{\"type\":\"summary\""));
    const auto number = [&last](const std::string& name) {
        const auto at = last.find("\"" + name + "\":");
        return at == std::string::npos ? -1 : std::stoll(last.substr(at + name.size() + 3));
    };
    std::int64_t inFiles = 0;
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("{\"type\":\"item\"", 0) != 0) continue;
        const nlohmann::json item = nlohmann::json::parse(line);
        // The shape of the API's queued work, and the older name beside it.
        EXPECT_EQ(item["done"], item["bytes"]);
        EXPECT_EQ(item["song"], item["songName"]);
        if (item["state"] == "done") inFiles += item["done"].get<std::int64_t>();
    }
    EXPECT_GT(number("takenOverBytes"), 0) << last;
    EXPECT_EQ(number("fetchedBytes") + number("takenOverBytes"), inFiles) << last;
}

// The user's own file under a work's name is never written to, and
// another performer's song of the same name is a work of its own.
TEST_F(GetAllTest, TheUsersOwnFileIsLeftAloneAndSameNamedSongsOfAnotherPerformerAreSavedBeside) {
    const auto clips = makeDemoClips(media_, 30000);
    DemoService service(media_);
    std::ofstream(folder_ + "/小幸运.mp4") << "my own notes\n";
    const std::string at = " --service " + service.url() + " -o " + folder_ + " --items 1-3";
    CliRun run = runCli("get-all 100001" + at);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("小幸运.mp4 is left alone: the file there is not this file"), std::string::npos) << run.output;
    EXPECT_EQ(readFile(folder_ + "/小幸运.mp4"), "my own notes\n") << "never written to";
    EXPECT_TRUE(readFile(folder_ + "/小幸运(1).mp4") == clips[0]);

    // Performer 100002 sings the same songs: they are not "already there".
    run = runCli("get-all 100002" + at + " --dry-run");
    EXPECT_NE(run.output.find("fetch 2\t起风了.mp4: the file there holds another work; saved under another name"),
              std::string::npos)
        << run.output;
    run = runCli("get-all 100002" + at);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("finished: 3 done, 0 skipped"), std::string::npos) << run.output;
    EXPECT_TRUE(readFile(folder_ + "/起风了(1).mp4") == clips[1]);
    EXPECT_TRUE(readFile(folder_ + "/光年之外(1).mp4") == clips[2]);
    EXPECT_TRUE(readFile(folder_ + "/小幸运(2).mp4") == clips[0]);
    EXPECT_EQ(readFile(folder_ + "/小幸运.mp4"), "my own notes\n");
    // Each performer's run knows its own works afterwards, archive or not.
    std::filesystem::remove(folder_ + "/zorvan-archive.txt");
    for (const auto& [performer, listed] : {std::pair{"100001", "36"}, std::pair{"100002", "1000"}}) {
        run = runCli(std::string("get-all ") + performer + at);
        EXPECT_NE(run.output.find(std::string("nothing new to download: ") + listed +
                                  " works listed (3 chosen), 0 in the archive, 3 already there"),
                  std::string::npos)
            << run.output;
    }
}

TEST_F(GetAllTest, AFolderNamedWithOVanishingMidRunIsAnErrorOfItsOwn) {
    makeDemoClips(media_, 150000);
    DemoService service(media_, {"--rate", "300000"});
    const std::string named = folder_ + "/named";
    std::filesystem::create_directories(named);
    const std::string log = folder_ + "/log";
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const pid_t cli = spawnChild({ZORVAN_CLI_PATH, "get-all", "100001", "--service", service.url(), "-o", named,
                                  "-j", "1", "--progress=none"},
                                 out, out);
    ::close(out);
    ASSERT_GT(cli, 0);
    for (int i = 0; i < 300 && archiveLines(named).empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_FALSE(archiveLines(named).empty());
    // The run may make its next part file while the folder goes: again until it is gone.
    for (int i = 0; i < 50 && std::filesystem::exists(named); ++i) {
        std::error_code racing;
        std::filesystem::remove_all(named, racing);
    }
    ASSERT_FALSE(std::filesystem::exists(named));
    int status = 0;
    for (int i = 0; i < 600 && waitpid(cli, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(WIFEXITED(status)) << readFile(log);
    EXPECT_EQ(WEXITSTATUS(status), 6) << readFile(log);
    EXPECT_NE(readFile(log).find("the folder " + named + " is gone"), std::string::npos) << readFile(log);
    EXPECT_FALSE(std::filesystem::exists(named)) << "a folder the user named is not made again";
}

}  // namespace
}  // namespace zorvan
