#include "support/tcp_relay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace zorvan::test {

namespace {

int connectToLoopback(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (s >= 0 && ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return s;
    if (s >= 0) ::close(s);
    return -1;
}

bool sendAll(int socket, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(socket, data, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

TcpRelay::TcpRelay(Mode mode, int targetPort, std::size_t cutAfter)
    : mode_(mode),
      targetPort_(targetPort),
      cutAfter_(cutAfter),
      server_(LoopbackServer::ConnectionHandler(
          [this](int client, const std::atomic<bool>& stopping) { serve(client, stopping); })) {}

std::vector<std::string> TcpRelay::connectLines() const {
    std::lock_guard guard(lock_);
    return connectLines_;
}

void TcpRelay::serve(int client, const std::atomic<bool>& stopping) {
    const int upstream = mode_ == Mode::ConnectProxy ? openTunnel(client, stopping) : connectToLoopback(targetPort_);
    if (upstream < 0) return;
    pass(client, upstream, stopping);
    ::close(upstream);
}

// Reads "CONNECT host:port HTTP/1.1" and its header, connects to that port
// on 127.0.0.1 and says so.
int TcpRelay::openTunnel(int client, const std::atomic<bool>& stopping) {
    std::string head;
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 8192 && !stopping) {
        pollfd p{client, POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0) continue;
        char c;  // a byte at a time: what follows the header is the client's TLS
        if (::recv(client, &c, 1, 0) != 1) return -1;
        head += c;
    }
    const std::string line = head.substr(0, head.find("\r\n"));
    {
        std::lock_guard guard(lock_);
        connectLines_.push_back(line);
    }
    const auto colon = line.rfind(':');
    const int upstream = line.rfind("CONNECT ", 0) == 0 && colon != std::string::npos
                             ? connectToLoopback(std::atoi(line.c_str() + colon + 1))
                             : -1;
    const std::string answer = upstream >= 0 ? "HTTP/1.1 200 Connection established\r\n\r\n"
                                             : "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n";
    sendAll(client, answer.data(), answer.size());
    return upstream;
}

void TcpRelay::pass(int client, int upstream, const std::atomic<bool>& stopping) {
    std::size_t fromServer = 0;
    char buffer[16384];
    while (!stopping) {
        pollfd p[2] = {{client, POLLIN, 0}, {upstream, POLLIN, 0}};
        if (::poll(p, 2, 10) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (!(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            std::size_t want = sizeof buffer;
            if (i == 1 && cutAfter_ > 0) want = std::min(want, cutAfter_ - fromServer);
            const ssize_t n = ::recv(p[i].fd, buffer, want, 0);
            if (n <= 0 || !sendAll(p[1 - i].fd, buffer, static_cast<std::size_t>(n))) return;
            if (i == 1) fromServer += static_cast<std::size_t>(n);
            if (cutAfter_ > 0 && fromServer >= cutAfter_) return;
        }
    }
}

}  // namespace zorvan::test
