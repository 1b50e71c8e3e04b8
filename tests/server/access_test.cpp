// The server's door: password hashes, secret files, the login throttle,
// sessions and their cookie, and the Host check against DNS rebinding.
#include "server/access/cookie_text.h"
#include "server/access/host_check.h"
#include "server/access/login_throttle.h"
#include "server/access/password_hash.h"
#include "server/access/secret_file.h"
#include "server/access/sessions.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include <sys/stat.h>

namespace zorvan {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string freshFolder() {
    std::string pattern = ::testing::TempDir() + "access-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    return pattern;
}

unsigned modeOf(const std::string& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mode & 07777;
}

// Puts the umask back however the test ends.
struct UmaskFor {
    explicit UmaskFor(mode_t mask) : previous(::umask(mask)) {}
    ~UmaskFor() { ::umask(previous); }
    mode_t previous;
};

TEST(AccessPasswordTest, VerifiesOnlyTheRightPasswordAndSaltsEachHash) {
    const std::string hash = hashPassword("correct horse 电池");
    ASSERT_FALSE(hash.empty());
    EXPECT_TRUE(passwordMatches(hash, "correct horse 电池"));
    EXPECT_FALSE(passwordMatches(hash, "correct horse"));
    EXPECT_FALSE(passwordMatches(hash, ""));

    const std::string again = hashPassword("correct horse 电池");
    EXPECT_NE(again, hash) << "each hash has its own salt";
    EXPECT_TRUE(passwordMatches(again, "correct horse 电池"));

    EXPECT_FALSE(passwordMatches("", ""));
    EXPECT_FALSE(passwordMatches("correct horse 电池", "correct horse 电池")) << "a plain password is no hash";
    EXPECT_FALSE(passwordMatches(hash.substr(0, hash.size() - 4), "correct horse 电池"));
    EXPECT_FALSE(passwordMatches(hash + std::string(200, 'a'), "correct horse 电池"));
}

TEST(AccessSecretFileTest, WritesPrivatelyAndRefusesFilesOthersCanRead) {
    const std::string folder = freshFolder() + "/made/zorvan";
    const std::string path = folder + "/password";
    std::string error = "stale";
    EXPECT_FALSE(readSecretFile(path, error));
    EXPECT_EQ(error, "") << "no file is no error";
    {
        const UmaskFor open(0);
        ASSERT_TRUE(writeSecretFile(path, "first\n", error)) << error;
        ASSERT_TRUE(writeSecretFile(path, "second\n", error)) << error;
    }
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(modeOf(folder), 0700u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1) << "no temporary left behind";
    EXPECT_EQ(readSecretFile(path, error).value_or("(none)"), "second") << error;

    ::chmod(path.c_str(), 0644);
    EXPECT_FALSE(readSecretFile(path, error));
    EXPECT_NE(error.find("too open"), std::string::npos) << error;
    EXPECT_NE(error.find(path), std::string::npos) << error;
    bool made = true;
    EXPECT_EQ(loopbackToken(path, made, error), "") << "a file others can read is not replaced behind the user's back";
    EXPECT_FALSE(made);
}

TEST(AccessSecretFileTest, LoopbackTokenIsMadeOnceThenReadBack) {
    const std::string path = freshFolder() + "/token";
    bool made = false;
    std::string error;
    const std::string token = loopbackToken(path, made, error);
    ASSERT_EQ(token.size(), 43u) << error;
    EXPECT_TRUE(made);
    EXPECT_EQ(token.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
              std::string::npos)
        << "URL-safe, no padding: " << token;
    EXPECT_EQ(modeOf(path), 0600u);

    EXPECT_EQ(loopbackToken(path, made, error), token) << error;
    EXPECT_FALSE(made);
    EXPECT_NE(randomToken(), randomToken());
    EXPECT_TRUE(sameSecret(token, std::string(token)));
    EXPECT_FALSE(sameSecret(token, token.substr(0, 42) + (token.back() == 'A' ? "B" : "A")));
    EXPECT_FALSE(sameSecret(token, token.substr(0, 42)));
}

TEST(AccessLoginThrottleTest, PausesGrowAfterFreeFailuresCapAndClear) {
    LoginThrottle throttle(30s);
    const std::string guesser = "192.0.2.7";
    auto now = Clock::now();
    for (int failure = 1; failure < LoginThrottle::freeFailures; ++failure) {
        throttle.noteFailure(guesser, now);
        EXPECT_EQ(throttle.waitBefore(guesser, now), 0ms) << "after failure " << failure;
    }
    std::vector<std::chrono::milliseconds> pauses;
    for (int failure = 0; failure < 8; ++failure) {
        throttle.noteFailure(guesser, now);
        pauses.push_back(throttle.waitBefore(guesser, now));
        now += pauses.back();
    }
    const std::vector<std::chrono::milliseconds> expected = {1s, 2s, 4s, 8s, 16s, 30s, 30s, 30s};
    EXPECT_EQ(pauses, expected);

    throttle.noteFailure(guesser, now);
    EXPECT_EQ(throttle.waitBefore(guesser, now + 29'600ms), 400ms) << "the wait left, rounded up";
    EXPECT_EQ(throttle.waitBefore(guesser, now + 30s), 0ms) << "never a lock-out";
    EXPECT_EQ(throttle.waitBefore("192.0.2.8", now), 0ms) << "another address is not slowed";

    throttle.noteSuccess(guesser);
    EXPECT_EQ(throttle.waitBefore(guesser, now), 0ms);
    throttle.noteFailure(guesser, now);
    EXPECT_EQ(throttle.waitBefore(guesser, now), 0ms) << "a success starts the count again";

    // Typos long ago do not count against the owner today.
    LoginThrottle quiet;
    for (int failure = 1; failure < LoginThrottle::freeFailures; ++failure) quiet.noteFailure(guesser, now);
    quiet.noteFailure(guesser, now + 24h);
    EXPECT_EQ(quiet.waitBefore(guesser, now + 24h), 0ms);
}

TEST(AccessLoginThrottleTest, AFloodOfAddressesStaysWithinItsBound) {
    LoginThrottle throttle;
    const auto now = Clock::now();
    for (int i = 0; i < 100000; ++i) {
        throttle.noteFailure("10." + std::to_string(i), now + std::chrono::milliseconds(i));
    }
    EXPECT_LE(throttle.tracked(), LoginThrottle::defaultCapacity);
    EXPECT_GT(throttle.tracked(), 0u);

    // The newest addresses are the ones kept: one still being slowed stays slowed.
    const std::string last = "10.99999";
    for (int failure = 0; failure < LoginThrottle::freeFailures; ++failure) throttle.noteFailure(last, now + 100s);
    EXPECT_GT(throttle.waitBefore(last, now + 100s), 0ms);
}

TEST(AccessSessionStoreTest, FindsRefreshesExpiresAndEnds) {
    SessionStore sessions(30 * 24h);
    auto now = Clock::now();
    const Session made = sessions.create(now);
    ASSERT_FALSE(made.id.empty());
    EXPECT_NE(made.id, made.csrf);
    EXPECT_NE(sessions.create(now).id, made.id);

    auto found = sessions.find(made.id, now + 29 * 24h);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->csrf, made.csrf);
    EXPECT_TRUE(sessions.find(made.id, now + 58 * 24h)) << "each use starts the idle time again";
    EXPECT_FALSE(sessions.find(made.id, now + 89 * 24h)) << "idle past the limit";
    EXPECT_FALSE(sessions.find(made.id, now + 58 * 24h)) << "an expired session does not come back";

    EXPECT_FALSE(sessions.find("", now));
    EXPECT_FALSE(sessions.find(randomToken(), now));
    const Session other = sessions.create(now);
    EXPECT_FALSE(sessions.find(other.csrf, now)) << "the CSRF token is no session id";
    sessions.end(other.id);
    EXPECT_FALSE(sessions.find(other.id, now));

    // Past the bound the session used least recently goes.
    SessionStore small(24h, 2);
    const Session first = small.create(now);
    const Session second = small.create(now + 1s);
    EXPECT_TRUE(small.find(first.id, now + 2s));
    const Session third = small.create(now + 3s);
    EXPECT_TRUE(small.find(first.id, now + 4s));
    EXPECT_FALSE(small.find(second.id, now + 4s));
    EXPECT_TRUE(small.find(third.id, now + 4s));
}

TEST(AccessSharedStateTest, ThrottleAndSessionsTakeManyThreadsAtOnce) {
    LoginThrottle throttle(30s, 64);
    SessionStore sessions(24h, 64);
    std::atomic<int> lost{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            const auto now = Clock::now();
            for (int i = 0; i < 500; ++i) {
                const std::string address = std::to_string(t) + "." + std::to_string(i % 100);
                throttle.noteFailure(address, now);
                throttle.waitBefore(address, now);
                if (i % 7 == 0) throttle.noteSuccess(address);
                const Session session = sessions.create(now);
                if (!sessions.find(session.id, now)) ++lost;  // at most 63 others can come between
                sessions.end(session.id);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(lost, 0);
    EXPECT_LE(throttle.tracked(), 64u);
}

TEST(AccessCookieTest, MatchesExactNamesAndWritesStrictCookies) {
    EXPECT_EQ(cookieValue("xsession=1; session=2", "session"), "2");
    EXPECT_EQ(cookieValue("session=2;xsession=1", "xsession"), "1");
    EXPECT_EQ(cookieValue("sessionx=1; a=b", "session"), "");
    EXPECT_EQ(cookieValue(" session = abc-_ ;other", "session"), "abc-_");
    EXPECT_EQ(cookieValue("session; other=1", "session"), "");
    EXPECT_EQ(cookieValue("", "session"), "");
    EXPECT_EQ(cookieValue("a=x=y", "a"), "x=y");

    EXPECT_EQ(sessionCookie("zs", "v", false), "zs=v; Path=/; HttpOnly; SameSite=Strict");
    EXPECT_EQ(sessionCookie("zs", "v", true, 3600s), "zs=v; Path=/; HttpOnly; SameSite=Strict; Max-Age=3600; Secure");
    EXPECT_EQ(sessionCookie("zs", "", false, 0s), "zs=; Path=/; HttpOnly; SameSite=Strict; Max-Age=0");
}

TEST(AccessHostCheckTest, ServesOnlyItsOwnNames) {
    const std::vector<std::string> names = allowedHostNames("127.0.0.1", {});
    for (const char* host : {"localhost", "LocalHost:8765", "127.0.0.1:8765", "127.0.0.1", "[::1]:8765", "[::1]"}) {
        EXPECT_TRUE(hostAllowed(host, names)) << host;
    }
    for (const char* host : {"", "attacker.example", "localhost.attacker.example", "127.0.0.1.nip.io",
                             "attacker.example:8765", "localhost :8765", " localhost", "local host", "::1",
                             "[::1", "[::1]8765", "[::1]:", "[::1]:x", "[]:8765", "[localhost]", "localhost:",
                             ":8765", "localhost:8765:1", "localhost:123456", "localhost\t", "localhost."}) {
        EXPECT_FALSE(hostAllowed(host, names)) << "'" << host << "'";
    }

    auto sorted = [](std::vector<std::string> list) {
        std::sort(list.begin(), list.end());
        return list;
    };
    using Names = std::vector<std::string>;
    EXPECT_EQ(sorted(allowedHostNames("127.0.0.2", {})), sorted({"127.0.0.2", "localhost", "127.0.0.1", "::1"}));
    EXPECT_EQ(sorted(allowedHostNames("[::1]", {})), sorted({"localhost", "127.0.0.1", "::1"}));
    EXPECT_EQ(sorted(allowedHostNames("0.0.0.0", {"NAS.lan", "[fd00::5]"})),
              sorted({"localhost", "127.0.0.1", "::1", "nas.lan", "fd00::5"}));
    EXPECT_EQ(sorted(allowedHostNames("::", {})), sorted({"localhost", "127.0.0.1", "::1"}));
    EXPECT_EQ(allowedHostNames("192.168.1.5", {}), Names{"192.168.1.5"}) << "not reachable by loopback";

    const Names lan = allowedHostNames("0.0.0.0", {"nas.lan", "fd00::5"});
    EXPECT_TRUE(hostAllowed("NAS.LAN:8765", lan));
    EXPECT_TRUE(hostAllowed("[FD00::5]:8765", lan));
    EXPECT_FALSE(hostAllowed("192.168.1.5:8765", lan)) << "an address not passed with --allow-host";
    EXPECT_FALSE(hostAllowed("nas.lan.attacker.example", lan));
}

}  // namespace
}  // namespace zorvan
