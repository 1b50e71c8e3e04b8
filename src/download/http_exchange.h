#pragma once

#include "download/response_header.h"
#include "download/socket_io.h"

#include <cstdint>
#include <string>

namespace zorvan {

struct Task;

// How an attempt to open a transfer ended.
enum class OpenResult {
    Accepted,  // the body follows
    Refused,   // the server's answer was understood and refuses: no retry
    Retry,     // resolving, connecting, sending or receiving failed: may retry
};

// What one connection of a task does on the wire: resolve and connect with
// its limits, send the GET (plain or ranged), read and check the answer,
// follow redirections. Every step is logged through the task.
class HttpExchange {
public:
    HttpExchange(Task& task, int connection, StopCheck stop);

    // The first request: a plain GET, following redirections. On success
    // the task knows its total size (or that the server named none) and
    // `body` holds the body bytes that came with the header.
    OpenResult openFirst(std::string& body);

    // A ranged GET from `position` to the end, to the server the first
    // request reached. Accepted only when the answer starts at `position`.
    OpenResult openRange(std::int64_t position, std::string& body);

    Socket& socket() { return socket_; }
    void close() { socket_.close(); }

private:
    OpenResult connectTo(const std::string& host, int port, bool viaProxy, bool resolve);
    OpenResult sendAndReadHeader(const std::string& request, ResponseHeader& header, std::string& body);
    OpenResult requestFirst(ResponseHeader& header, std::string& body);
    OpenResult acceptFirstAnswer(const ResponseHeader& header);
    OpenResult followRedirection(const ResponseHeader& header, int redirectsSoFar);
    OpenResult refuse(int status);
    void log(int level, const std::string& message);

    Task& task_;
    int connection_;
    StopCheck stop_;
    Socket socket_;
};

}  // namespace zorvan
