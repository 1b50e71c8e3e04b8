#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace zorvan::test {

// One request as the server received it.
struct HttpRequest {
    std::string raw;  // request line, header lines, blank line and body, byte for byte
    std::string method;
    std::string target;
    std::vector<std::string> headerLines;  // in order, without their "\r\n"
    std::string body;

    // The value of the first header of that name (any case), trimmed; "" if none.
    std::string header(std::string_view name) const;
};

// How to answer one request.
struct ScriptedReply {
    std::string status = "200 OK";        // the status line after "HTTP/1.1 "
    std::vector<std::string> headers;     // extra header lines, without "\r\n"
    std::string body;
    bool chunked = false;                 // send the body in chunks of chunkSize
    std::size_t chunkSize = 1000;
    bool contentLength = true;            // add Content-Length (unless chunked)
    bool keepAlive = true;                // else close after the reply
    int delayMs = 0;                      // wait before answering
    std::optional<std::size_t> closeAfter;  // close after this many bytes of the reply
    std::optional<std::size_t> closeAfterBody;  // close after this many bytes of the body (0: right after the header)
    bool reset = false;                   // end the connection with a reset (RST) instead of a close
    bool neverAnswer = false;             // hold the connection open, silent, until stopped
    long bytesPerSecond = 0;              // throttle the reply (0: as fast as possible)
    std::optional<std::string> raw;       // send exactly these bytes instead, then close
};

// A small HTTP/1.1 server on 127.0.0.1 with a free port, answering every
// request through a per-test script. One thread accepts, one thread serves
// each connection; all of them end when the server is stopped or destroyed.
class LoopbackServer {
public:
    using Script = std::function<ScriptedReply(const HttpRequest&)>;
    // Serves one accepted connection all by itself, until done or until
    // `stopping` turns true; the server closes the socket afterwards.
    using ConnectionHandler = std::function<void(int socket, const std::atomic<bool>& stopping)>;

    explicit LoopbackServer(Script script);
    // On a port of the test's choosing: a server that comes back where an
    // earlier one was.
    LoopbackServer(Script script, int port);
    explicit LoopbackServer(ConnectionHandler handler);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:PORT" + path
    std::string url(std::string_view path = "/") const;

    std::vector<HttpRequest> requests() const;
    int connectionCount() const { return connections_.load(); }
    // Bytes written to clients so far (headers included); reset sets it to 0.
    long long bytesSent() const { return bytesSent_.load(); }
    void resetBytesSent() { bytesSent_ = 0; }

    void stop();

private:
    void acceptLoop();
    void serve(int socket);
    bool readRequest(int socket, std::string& buffer, HttpRequest& request);
    bool sendAll(int socket, std::string_view data, long bytesPerSecond);

    void listen();

    Script script_;
    ConnectionHandler handler_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::atomic<long long> bytesSent_{0};
    std::thread acceptor_;
    mutable std::mutex mutex_;
    std::vector<std::thread> workers_;
    std::vector<HttpRequest> requests_;
};

}  // namespace zorvan::test
