#pragma once

#include <httplib.h>

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace zorvan::test {

// zorvan-server as a child on a free loopback port, with a data folder of
// the test's own whose settings point downloads at `downloadFolder`.
class ServerProcess {
public:
    ServerProcess(const std::string& dataFolder, const std::string& downloadFolder, const std::string& service,
                  const std::vector<std::string>& extraArguments = {});
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    bool running() const { return port_ > 0; }
    int port() const { return port_; }
    // The loopback token the server made.
    std::string token() const;
    // A client of it that shows the token.
    std::unique_ptr<httplib::Client> client() const;
    // A client without the token.
    std::unique_ptr<httplib::Client> stranger() const;
    // SIGTERM, then waits (at most 30 s); the exit status, -1 when it did not end.
    int stop();
    // What it logged.
    std::string log() const;

private:
    std::string dataFolder_;
    std::string logPath_;
    pid_t pid_ = -1;
    int port_ = 0;
};

// Runs zorvan-server with these arguments and `input` on its standard input;
// its exit status (-1 when it did not end within 30 s).
int runServerCommand(const std::vector<std::string>& arguments, const std::string& input, std::string* log = nullptr);

}  // namespace zorvan::test
