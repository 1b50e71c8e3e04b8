#include "download/socket_io.h"

#include "download/error_text.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace zorvan {

namespace {
constexpr int sliceMs = 10;
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        tls_ = other.tls_;
        other.fd_ = -1;
        other.tls_ = nullptr;
    }
    return *this;
}

bool Socket::open(int family) {
    close();
    fd_ = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    return fd_ >= 0;
}

void Socket::close() {
    if (tls_) {
        // Closed as if both sides had said goodbye: a session freed without
        // that is struck from further use, and the next connections resume it.
        SSL_set_shutdown(tls_, SSL_SENT_SHUTDOWN | SSL_RECEIVED_SHUTDOWN);
        SSL_free(tls_);
        tls_ = nullptr;
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void Socket::attachTls(ssl_st* tls) {
    if (tls_) SSL_free(tls_);
    tls_ = tls;
}

namespace {

// What a failed TLS read or write means for the caller.
IoStep tlsStep(ssl_st* tls, int result) {
    const int savedErrno = errno;
    switch (SSL_get_error(tls, result)) {
        case SSL_ERROR_WANT_READ: return {0, POLLIN, 0};
        case SSL_ERROR_WANT_WRITE: return {0, POLLOUT, 0};
        case SSL_ERROR_ZERO_RETURN: return {0, 0, socketError::closedByServer};
        case SSL_ERROR_SYSCALL:
            // No errno: the peer closed the connection without TLS's closing alert.
            return {0, 0, savedErrno != 0 ? socketErrorFromErrno(savedErrno) : socketError::tlsCutShort};
        default:
            if (ERR_GET_REASON(ERR_peek_last_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING)
                return {0, 0, socketError::tlsCutShort};
            return {0, 0, socketError::tlsBroken};
    }
}

int clampToInt(std::size_t size) { return static_cast<int>(std::min<std::size_t>(size, INT_MAX)); }

}  // namespace

IoStep Socket::readSome(char* into, std::size_t size) {
    if (tls_) {
        ERR_clear_error();
        errno = 0;
        const int n = SSL_read(tls_, into, clampToInt(size));
        return n > 0 ? IoStep{static_cast<std::size_t>(n), 0, 0} : tlsStep(tls_, n);
    }
    const ssize_t n = ::recv(fd_, into, size, 0);
    if (n > 0) return {static_cast<std::size_t>(n), 0, 0};
    if (n == 0) return {0, 0, socketError::closedByServer};
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return {0, POLLIN, 0};
    return {0, 0, socketErrorFromErrno(errno)};
}

IoStep Socket::writeSome(const char* from, std::size_t size) {
    if (tls_) {
        ERR_clear_error();
        errno = 0;
        const int n = SSL_write(tls_, from, clampToInt(size));
        return n > 0 ? IoStep{static_cast<std::size_t>(n), 0, 0} : tlsStep(tls_, n);
    }
    const ssize_t n = ::send(fd_, from, size, MSG_NOSIGNAL);
    if (n > 0) return {static_cast<std::size_t>(n), 0, 0};
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return {0, 0, socketErrorFromErrno(errno)};
    return {0, POLLOUT, 0};
}

IoStep Socket::spliceSome(int pipeIn, std::size_t size) {
    const ssize_t n = ::splice(fd_, nullptr, pipeIn, nullptr, size, SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
    if (n > 0) return {static_cast<std::size_t>(n), 0, 0};
    if (n == 0) return {0, 0, socketError::closedByServer};
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return {0, POLLIN, 0};
    return {0, 0, socketErrorFromErrno(errno)};
}

bool isDottedIPv4(const std::string& host) {
    int parts = 0;
    std::size_t at = 0;
    while (at <= host.size()) {
        std::size_t end = host.find('.', at);
        if (end == std::string::npos) end = host.size();
        const std::string part = host.substr(at, end - at);
        if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(part) > 255)
            return false;
        ++parts;
        at = end + 1;
    }
    return parts == 4;
}

namespace {

// The first address of `family` the host has, as text.
std::optional<std::string> resolveIn(const std::string& host, int family) {
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return std::nullopt;
    char text[INET6_ADDRSTRLEN] = {};
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(found->ai_addr);
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    const void* address = family == AF_INET6 ? static_cast<const void*>(&v6->sin6_addr)
                                             : static_cast<const void*>(&v4->sin_addr);
    ::inet_ntop(family, address, text, sizeof text);
    ::freeaddrinfo(found);
    return std::string(text);
}

}  // namespace

std::optional<std::string> resolveIPv4(const std::string& host) {
    if (isDottedIPv4(host)) return host;
    return resolveIn(host, AF_INET);
}

bool isIpAddress(const std::string& host) {
    in6_addr ignored{};
    return isDottedIPv4(host) || ::inet_pton(AF_INET6, host.c_str(), &ignored) == 1;
}

std::optional<std::string> resolveHost(const std::string& host) {
    if (isIpAddress(host)) return host;
    if (auto v4 = resolveIn(host, AF_INET)) return v4;
    return resolveIn(host, AF_INET6);
}

ConnectResult connectWithLimit(Socket& socket, const std::string& ip, int port, int timeoutMs, const StopCheck& stop) {
    sockaddr_storage storage{};
    socklen_t size = 0;
    const bool v6 = ip.find(':') != std::string::npos;
    if (v6) {
        auto& address = reinterpret_cast<sockaddr_in6&>(storage);
        address.sin6_family = AF_INET6;
        address.sin6_port = htons(static_cast<std::uint16_t>(port));
        if (::inet_pton(AF_INET6, ip.c_str(), &address.sin6_addr) != 1) return ConnectResult::Failed;
        size = sizeof address;
    } else {
        auto& address = reinterpret_cast<sockaddr_in&>(storage);
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        if (::inet_pton(AF_INET, ip.c_str(), &address.sin_addr) != 1) return ConnectResult::Failed;
        size = sizeof address;
    }
    if (!socket.open(v6 ? AF_INET6 : AF_INET)) return ConnectResult::Failed;
    if (::connect(socket.fd(), reinterpret_cast<sockaddr*>(&storage), size) != 0) {
        if (errno != EINPROGRESS) return ConnectResult::Failed;
        const int slices = std::max(1, timeoutMs / sliceMs);
        bool ready = false;
        for (int i = 0; i < slices && !ready; ++i) {
            if (stop && stop()) return ConnectResult::Stopped;
            pollfd p{socket.fd(), POLLOUT | POLLIN, 0};
            const int n = ::poll(&p, 1, sliceMs);
            if (n < 0 && errno != EINTR) return ConnectResult::Failed;
            ready = n > 0;
        }
        if (!ready) return ConnectResult::TimedOut;
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(socket.fd(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) return ConnectResult::Failed;
        if (error != 0) {
            errno = error;  // why, for the caller
            return ConnectResult::Failed;
        }
    }
    int yes = 1;
    ::setsockopt(socket.fd(), IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    return ConnectResult::Connected;
}

int sendWithLimit(Socket& socket, const std::string& data, int timeoutMs, const StopCheck& stop) {
    std::size_t sent = 0;
    int waited = 0;
    while (sent < data.size()) {
        const IoStep step = socket.writeSome(data.data() + sent, data.size() - sent);
        if (step.count > 0) {
            sent += step.count;
            continue;
        }
        if (step.code != 0) return step.code == socketError::closedByServer ? socketError::sendFailed : step.code;
        if (stop && stop()) return socketError::sendFailed;
        if (waited >= timeoutMs) return socketError::waitTimeout;
        pollfd p{socket.fd(), step.wait, 0};
        if (::poll(&p, 1, sliceMs) < 0 && errno != EINTR) return socketError::waitFailed;
        waited += sliceMs;
    }
    return 0;
}

namespace {

// Linux delays acknowledgements on a socket that has sent a request and
// only reads since; a server that paces its sending then waits for them
// (and probes for loss), which on loopback cost several per cent of a
// rate-capped download. The mode does not stick, so it is asked again
// whenever bytes were read and the connection is about to wait or to hand
// them on: once per receive step while data streams in, once per burst
// when it has caught up. Asking after every read cost a call per TLS
// record for nothing.
void quickAck(Socket& socket) {
    int one = 1;
    ::setsockopt(socket.fd(), IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
}

// The waiting shared by reading into memory and into a pipe: `read` makes
// one attempt for up to `ask` bytes, `got` of them already in.
template <typename Read>
ReceiveResult receiveWith(Socket& socket, std::size_t wanted, std::size_t perCall, int timeoutMs, bool singleStep,
                          const StopCheck& stop, Read read) {
    ReceiveResult result;
    int silence = 0;
    bool unacknowledged = false;
    while (result.received < wanted) {
        const IoStep step = read(result.received, std::min(perCall, wanted - result.received));
        if (step.count > 0) {
            result.received += step.count;
            silence = 0;
            unacknowledged = true;
            if (singleStep) break;
            continue;
        }
        if (step.code != 0) {
            result.code = step.code;
            break;
        }
        if (stop && stop()) break;
        if (silence > timeoutMs) {
            result.code = socketError::receiveTimeout;
            break;
        }
        if (unacknowledged) quickAck(socket);
        unacknowledged = false;
        pollfd p{socket.fd(), step.wait, 0};
        const int ready = ::poll(&p, 1, sliceMs);
        if (ready < 0 && errno != EINTR) {
            result.code = socketError::waitFailed;
            break;
        }
        if (ready == 0) silence += sliceMs;
    }
    if (unacknowledged) quickAck(socket);
    return result;
}

}  // namespace

ReceiveResult receiveSome(Socket& socket, char* into, std::size_t wanted, std::size_t perCall, int timeoutMs,
                          bool singleStep, const StopCheck& stop) {
    return receiveWith(socket, wanted, perCall, timeoutMs, singleStep, stop,
                       [&](std::size_t got, std::size_t ask) { return socket.readSome(into + got, ask); });
}

ReceiveResult receiveIntoPipe(Socket& socket, int pipeIn, std::size_t wanted, int timeoutMs, const StopCheck& stop) {
    return receiveWith(socket, wanted, wanted, timeoutMs, true, stop,
                       [&](std::size_t, std::size_t ask) { return socket.spliceSome(pipeIn, ask); });
}

}  // namespace zorvan
