#include "support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace zorvan::test {

namespace {

constexpr int pollSliceMs = 20;
constexpr std::size_t maxHeadBytes = 1 << 20;

std::string lower(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return result;
}

std::string trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return std::string(text);
}

std::string hex(std::size_t n) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%zx", n);
    return buffer;
}

}  // namespace

std::string HttpRequest::header(std::string_view name) const {
    const std::string wanted = lower(name);
    for (const std::string& line : headerLines) {
        const auto colon = line.find(':');
        if (colon != std::string::npos && lower(trim(line.substr(0, colon))) == wanted)
            return trim(std::string_view(line).substr(colon + 1));
    }
    return {};
}

LoopbackServer::LoopbackServer(Script script) : script_(std::move(script)) { listen(); }

LoopbackServer::LoopbackServer(Script script, int port) : script_(std::move(script)) {
    port_ = port;
    listen();
}

LoopbackServer::LoopbackServer(ConnectionHandler handler) : handler_(std::move(handler)) { listen(); }

void LoopbackServer::listen() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0) throw std::runtime_error("socket failed");
    int yes = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port_));
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 64) != 0) {
        ::close(listener_);
        throw std::runtime_error("bind/listen on 127.0.0.1 failed");
    }
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

LoopbackServer::~LoopbackServer() { stop(); }

std::string LoopbackServer::url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<HttpRequest> LoopbackServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void LoopbackServer::stop() {
    if (stopping_.exchange(true)) return;
    if (acceptor_.joinable()) acceptor_.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(mutex_);
        workers.swap(workers_);
    }
    for (std::thread& worker : workers) worker.join();
    if (listener_ >= 0) ::close(listener_);
    listener_ = -1;
}

void LoopbackServer::acceptLoop() {
    while (!stopping_) {
        pollfd p{listener_, POLLIN, 0};
        if (::poll(&p, 1, pollSliceMs) <= 0) continue;
        const int socket = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0) continue;
        ++connections_;
        std::lock_guard lock(mutex_);
        workers_.emplace_back([this, socket] {
            if (handler_)
                handler_(socket, stopping_);
            else
                serve(socket);
            ::close(socket);
        });
    }
}

bool LoopbackServer::readRequest(int socket, std::string& buffer, HttpRequest& request) {
    auto readMore = [&]() -> bool {
        for (;;) {
            if (stopping_) return false;
            pollfd p{socket, POLLIN, 0};
            const int ready = ::poll(&p, 1, pollSliceMs);
            if (ready == 0) continue;
            if (ready < 0) return false;
            char chunk[16384];
            const ssize_t n = ::recv(socket, chunk, sizeof chunk, 0);
            if (n <= 0) return false;
            buffer.append(chunk, static_cast<std::size_t>(n));
            return true;
        }
    };
    std::size_t headEnd;
    while ((headEnd = buffer.find("\r\n\r\n")) == std::string::npos) {
        if (buffer.size() > maxHeadBytes || !readMore()) return false;
    }
    const std::string head = buffer.substr(0, headEnd);
    request = HttpRequest{};
    std::size_t lineStart = 0;
    bool first = true;
    while (lineStart <= head.size()) {
        auto lineEnd = head.find("\r\n", lineStart);
        if (lineEnd == std::string::npos) lineEnd = head.size();
        const std::string line = head.substr(lineStart, lineEnd - lineStart);
        if (first) {
            const auto space1 = line.find(' ');
            const auto space2 = line.find(' ', space1 == std::string::npos ? 0 : space1 + 1);
            request.method = line.substr(0, space1);
            if (space1 != std::string::npos) request.target = line.substr(space1 + 1, space2 - space1 - 1);
            first = false;
        } else {
            request.headerLines.push_back(line);
        }
        lineStart = lineEnd + 2;
    }
    const std::string length = request.header("Content-Length");
    const std::size_t bodyLength = length.empty() ? 0 : std::stoul(length);
    const std::size_t total = headEnd + 4 + bodyLength;
    while (buffer.size() < total)
        if (!readMore()) return false;
    request.body = buffer.substr(headEnd + 4, bodyLength);
    request.raw = buffer.substr(0, total);
    buffer.erase(0, total);
    return true;
}

bool LoopbackServer::sendAll(int socket, std::string_view data, long bytesPerSecond) {
    const auto started = std::chrono::steady_clock::now();
    std::size_t sent = 0;
    while (sent < data.size()) {
        if (stopping_) return false;
        std::size_t slice = data.size() - sent;
        if (bytesPerSecond > 0) {
            const double elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            const double allowed = elapsed * static_cast<double>(bytesPerSecond) - static_cast<double>(sent);
            if (allowed < 1) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            slice = std::min(slice, static_cast<std::size_t>(allowed));
        }
        pollfd p{socket, POLLOUT, 0};
        if (::poll(&p, 1, pollSliceMs) <= 0) continue;
        const ssize_t n = ::send(socket, data.data() + sent, slice, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
        bytesSent_ += n;
    }
    return true;
}

void LoopbackServer::serve(int socket) {
    std::string buffer;
    HttpRequest request;
    while (!stopping_ && readRequest(socket, buffer, request)) {
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
        }
        const ScriptedReply reply = script_(request);
        if (reply.neverAnswer) {
            while (!stopping_) std::this_thread::sleep_for(std::chrono::milliseconds(pollSliceMs));
            return;
        }
        for (int waited = 0; waited < reply.delayMs && !stopping_; waited += 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (reply.raw) {
            sendAll(socket, *reply.raw, reply.bytesPerSecond);
            return;
        }

        std::string out = "HTTP/1.1 " + reply.status + "\r\n";
        for (const std::string& line : reply.headers) out += line + "\r\n";
        if (reply.chunked)
            out += "Transfer-Encoding: chunked\r\n";
        else if (reply.contentLength)
            out += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
        if (!reply.keepAlive) out += "Connection: close\r\n";
        out += "\r\n";
        const std::size_t headerLength = out.size();
        if (reply.chunked) {
            for (std::size_t at = 0; at < reply.body.size(); at += reply.chunkSize) {
                const std::string piece = reply.body.substr(at, reply.chunkSize);
                out += hex(piece.size()) + "\r\n" + piece + "\r\n";
            }
            out += "0\r\n\r\n";
        } else {
            out += reply.body;
        }
        std::size_t cut = reply.closeAfter.value_or(out.size());
        if (reply.closeAfterBody) cut = std::min(cut, headerLength + *reply.closeAfterBody);
        const auto resetIfAsked = [&] {
            if (!reply.reset) return;
            const linger abort{1, 0};  // the close that follows sends RST
            ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        };
        if (cut < out.size()) {
            sendAll(socket, std::string_view(out).substr(0, cut), reply.bytesPerSecond);
            resetIfAsked();
            return;
        }
        if (!sendAll(socket, out, reply.bytesPerSecond)) return;
        if (reply.reset) return resetIfAsked();
        if (!reply.keepAlive || (!reply.chunked && !reply.contentLength)) return;
    }
}

}  // namespace zorvan::test
