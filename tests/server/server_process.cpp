#include "server/server_process.h"

#include "support/child_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zorvan::test {

namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int waitForExit(pid_t pid) {
    for (int waited = 0; waited < 3000; ++waited) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

}  // namespace

ServerProcess::ServerProcess(const std::string& dataFolder, const std::string& downloadFolder,
                             const std::string& service, const std::vector<std::string>& extraArguments)
    : dataFolder_(dataFolder), logPath_(dataFolder + "/server.log") {
    std::filesystem::create_directories(dataFolder);
    if (!std::filesystem::exists(dataFolder + "/server-settings.json"))
        std::ofstream(dataFolder + "/server-settings.json") << "{\"folder\": \"" << downloadFolder << "\"}\n";
    std::vector<std::string> argv{ZORVAN_SERVER_PATH, "--listen", "127.0.0.1:0", "--data", dataFolder,
                                  "--service", service};
    argv.insert(argv.end(), extraArguments.begin(), extraArguments.end());
    const std::size_t before = log().size();  // an earlier run's lines stay in the log
    const int logFd = ::open(logPath_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    pid_ = spawnChild(argv, -1, logFd);
    ::close(logFd);
    // It says where it listens once it does.
    const std::string mark = "://127.0.0.1:";  // http or https
    for (int waited = 0; waited < 1000 && pid_ > 0; ++waited) {
        const std::string said = log();
        const std::size_t at = said.find(mark, before);
        if (at != std::string::npos) {
            port_ = std::atoi(said.c_str() + at + mark.size());
            return;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

ServerProcess::~ServerProcess() { stop(); }

std::string ServerProcess::log() const { return readAll(logPath_); }

std::string ServerProcess::token() const {
    std::string token = readAll(dataFolder_ + "/server-token");
    while (!token.empty() && (token.back() == '\n' || token.back() == '\r')) token.pop_back();
    return token;
}

std::unique_ptr<httplib::Client> ServerProcess::stranger() const {
    auto client = std::make_unique<httplib::Client>("127.0.0.1", port_);
    client->set_read_timeout(30, 0);
    client->set_connection_timeout(5, 0);
    return client;
}

std::unique_ptr<httplib::Client> ServerProcess::client() const {
    auto client = stranger();
    client->set_bearer_token_auth(token().c_str());
    return client;
}

int ServerProcess::stop() {
    if (pid_ <= 0) return -1;
    ::kill(pid_, SIGTERM);
    const int status = waitForExit(pid_);
    pid_ = -1;
    port_ = 0;
    return status;
}

int runServerCommand(const std::vector<std::string>& arguments, const std::string& input, std::string* log) {
    int in[2];
    if (::pipe2(in, O_CLOEXEC) != 0) return -1;
    const std::string logPath = ::testing::TempDir() + "/server-command.log";
    const int err = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    std::vector<std::string> argv{ZORVAN_SERVER_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const pid_t pid = spawnChild(argv, -1, err, in[0]);
    ::close(err);
    ::close(in[0]);
    if (::write(in[1], input.data(), input.size()) < 0) {}
    ::close(in[1]);
    const int status = pid > 0 ? waitForExit(pid) : -1;
    if (log) *log = readAll(logPath);
    return status;
}

}  // namespace zorvan::test
