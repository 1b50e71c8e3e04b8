#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

struct ssl_st;

namespace zorvan {

// Asked in every 10 ms slice of a wait: true ends the wait.
using StopCheck = std::function<bool()>;

// One step of reading or writing a socket.
struct IoStep {
    std::size_t count = 0;  // bytes moved
    short wait = 0;         // nothing moved yet: poll for this (POLLIN or POLLOUT), then try again
    int code = 0;           // closedByServer, or an error code (see error_text.h)
};

// One TCP socket, closed with its owner, and the TLS session over it once
// one is attached. Kept non-blocking: every wait is a poll in 10 ms slices,
// so stop requests are seen at once.
class Socket {
public:
    Socket() = default;
    ~Socket() { close(); }
    Socket(Socket&& other) noexcept : fd_(other.fd_), tls_(other.tls_) {
        other.fd_ = -1;
        other.tls_ = nullptr;
    }
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool open(int family);  // AF_INET or AF_INET6
    void close();
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // From here on every byte goes through `tls`, which the socket owns.
    void attachTls(ssl_st* tls);
    ssl_st* tls() const { return tls_; }

    IoStep readSome(char* into, std::size_t size);
    IoStep writeSome(const char* from, std::size_t size);
    // Moves up to `size` received bytes into the pipe's write end without
    // copying them through the program (a plain socket only).
    IoStep spliceSome(int pipeIn, std::size_t size);

private:
    int fd_ = -1;
    ssl_st* tls_ = nullptr;
};

// Dotted IPv4 text of a host name (a dotted address is returned unchanged);
// nothing when it cannot be resolved.
std::optional<std::string> resolveIPv4(const std::string& host);
bool isDottedIPv4(const std::string& host);
// An IPv4 or IPv6 address as text ("10.0.0.1", "::1").
bool isIpAddress(const std::string& host);
// The address of a host: IPv4 when it has one (as ever), else IPv6.
std::optional<std::string> resolveHost(const std::string& host);

enum class ConnectResult { Connected, TimedOut, Failed, Stopped };
// Failed leaves errno saying why.
ConnectResult connectWithLimit(Socket& socket, const std::string& ip, int port, int timeoutMs, const StopCheck& stop);

// Sends all of `data` within timeoutMs; 0 or a negative code.
int sendWithLimit(Socket& socket, const std::string& data, int timeoutMs, const StopCheck& stop);

struct ReceiveResult {
    std::size_t received = 0;  // bytes stored, whatever the code
    int code = 0;              // 0, or a negative code (see error_text.h)
};

// Receives up to `wanted` bytes into `into`, at most `perCall` per read.
// Silence longer than timeoutMs gives receiveTimeout, the server closing
// gives closedByServer (over TLS only with its closing alert; a TLS stream
// that just ends gives tlsCutShort); a stop ends the wait with what has arrived. With
// singleStep it returns after the first read that brought bytes.
ReceiveResult receiveSome(Socket& socket, char* into, std::size_t wanted, std::size_t perCall, int timeoutMs,
                          bool singleStep, const StopCheck& stop);

// The same for a plain socket, into the write end of a pipe that has room
// for `wanted` bytes: returns after the first move that brought bytes.
ReceiveResult receiveIntoPipe(Socket& socket, int pipeIn, std::size_t wanted, int timeoutMs, const StopCheck& stop);

}  // namespace zorvan
