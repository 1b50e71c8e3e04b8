#pragma once

#include "download/socket_io.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

namespace zorvan {

// Connections kept open between the works of a batch: one whose answer was
// read to its last byte comes back here, and the next request to the same
// server (through the same proxy) goes out on it instead of paying a new
// TCP, and TLS, handshake. A few per server; one idle longer than a server
// usually keeps it is closed rather than tried.
class ConnectionPool {
public:
    struct Kept {
        Socket socket;
        std::string serverIp;  // the address it is connected to (the proxy's, through one)
        int serverPort = 0;
    };

    static constexpr std::size_t perServer = 8;
    static constexpr auto idleLimit = std::chrono::seconds(4);

    // `server` names the scheme, host, port and proxy a request goes to.
    void put(const std::string& server, Kept kept);
    // The most recently kept connection to `server`, or nothing.
    std::optional<Kept> take(const std::string& server);
    std::size_t size() const;

private:
    struct Entry {
        std::string server;
        Kept kept;
        std::chrono::steady_clock::time_point since;
    };
    void dropStale(std::chrono::steady_clock::time_point now);

    mutable std::mutex lock_;
    std::deque<Entry> entries_;  // oldest first
};

}  // namespace zorvan
