// The server's door: strangers, other sites and other host names are
// refused, guessing passwords is slowed without locking the owner out, and
// no path a client sends leads to a byte outside the library folder.
#include "server/server_process.h"
#include "store/library_db.h"
#include "support/demo_service.h"
#include "support/test_certificates.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace zorvan::test {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

class ServerDoorTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::path(::testing::TempDir()) / ("door-" + std::to_string(::getpid()) + "-" +
                                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "videos");
    }
    void TearDown() override { fs::remove_all(root_); }
    std::string data() const { return (root_ / "data").string(); }
    std::string videos() const { return (root_ / "videos").string(); }

    fs::path root_;
    // No work is fetched here: the service need not answer.
    const std::string service_ = "http://127.0.0.1:9";
};

// What a raw request brings back: the status line's number and the rest.
std::pair<int, std::string> rawRequest(int port, const std::string& target, const std::string& headers) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval wait{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return {0, {}};
    }
    const std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers + "Connection: close\r\n\r\n";
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) < 0) {}
    std::string answer;
    char buffer[65536];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    const int status = answer.size() > 12 ? std::atoi(answer.c_str() + 9) : 0;
    return {status, answer};
}

TEST_F(ServerDoorTest, RefusesStrangersOtherSitesAndOtherHostsAndSlowsGuessing) {
    // Beyond loopback, no start without a password.
    std::string said;
    EXPECT_EQ(runServerCommand({"--listen", "0.0.0.0:0", "--data", data(), "--service", service_}, "", &said), 2);
    EXPECT_NE(said.find("needs a password"), std::string::npos) << said;

    ASSERT_EQ(runServerCommand({"--set-password", "--data", data()}, "correct horse battery\n", &said), 0) << said;
    struct stat about {};
    ASSERT_EQ(::stat((data() + "/server-password").c_str(), &about), 0);
    EXPECT_EQ(about.st_mode & 0777, 0600u);
    EXPECT_EQ(said.find("correct horse"), std::string::npos);

    ServerProcess server(data(), videos(), service_, {"--login-pause-limit", "2"});
    ASSERT_TRUE(server.running()) << server.log();
    auto stranger = server.stranger();
    EXPECT_EQ(stranger->Get("/api/queue")->status, 401);
    EXPECT_EQ(server.client()->Get("/api/queue")->status, 200);
    EXPECT_EQ(server.client()->Get("/api/queue", {{"Host", "attacker.example"}})->status, 403);
    EXPECT_EQ(server.client()->Get("/api/queue", {{"Host", "127.0.0.1.attacker.example:80"}})->status, 403);

    // A login: the cookie is out of scripts' and other sites' reach.
    EXPECT_EQ(stranger->Post("/api/login", R"({"password": "wrong one"})", "application/json")->status, 401);
    const auto login = stranger->Post("/api/login", R"({"password": "correct horse battery"})", "application/json");
    ASSERT_EQ(login->status, 200) << login->body;
    const std::string cookie = login->get_header_value("Set-Cookie");
    EXPECT_NE(cookie.find("HttpOnly"), std::string::npos) << cookie;
    EXPECT_NE(cookie.find("SameSite=Strict"), std::string::npos) << cookie;
    const std::string session = cookie.substr(0, cookie.find(';'));
    const std::string csrf = json::parse(login->body)["csrf"];
    EXPECT_EQ(stranger->Get("/api/queue", {{"Cookie", session}})->status, 200);
    EXPECT_EQ(stranger->Get("/api/session", {{"Cookie", session}})->body, json({{"csrf", csrf}}).dump());
    // A cross-site POST carries the cookie but cannot know the token.
    EXPECT_EQ(stranger->Post("/api/queue/pause-all", {{"Cookie", session}, {"Origin", "http://attacker.example"}}, "{}",
                             "application/json")->status,
              403);
    EXPECT_EQ(stranger->Post("/api/queue/pause-all", {{"Cookie", session}, {"X-CSRF-Token", "guess"}}, "{}",
                             "application/json")->status,
              403);
    EXPECT_EQ(stranger->Post("/api/queue/pause-all", {{"Cookie", session}, {"X-CSRF-Token", csrf}}, "{}",
                             "application/json")->status,
              200);

    // 1,000 wrong passwords in a row: most are turned away unchecked.
    int refused = 0, checked = 0;
    std::string retryAfter;
    for (int n = 0; n < 1000; ++n) {
        const auto guess = stranger->Post("/api/login", R"({"password": "guess )" + std::to_string(n) + "\"}",
                                          "application/json");
        ASSERT_TRUE(guess);
        if (guess->status == 429) {
            ++refused;
            retryAfter = guess->get_header_value("Retry-After");
        } else {
            EXPECT_EQ(guess->status, 401);
            ++checked;
        }
    }
    EXPECT_GT(refused, 900);
    EXPECT_LT(checked, 100);
    ASSERT_FALSE(retryAfter.empty());
    EXPECT_LE(std::stoi(retryAfter), 2);
    // The owner still gets in once the pause is over.
    std::this_thread::sleep_for(std::chrono::seconds(std::stoi(retryAfter)) + std::chrono::milliseconds(200));
    EXPECT_EQ(stranger->Post("/api/login", R"({"password": "correct horse battery"})", "application/json")->status, 200);
    EXPECT_EQ(server.log().find("correct horse"), std::string::npos);
    EXPECT_EQ(server.log().find(server.token()), std::string::npos);
}

TEST_F(ServerDoorTest, OverTlsTheSessionCookieIsSecure) {
    TestCertificates certificates;
    ASSERT_TRUE(certificates.made()) << certificates.error();
    ServerProcess server(data(), videos(), service_, {"--cert", certificates.valid(), "--key", certificates.key()});
    ASSERT_TRUE(server.running()) << server.log();
    EXPECT_NE(server.log().find("listening on https://127.0.0.1:"), std::string::npos) << server.log();
    httplib::SSLClient client("127.0.0.1", server.port());
    client.set_ca_cert_path(certificates.caFile().c_str());
    client.enable_server_certificate_verification(true);
    const auto login = client.Post("/api/login", json{{"token", server.token()}}.dump(), "application/json");
    ASSERT_TRUE(login) << httplib::to_string(login.error());
    EXPECT_EQ(login->status, 200);
    EXPECT_NE(login->get_header_value("Set-Cookie").find("; Secure"), std::string::npos);
    const std::string session = login->get_header_value("Set-Cookie").substr(0, login->get_header_value("Set-Cookie").find(';'));
    EXPECT_EQ(client.Get("/api/queue", {{"Cookie", session}})->status, 200);
    // Plain HTTP gets no answer from it.
    const auto plain = server.stranger()->Get("/api/queue");
    EXPECT_TRUE(!plain || plain->status != 200);
}

TEST_F(ServerDoorTest, NoPathFormLeadsToAByteOutsideTheLibrary) {
    const std::string secret = "SECRET-MARKER-OUTSIDE";
    fs::create_directories(root_ / "outside");
    std::ofstream(root_ / "outside" / "secret.mp4") << secret;
    std::ofstream(root_ / "videos" / "inside.mp4") << "INSIDE";
    fs::create_symlink(root_ / "outside" / "secret.mp4", root_ / "videos" / "link.mp4");
    fs::create_symlink(root_ / "outside", root_ / "videos" / "sub");
    // The library records the file inside, the symlinks, and a file outside.
    {
        fs::create_directories(data());
        std::string error;
        std::unique_ptr<LibraryDb> db = LibraryDb::open(data() + "/library.db", error);
        ASSERT_TRUE(db) << error;
        const std::vector<WorkFile> files{{"k/1", videos() + "/inside.mp4", 6, true, "1", 1, "inside"},
                                          {"k/2", videos() + "/link.mp4", 6, true, "1", 2, "link"},
                                          {"k/3", videos() + "/sub/secret.mp4", 6, true, "1", 3, "sub"},
                                          {"k/4", (root_ / "outside" / "secret.mp4").string(), 6, true, "1", 4, "out"},
                                          {"k/5", videos() + "/../outside/secret.mp4", 6, true, "1", 5, "dots"}};
        ASSERT_TRUE(db->files().record(files, 1, error)) << error;
    }
    ServerProcess server(data(), videos(), service_);
    ASSERT_TRUE(server.running()) << server.log();
    const std::string bearer = "Authorization: Bearer " + server.token() + "\r\n";
    const auto [status, inside] = rawRequest(server.port(), "/api/library/1/video", bearer);
    EXPECT_EQ(status, 200);
    EXPECT_NE(inside.find("INSIDE"), std::string::npos);
    for (int id = 2; id <= 5; ++id) {
        const auto [refused, answer] = rawRequest(server.port(), "/api/library/" + std::to_string(id) + "/video", bearer);
        EXPECT_EQ(refused, 404) << id;
        EXPECT_EQ(answer.find(secret), std::string::npos) << id;
    }

    const std::vector<std::string> steps = {"..", "%2e%2e", "%2E%2E", "%252e%252e", ".%2e", "%2e.", "%c0%ae%c0%ae",
                                            "%e0%80%ae%e0%80%ae", "..%00", "%00", "..\\", "%5c..", "...", "....//"};
    const std::vector<std::string> joins = {"/", "%2f", "%2F", "\\", "%5c", "%252f", "%c0%af"};
    const std::vector<std::string> prefixes = {"/api/library/", "/api/library/1/", "/", "/api/"};
    std::vector<std::string> targets;
    for (const std::string& prefix : prefixes)
        for (const std::string& step : steps)
            for (const std::string& join : joins)
                targets.push_back(prefix + step + join + step + join + "outside" + join + "secret.mp4");
    for (const std::string& absolute : std::vector<std::string>{root_.string() + "/outside/secret.mp4", "//" + root_.string() + "/outside/secret.mp4",
                                        "/api/library/" + root_.string() + "/outside/secret.mp4",
                                        "/api/library/1/video?path=../outside/secret.mp4",
                                        "/api/library/1%2f..%2f..%2foutside%2fsecret.mp4/video",
                                        "/api/library/2/video/../../1/video", "/api/library/%32/video"})
        targets.push_back(absolute);
    ASSERT_GE(targets.size(), 200u);
    int served = 0;
    for (const std::string& target : targets) {
        const auto [code, answer] = rawRequest(server.port(), target, bearer);
        EXPECT_EQ(answer.find(secret), std::string::npos) << target;
        served += code == 200 || code == 206;
    }
    // Only the one well-formed address of the file inside is taken.
    EXPECT_LE(served, 1);

    // A poster beside a file is served; one that leads outside never is.
    std::ofstream(root_ / "videos" / "inside-poster.jpg") << "POSTER";
    fs::create_symlink(root_ / "outside" / "secret.mp4", root_ / "videos" / "link-poster.jpg");
    fs::create_symlink(root_ / "outside" / "secret.mp4", root_ / "outside" / "secret-poster.jpg");
    const auto [posterStatus, posterAnswer] = rawRequest(server.port(), "/api/library/1/poster", bearer);
    EXPECT_EQ(posterStatus, 200);
    EXPECT_NE(posterAnswer.find("POSTER"), std::string::npos);
    for (int id = 2; id <= 5; ++id) {
        const auto [refused, answer] =
            rawRequest(server.port(), "/api/library/" + std::to_string(id) + "/poster", bearer);
        EXPECT_EQ(refused, 404) << id;
        EXPECT_EQ(answer.find(secret), std::string::npos) << id;
    }
}

}  // namespace
}  // namespace zorvan::test
