// zorvan-cli as a user runs it: options, then whole runs against a server
// the test starts on 127.0.0.1.
#include "cli/cli_options.h"
#include "cli/progress_line.h"
#include "cli/works_listing.h"
#include "cli_run.h"
#include "download/part_record.h"
#include "support/child_process.h"
#include "support/download_runner.h"
#include "support/loopback_server.h"
#include "support/nginx_server.h"
#include "support/test_certificates.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace zorvan {
namespace {

using namespace test;

TEST(CliOptions, ReadsTheGetCommandAndRejectsMistakes) {
    std::string error;
    auto o = cli::parseGetOptions({"get", "http://h/a.mp4", "-n", "16", "-o", "x/", "--limit", "1000",
                                   "--on-exists", "skip", "-v"},
                                  error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->url, "http://h/a.mp4");
    EXPECT_EQ(o->connections, 16);
    EXPECT_EQ(o->output, "x/");
    EXPECT_EQ(o->speedLimit, 1000);
    EXPECT_FALSE(o->renameOnExists);
    EXPECT_TRUE(o->verbose);
    EXPECT_TRUE(o->continuePart);
    EXPECT_FALSE(cli::parseGetOptions({"get", "u", "-c", "--no-continue"}, error)->continuePart);
    EXPECT_TRUE(cli::parseGetOptions({"get", "u", "--no-continue", "--continue"}, error)->continuePart);
    EXPECT_TRUE(o->splice);
    EXPECT_FALSE(cli::parseGetOptions({"get", "u", "--no-splice"}, error)->splice);
    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"fetch", "u"}, {"get"}, {"get", "u", "-n", "0"}, {"get", "u", "-n", "x"}, {"get", "u", "-n"},
             {"get", "u", "--on-exists", "overwrite"}, {"get", "-o", "-", "u", "v"}, {"get", "u", "--bogus"},
             {"get", "u", "--buffer", "100000000000"}, {"get", "u", "--retries", "-1"},
             {"get", "u", "--checkpoint", "5"}}) {
        EXPECT_FALSE(cli::parseGetOptions(bad, error)) << bad.back();
        EXPECT_FALSE(error.empty());
    }
}

TEST(CliOptions, EveryCommandTakesTheNetworkOptionsAndGetAllChoosesWorks) {
    std::string error;
    const auto o = cli::parseGetAllOptions({"get-all", "7", "--items", "1-5,9", "--match=风", "--max", "3",
                                            "--dry-run", "--proxy", "http://127.0.0.1:8080", "--noproxy", "localhost",
                                            "--limit", "1.5M", "-q", "--progress=line", "--timeout", "7", "-k",
                                            "--retries", "0"},
                                           error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->selection.items, (std::vector<std::pair<int, int>>{{1, 5}, {9, 9}}));
    EXPECT_EQ(o->selection.match, "风");
    EXPECT_TRUE(o->dryRun);
    EXPECT_EQ(o->network.proxy, "http://127.0.0.1:8080");
    EXPECT_EQ(o->network.noProxy, "localhost");
    EXPECT_EQ(o->speedLimit, 1572864);
    EXPECT_TRUE(o->display.quiet);
    EXPECT_EQ(o->display.progress, cli::ProgressStyle::Line);
    EXPECT_EQ(o->network.timeoutSeconds, 7);
    EXPECT_TRUE(o->network.insecure);
    EXPECT_EQ(o->network.retries, 0);
    const auto works = cli::parseWorksOptions({"works", "7", "--cacert", "ca.pem", "--proxy="}, error);
    ASSERT_TRUE(works) << error;
    EXPECT_EQ(works->network.caFile, "ca.pem");
    EXPECT_EQ(works->network.proxy, "");  // given empty: direct
    EXPECT_FALSE(cli::parseGetOptions({"get", "u"}, error)->network.proxy.has_value());
    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"get-all", "7", "--items", "5-1"}, {"get-all", "7", "--items", "x"}, {"get-all", "7", "--items", "0"},
             {"get-all", "7", "--max", "0"}, {"works", "7", "--proxy", "socks5://h:1"},
             {"get", "u", "--limit", "1X"}, {"get", "u", "--progress=fancy"}, {"works", "7", "--timeout", "0"}}) {
        EXPECT_FALSE(bad[0] == "get" ? cli::parseGetOptions(bad, error).has_value()
                     : bad[0] == "works" ? cli::parseWorksOptions(bad, error).has_value()
                                         : cli::parseGetAllOptions(bad, error).has_value())
            << bad.back();
    }
    std::int64_t bytes = 0;
    EXPECT_TRUE(cli::readByteCount("300k", bytes) && bytes == 307200);
    EXPECT_TRUE(cli::readByteCount("2G", bytes) && bytes == 2147483648);
    EXPECT_TRUE(cli::readByteCount("1000", bytes) && bytes == 1000);
    EXPECT_FALSE(cli::readByteCount("1.5", bytes));
    EXPECT_FALSE(cli::readByteCount("-1M", bytes));

    std::vector<ListedWork> listed;
    for (int i = 1; i <= 12; ++i) listed.push_back({i, i % 2 ? "Wind " + std::to_string(i) : "Rain", ""});
    const auto sequences = [](const std::vector<ListedWork>& chosen) {
        std::vector<int> out;
        for (const auto& work : chosen) out.push_back(work.sequence);
        return out;
    };
    cli::WorkSelection firstOnes = o->selection;
    EXPECT_TRUE(cli::selectWorks(listed, firstOnes).empty());  // no "风" among them
    firstOnes.match.clear();
    EXPECT_EQ(sequences(cli::selectWorks(listed, firstOnes)), (std::vector<int>{1, 2, 3}));
    cli::WorkSelection byName;
    byName.match = "wIND";
    byName.items = {{4, 12}};
    EXPECT_EQ(sequences(cli::selectWorks(listed, byName)), (std::vector<int>{5, 7, 9, 11}));
}

TEST(CliOptions, ProgressLineShowsSizeSpeedPercentAndTimeLeft) {
    EXPECT_EQ(cli::progressLine(100 * 1048576, 25 * 1048576, 5 * 1048576),
              "25.0 MiB / 100 MiB  5.00 MiB/s  25%  0:15 left");
    EXPECT_EQ(cli::progressLine(-1, 512, 0), "512 B / ?  0 B/s");
    // A second to go is never "0:00 left".
    EXPECT_EQ(cli::progressLine(1000, 900, 150), "900 B / 1000 B  150 B/s  90%  0:01 left");
    EXPECT_EQ(cli::progressLine(10000, 0, 99), "0 B / 9.77 KiB  99 B/s  0%  1:42 left");
    EXPECT_EQ(cli::humanBytes(1536), "1.50 KiB");
}

TEST(ZorvanCli, SavesCompleteFilesAndSaysWhenItCouldNot) {
    NginxServer nginx;
    ASSERT_TRUE(nginx.running()) << nginx.error();
    const std::string content = nginx.addFile("clip.mp4", 2 * 1024 * 1024 + 3);
    const std::string folder = freshFolder("cli");

    CliRun run = runCli("get " + nginx.url("/clip.mp4") + " -o " + folder + "/");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(readFile(folder + "/clip.mp4") == content);

    run = runCli("get " + nginx.url("/clip.mp4") + " -o " + folder + "/clip.mp4");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("clip(1).mp4"), std::string::npos) << run.output;
    // A folder that is there takes the file, with or without its "/".
    std::filesystem::create_directories(folder + "/sub");
    run = runCli("get " + nginx.url("/clip.mp4") + " -o " + folder + "/sub");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(readFile(folder + "/sub/clip.mp4") == content);
    EXPECT_FALSE(std::filesystem::exists(folder + "/sub(1)"));

    // Skipping what is there is not a failure; a shorter file that is its
    // start is completed (both checked against the server).
    run = runCli("get " + nginx.url("/clip.mp4") + " -o " + folder + "/clip.mp4 --on-exists skip");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.output.find("it is already there"), std::string::npos) << run.output;
    std::ofstream(folder + "/short.mp4") << content.substr(0, 1000);
    run = runCli("get " + nginx.url("/clip.mp4") + " -o " + folder + "/short.mp4 --on-exists skip");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("shorter than the server's file"), std::string::npos) << run.output;
    EXPECT_TRUE(readFile(folder + "/short.mp4") == content);
    std::ofstream(folder + "/mine.mp4") << "my own notes\n";
    run = runCli("get " + nginx.url("/clip.mp4") + " -o " + folder + "/mine.mp4 --on-exists skip");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("mine.mp4 is left alone: the file there is not this file"), std::string::npos)
        << run.output;
    EXPECT_EQ(readFile(folder + "/mine.mp4"), "my own notes\n");
    EXPECT_TRUE(readFile(folder + "/mine(1).mp4") == content);

    run = runCli("get " + nginx.url("/nothing.mp4") + " -o " + folder + "/n.mp4");
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_NE(run.output.find("the server answered 404 Not Found"), std::string::npos) << run.output;

    // Nobody listening: a bounded number of tries, each said, and the last error.
    int closedPort;
    {
        LoopbackServer gone([](const HttpRequest&) { return ScriptedReply{}; });
        closedPort = gone.port();
    }
    run = runCli("get http://127.0.0.1:" + std::to_string(closedPort) + "/x.mp4 -o " + folder +
                 "/x.mp4 --retries 2 --retry-wait 0");
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.output.find("); trying again in 0 s (1 try left)"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("/x.mp4: connection refused (127.0.0.1:"), std::string::npos) << run.output;

    run = runCli("get http://127.0.0.1 -o " + folder + "/x.mp4");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.output.find("cannot download"), std::string::npos) << run.output;
    EXPECT_EQ(filesIn(folder),
              (std::vector<std::string>{"clip(1).mp4", "clip.mp4", "mine(1).mp4", "mine.mp4", "short.mp4", "sub"}));
}

TEST(ZorvanCli, StandardOutputTakesTheBodyAndLocalProblemsHaveTheirOwnExitCode) {
    NginxServer nginx;
    ASSERT_TRUE(nginx.running()) << nginx.error();
    const std::string content = nginx.addFile("clip.mp4", 1024 * 1024 + 7);
    const std::string folder = freshFolder("cli-out");

    CliRun run = runCli("get " + nginx.url("/clip.mp4") + " -o - > " + folder + "/piped");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output, "");
    EXPECT_TRUE(readFile(folder + "/piped") == content);
    run = runCli("get " + nginx.url("/clip.mp4") + " -o - > /dev/full");
    EXPECT_EQ(run.exitCode, 6);
    EXPECT_NE(run.output.find("cannot write to standard output: no space left on device"), std::string::npos)
        << run.output;
    run = runCli("get " + nginx.url("/none.mp4") + " -o -");
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_NE(run.output.find("404 Not Found"), std::string::npos) << run.output;

    std::ofstream(folder + "/plain") << "a file, not a folder";
    run = runCli("get " + nginx.url("/clip.mp4") + " -o " + folder + "/plain/clip.mp4");
    EXPECT_EQ(run.exitCode, 6);
    EXPECT_NE(run.output.find("cannot create the file: not a directory"), std::string::npos) << run.output;
    run = runCli("get http://no-such-host.invalid/clip.mp4 -o " + folder + "/x.mp4");
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.output.find("cannot resolve host no-such-host.invalid"), std::string::npos) << run.output;
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"piped", "plain"}));
}

TEST(ZorvanCli, RefusesEachBadCertificateWithItsOwnMessageUnlessInsecure) {
    TestCertificates certificates;
    ASSERT_TRUE(certificates.made()) << certificates.error();
    const std::string folder = freshFolder("cli-tls");
    const std::string ca = " --cacert " + certificates.caFile();
    NginxServer good("", NginxTls{certificates.valid(), certificates.key()});
    ASSERT_TRUE(good.running()) << good.error();
    const std::string content = good.addFile("clip.mp4", 300001);

    CliRun run = runCli("get " + good.url("/clip.mp4") + " -n 5 -o " + folder + "/good.mp4" + ca);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(readFile(folder + "/good.mp4") == content);
    // Without the test CA the system's store does not know it, unless the
    // store is pointed at it.
    run = runCli("get " + good.url("/clip.mp4") + " -o " + folder + "/x.mp4");
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_NE(run.output.find("certificate is not trusted"), std::string::npos) << run.output;
    ::setenv("SSL_CERT_FILE", certificates.caFile().c_str(), 1);
    run = runCli("get " + good.url("/clip.mp4") + " -o " + folder + "/store.mp4");
    ::unsetenv("SSL_CERT_FILE");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    // TLS spoken to a plain HTTP port.
    run = runCli("get " + good.plainUrl("/clip.mp4").replace(0, 4, "https") + " -o " + folder + "/x.mp4" + ca);
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_NE(run.output.find("no secure connection could be agreed"), std::string::npos) << run.output;

    const struct {
        std::string certificate, message;
    } faults[] = {{certificates.otherName(), "certificate is for another host"},
                  {certificates.expired(), "certificate has expired"},
                  {certificates.selfSigned(), "certificate is not trusted"}};
    std::vector<std::string> saved = {"good.mp4", "store.mp4"};
    for (const auto& fault : faults) {
        NginxServer bad("", NginxTls{fault.certificate, certificates.key()});
        ASSERT_TRUE(bad.running()) << bad.error();
        bad.addFile("clip.mp4", 300001);
        const std::string path = folder + "/" + saved.emplace_back("insecure" + std::to_string(saved.size()) + ".mp4");
        run = runCli("get " + bad.url("/clip.mp4") + " -o " + path + ca);
        EXPECT_EQ(run.exitCode, 4) << fault.message;
        EXPECT_NE(run.output.find(fault.message), std::string::npos) << run.output;
        run = runCli("get " + bad.url("/clip.mp4") + " -o " + path + " --insecure");
        EXPECT_EQ(run.exitCode, 0) << run.output;
        EXPECT_NE(run.output.find("--insecure: the server's certificate and name are not checked"), std::string::npos);
        EXPECT_TRUE(readFile(path) == content) << fault.message;
    }
    run = runCli("get " + good.url("/clip.mp4") + " -o " + folder + "/y.mp4 --cacert " + folder + "/none.pem");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.output.find("cannot read CA certificates"), std::string::npos) << run.output;
    std::sort(saved.begin(), saved.end());
    EXPECT_EQ(filesIn(folder), saved);
}

// Starts zorvan-cli with its standard error going to `errors`.
pid_t startCli(const std::vector<std::string>& args, const std::string& errors) {
    const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    std::vector<std::string> argv = {ZORVAN_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    const pid_t pid = spawnChild(argv, -1, fd);
    ::close(fd);
    return pid;
}

// Sends `signal` once the run has said `started` on its error stream (so
// its handlers are in place) and the part file's record holds `bytes`; the
// exit code.
int interruptAt(pid_t pid, const std::string& finalPath, std::int64_t bytes, int signal,
                const std::string& errors = {}, const std::string& started = {}) {
    for (int i = 0; i < 4000; ++i) {
        const auto record = loadPartRecord(recordPathOf(finalPath));
        const bool said = started.empty() || readFile(errors).find(started) != std::string::npos;
        if (said && record && record->doneBytes() >= bytes) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(pid, signal);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ZorvanCli, CtrlCAndSigtermKeepThePartTheNextRunContinuesNoContinueStartsOver) {
    const std::string content = patternBytes(2 * 1024 * 1024, 5);
    const auto size = static_cast<std::int64_t>(content.size());
    LoopbackServer server(pacedFile(content, 1024 * 1024, 5));
    const std::string folder = freshFolder("cli-continue");
    const std::string path = folder + "/clip.mp4", errors = folder + "/../cli-continue.err";
    const std::vector<std::string> get = {"get", server.url("/clip.mp4"), "-o", path, "--checkpoint", "50"};

    pid_t pid = startCli(get, errors);
    EXPECT_EQ(interruptAt(pid, path, size / 5, SIGINT), 130);
    EXPECT_NE(readFile(errors).find("stopped; kept "), std::string::npos) << readFile(errors);
    EXPECT_NE(readFile(errors).find("% of clip.mp4 ("), std::string::npos) << readFile(errors);
    EXPECT_NE(readFile(errors).find("run the same command to continue"), std::string::npos);
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"clip.mp4.part", "clip.mp4.part.state"}));

    // SIGTERM after the run that took it up got further (the first may have
    // kept more than it was asked to stop at on a slow machine).
    const std::int64_t first = loadPartRecord(recordPathOf(path))->doneBytes();
    pid = startCli(get, errors);
    EXPECT_EQ(interruptAt(pid, path, std::max(size / 2, first + size / 10), SIGTERM, errors,
                          "continuing clip.mp4 at "),
              143);
    EXPECT_NE(readFile(errors).find("continuing clip.mp4 at "), std::string::npos) << readFile(errors);
    const std::int64_t kept = loadPartRecord(recordPathOf(path))->doneBytes();
    EXPECT_GE(kept, size / 2);

    server.resetBytesSent();
    CliRun run = runCli("get " + server.url("/clip.mp4") + " -o " + path);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("of it fetched now"), std::string::npos) << run.output;
    EXPECT_TRUE(readFile(path) == content);
    EXPECT_LT(server.bytesSent(), size - kept + size / 10);

    // --no-continue: the part is replaced and the whole file fetched.
    std::filesystem::remove(path);
    pid = startCli(get, errors);
    EXPECT_EQ(interruptAt(pid, path, size / 5, SIGINT), 130);
    server.resetBytesSent();
    run = runCli("get " + server.url("/clip.mp4") + " -o " + path + " --no-continue");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.find("continuing"), std::string::npos) << run.output;
    EXPECT_TRUE(readFile(path) == content);
    EXPECT_GE(server.bytesSent(), size);
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{"clip.mp4"});
}

}  // namespace
}  // namespace zorvan
