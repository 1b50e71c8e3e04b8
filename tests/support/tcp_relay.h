#pragma once

#include "support/loopback_server.h"

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace zorvan::test {

// Passes bytes between its clients and a server on 127.0.0.1, unchanged:
// as an HTTP proxy that only opens CONNECT tunnels (to the port each one
// names), or as a plain relay to one port that may cut every connection
// after a number of the server's bytes.
class TcpRelay {
public:
    enum class Mode { ConnectProxy, Relay };
    // `cutAfter` 0: never cut.
    TcpRelay(Mode mode, int targetPort = 0, std::size_t cutAfter = 0);

    int port() const { return server_.port(); }
    // Every CONNECT request line the proxy received.
    std::vector<std::string> connectLines() const;

private:
    void serve(int client, const std::atomic<bool>& stopping);
    int openTunnel(int client, const std::atomic<bool>& stopping);
    void pass(int client, int upstream, const std::atomic<bool>& stopping);

    const Mode mode_;
    const int targetPort_;
    const std::size_t cutAfter_;
    mutable std::mutex lock_;
    std::vector<std::string> connectLines_;
    LoopbackServer server_;  // last: its threads use the members above
};

}  // namespace zorvan::test
