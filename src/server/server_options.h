#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zorvan {

// What zorvan-server was asked to do.
struct ServerOptions {
    enum class Task { Serve, SetPassword, PrintLink, Help, Version } task = Task::Serve;
    std::string listenHost = "127.0.0.1";
    int listenPort = 8765;              // 0: any free port (said on standard error)
    std::string dataFolder;             // empty: the user's data home
    std::string serviceAddress;
    std::vector<std::string> allowHosts;
    std::string certFile, keyFile;
    int loginPauseLimitSeconds = 30;

    // Where the listen address is reached by a browser ("127.0.0.1:8765", "[::1]:8765").
    std::string hostAndPort(int port) const;
    bool loopback() const;
};

// The options of the command line (without the program's name); nothing,
// with `error`, when they cannot be used.
std::optional<ServerOptions> parseServerOptions(const std::vector<std::string>& args, std::string& error);

// The help text.
const char* serverUsage();

// The data home: $XDG_DATA_HOME/zorvan, else ~/.local/share/zorvan.
std::string defaultDataFolder();

}  // namespace zorvan
