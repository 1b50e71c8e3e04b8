#include "server/server_program.h"

#include "server/access/host_check.h"
#include "server/access/password_hash.h"
#include "server/access/secret_file.h"
#include "server/api/door.h"
#include "server/api/http_front.h"
#include "server/service/server_downloads.h"
#include "server/service/follow_service.h"
#include "server/service/library_verifier.h"
#include "web/http_client_init.h"

#include <csignal>
#include <malloc.h>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <pthread.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace zorvan {

namespace {

std::string tokenPath(const ServerOptions& o) { return o.dataFolder + "/server-token"; }
std::string passwordPath(const ServerOptions& o) { return o.dataFolder + "/server-password"; }

// One line on standard error per event, as journald takes them.
void logLine(const std::string& line) {
    static std::mutex lock;
    std::lock_guard hold(lock);
    std::fprintf(stderr, "zorvan-server: %s\n", line.c_str());
    std::fflush(stderr);
}

int fail(int code, const std::string& why) {
    logLine(why);
    return code;
}

// A data folder made here is the user's alone: it holds the library and the keys.
bool makeDataFolder(const std::string& folder, std::string& error) {
    std::error_code failed;
    if (std::filesystem::create_directories(folder, failed))
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all, failed);
    if (failed) error = "cannot make the data folder " + folder + ": " + failed.message();
    return !failed;
}

std::string linkFor(const ServerOptions& o, int port, const std::string& token) {
    return std::string(o.certFile.empty() ? "http://" : "https://") + o.hostAndPort(port) + "/?token=" + token;
}

// The door's keys: the loopback token (made at the first start and shown
// once) and the password's hash. Listening beyond loopback without a
// password is refused: anyone on the network could steer the downloads.
std::optional<DoorSettings> doorFor(const ServerOptions& o, bool& tokenMade, std::string& error) {
    DoorSettings door;
    door.secure = !o.certFile.empty();
    door.longestLoginPause = std::chrono::seconds(o.loginPauseLimitSeconds);
    door.allowedHosts = allowedHostNames(o.listenHost, o.allowHosts);
    const std::optional<std::string> hash = readSecretFile(passwordPath(o), error);
    if (!error.empty()) return std::nullopt;
    if (hash) door.passwordHash = *hash;
    if (o.loopback()) {
        door.token = loopbackToken(tokenPath(o), tokenMade, error);
        if (door.token.empty()) return std::nullopt;
    } else if (door.passwordHash.empty()) {
        error = "listening on " + o.listenHost + " needs a password: set one with zorvan-server --set-password";
        return std::nullopt;
    }
    return door;
}

sigset_t stopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    return signals;
}

}  // namespace

int runServer(const ServerOptions& o) {
    // Every thread made from here on leaves the stop signals to sigwait.
    const sigset_t signals = stopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    // Each of the server's threads would keep an arena of its own, holding
    // on to what one large answer took; a few shared ones are enough here.
    mallopt(M_ARENA_MAX, 2);
    std::string error;
    if (!makeDataFolder(o.dataFolder, error)) return fail(2, error);
    bool tokenMade = false;
    const std::optional<DoorSettings> doorSettings = doorFor(o, tokenMade, error);
    if (!doorSettings) return fail(2, error);
    const ServicePlace place{o.dataFolder, o.serviceAddress, logLine};
    const std::optional<ServerSettings> settings = loadServerSettings(place.settingsPath(), error);
    if (!settings) return fail(2, error);
    if (!initHttpClient()) return fail(2, "the HTTP client cannot be started");

    ServerDownloads downloads(place, *settings);
    FollowService following(downloads);
    LibraryVerifier verifier(downloads);
    Door door(*doorSettings);
    ServerParts parts{downloads, following, verifier, door};
    HttpFront front(parts, o.certFile, o.keyFile);
    if (!front.ready(error)) return fail(2, error);
    const int port = front.bind(o.listenHost, o.listenPort);
    if (port < 0)
        return fail(3, "cannot listen on " + o.hostAndPort(o.listenPort) +
                           ": the address is in use or not this machine's");
    if (const std::string problem = downloads.start(); !problem.empty())
        logLine("the saved queue cannot be read: " + problem);
    following.start();
    std::thread serving([&] { front.run(); });
    logLine(std::string("listening on ") + (o.certFile.empty() ? "http://" : "https://") + o.hostAndPort(port) +
            " for the service " + o.serviceAddress + ", data in " + o.dataFolder);
    // The ready link is shown once, where the person who started the
    // server sees it; a log keeps no secret.
    if (tokenMade && ::isatty(STDOUT_FILENO)) std::printf("Open %s\n", linkFor(o, port, doorSettings->token).c_str());
    else if (tokenMade) logLine("an access token was made; `zorvan-server --link` prints the link that logs in");
    std::fflush(stdout);

    int signal = 0;
    sigwait(&signals, &signal);
    logLine(std::string("stopping on ") + (signal == SIGTERM ? "SIGTERM" : "SIGINT") + ": the queue is saved");
    parts.stopping = true;
    downloads.events().close();
    front.stop();
    serving.join();
    // A read-through queues its repairs in the downloads: it ends first.
    verifier.stop();
    following.stop();
    downloads.stop();
    logLine("stopped");
    return 0;
}

namespace {

std::string readSecretLine(const char* prompt) {
    const bool terminal = ::isatty(STDIN_FILENO);
    termios saved{};
    if (terminal) {
        std::fprintf(stderr, "%s", prompt);
        tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::string line;
    std::getline(std::cin, line);
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        std::fprintf(stderr, "\n");
    }
    return line;
}

}  // namespace

int setServerPassword(const ServerOptions& o) {
    std::string error;
    if (!makeDataFolder(o.dataFolder, error)) return fail(2, error);
    const std::string password = readSecretLine("New password: ");
    if (password.size() < 8) return fail(2, "the password must have at least 8 characters");
    if (::isatty(STDIN_FILENO) && readSecretLine("Again: ") != password) return fail(2, "the passwords differ");
    const std::string hash = hashPassword(password);
    if (hash.empty() || !writeSecretFile(passwordPath(o), hash, error))
        return fail(2, "the password cannot be kept: " + (error.empty() ? std::string("hashing failed") : error));
    logLine("password set; a running server takes it at its next start");
    return 0;
}

int printServerLink(const ServerOptions& o) {
    // Beyond loopback the token lets no one in: there the password does.
    if (!o.loopback())
        return fail(2, "the link logs in on a loopback address only; on " + o.listenHost + " log in with the password");
    std::string error;
    bool made = false;
    const std::string token = loopbackToken(tokenPath(o), made, error);
    if (token.empty()) return fail(2, error);
    std::printf("%s\n", linkFor(o, o.listenPort, token).c_str());
    return 0;
}

}  // namespace zorvan
