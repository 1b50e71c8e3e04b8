#include "download/socket_io.h"

#include "download/error_text.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zorvan {

namespace {
constexpr int sliceMs = 10;
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

bool Socket::open() {
    close();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    return fd_ >= 0;
}

void Socket::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
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

std::optional<std::string> resolveIPv4(const std::string& host) {
    if (isDottedIPv4(host)) return host;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return std::nullopt;
    char text[INET_ADDRSTRLEN] = {};
    const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    ::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text);
    ::freeaddrinfo(found);
    return std::string(text);
}

ConnectResult connectWithLimit(Socket& socket, const std::string& ip, int port, int timeoutMs, const StopCheck& stop) {
    if (!socket.open()) return ConnectResult::Failed;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::inet_pton(AF_INET, ip.c_str(), &address.sin_addr) != 1) return ConnectResult::Failed;
    if (::connect(socket.fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
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
        if (::getsockopt(socket.fd(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            return ConnectResult::Failed;
    }
    int yes = 1;
    ::setsockopt(socket.fd(), IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    return ConnectResult::Connected;
}

int sendWithLimit(Socket& socket, const std::string& data, int timeoutMs, const StopCheck& stop) {
    std::size_t sent = 0;
    int waited = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(socket.fd(), data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return socketErrorFromErrno(errno);
        if (stop && stop()) return socketError::sendFailed;
        if (waited >= timeoutMs) return socketError::waitTimeout;
        pollfd p{socket.fd(), POLLOUT, 0};
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
// after every read.
void quickAck(Socket& socket) {
    int one = 1;
    ::setsockopt(socket.fd(), IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
}

}  // namespace

ReceiveResult receiveSome(Socket& socket, char* into, std::size_t wanted, std::size_t perCall, int timeoutMs,
                          bool singleStep, const StopCheck& stop) {
    ReceiveResult result;
    int silence = 0;
    while (result.received < wanted) {
        const std::size_t ask = std::min(perCall, wanted - result.received);
        const ssize_t n = ::recv(socket.fd(), into + result.received, ask, 0);
        if (n > 0) {
            result.received += static_cast<std::size_t>(n);
            silence = 0;
            quickAck(socket);
            if (singleStep) break;
            continue;
        }
        if (n == 0) {
            result.code = socketError::closedByServer;
            break;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            result.code = socketErrorFromErrno(errno);
            break;
        }
        if (stop && stop()) break;
        if (silence > timeoutMs) {
            result.code = socketError::receiveTimeout;
            break;
        }
        pollfd p{socket.fd(), POLLIN, 0};
        const int ready = ::poll(&p, 1, sliceMs);
        if (ready < 0 && errno != EINTR) {
            result.code = socketError::waitFailed;
            break;
        }
        if (ready == 0) silence += sliceMs;
    }
    return result;
}

}  // namespace zorvan
