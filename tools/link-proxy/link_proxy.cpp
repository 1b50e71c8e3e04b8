#include "link_proxy.h"

#include "loopback_listener.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace linkproxy {

namespace {

using Clock = std::chrono::steady_clock;
const Clock::time_point started = Clock::now();

bool inOutage(const LinkSettings& s) {
    if (s.outageAfterMs < 0) return false;
    const auto at = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
    return at >= s.outageAfterMs && at < s.outageAfterMs + s.outageForMs;
}

// Closes with a reset, as a dropped link looks to the client.
void resetSocket(int fd) {
    linger hard{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::close(fd);
}

int connectTo(const LinkSettings& s) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(s.targetHost.c_str(), std::to_string(s.targetPort).c_str(), &hints, &found) != 0) return -1;
    int fd = -1;
    for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd >= 0 && ::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    return fd;
}

// One direction of a connection: what was read waits its delay, then is
// written at the link's rate.
struct Lane {
    struct Chunk {
        Clock::time_point due;
        std::string bytes;
    };
    std::mutex lock;
    std::condition_variable changed;
    std::deque<Chunk> chunks;
    std::size_t buffered = 0;
    bool ended = false;  // the sender closed its side
};

class Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(const LinkSettings& s, int client, int server) : s_(s), client_(client), server_(server) {}

    void run() {
        auto self = shared_from_this();
        std::thread readUp([self] { self->read(self->client_, self->up_); });
        std::thread readDown([self] { self->read(self->server_, self->down_); });
        std::thread writeUp([self] { self->write(self->up_, self->server_, false); });
        write(down_, client_, true);
        writeUp.join();
        readUp.join();
        readDown.join();
        if (reset_) resetSocket(client_);
        else ::close(client_);
        ::close(server_);
    }

private:
    void abort(bool reset) {
        if (aborted_.exchange(true)) return;
        reset_ = reset;
        ::shutdown(client_, SHUT_RDWR);
        ::shutdown(server_, SHUT_RDWR);
        for (Lane* lane : {&up_, &down_}) {
            std::lock_guard hold(lane->lock);
            lane->changed.notify_all();
        }
    }

    bool stop() {
        if (!aborted_ && inOutage(s_)) abort(true);
        return aborted_;
    }

    void read(int from, Lane& lane) {
        const auto oneWay = std::chrono::milliseconds(s_.roundTripMs / 2);
        std::vector<char> buffer(64 * 1024);
        while (!stop()) {
            pollfd p{from, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const ssize_t n = ::recv(from, buffer.data(), buffer.size(), 0);
            std::unique_lock hold(lane.lock);
            if (n <= 0) {
                lane.ended = true;
                lane.changed.notify_all();
                return;
            }
            auto due = Clock::now() + oneWay;
            if (s_.handshake && &lane == &up_)
                due = std::max(due, opened_ + std::chrono::milliseconds(s_.roundTripMs) + oneWay);
            lane.chunks.push_back({due, std::string(buffer.data(), static_cast<std::size_t>(n))});
            lane.buffered += static_cast<std::size_t>(n);
            lane.changed.notify_all();
            // A bounded buffer: the sender is held back as a real link would.
            lane.changed.wait(hold, [&] { return lane.buffered < 1024 * 1024 || aborted_; });
        }
    }

    void write(Lane& lane, int to, bool faulty) {
        // The rate counts from the first byte: a connection idle before it
        // banks no bandwidth, as no real link gives it.
        Clock::time_point begun{};
        std::int64_t sent = 0;
        while (!stop()) {
            Lane::Chunk chunk;
            {
                std::unique_lock hold(lane.lock);
                lane.changed.wait_for(hold, std::chrono::milliseconds(50),
                                      [&] { return !lane.chunks.empty() || lane.ended || aborted_; });
                if (lane.chunks.empty()) {
                    if (lane.ended) {
                        ::shutdown(to, SHUT_WR);
                        return;
                    }
                    continue;
                }
                chunk = std::move(lane.chunks.front());
                lane.chunks.pop_front();
                lane.buffered -= chunk.bytes.size();
                lane.changed.notify_all();
            }
            while (Clock::now() < chunk.due && !stop()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            if (sent == 0) begun = Clock::now();
            for (std::size_t at = 0; at < chunk.bytes.size() && !stop();) {
                std::size_t piece = std::min<std::size_t>(16 * 1024, chunk.bytes.size() - at);
                if (faulty) {
                    for (const std::int64_t every : {s_.resetEvery, s_.stallEvery})
                        if (every > 0) piece = static_cast<std::size_t>(std::min<std::int64_t>(piece, every - sent % every));
                    if (s_.bytesPerSecond > 0) {
                        const auto due = begun + std::chrono::microseconds(sent * 1000000 / s_.bytesPerSecond);
                        while (Clock::now() < due && !stop()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    }
                }
                const ssize_t n = ::send(to, chunk.bytes.data() + at, piece, MSG_NOSIGNAL);
                if (n <= 0) {
                    abort(false);
                    return;
                }
                at += static_cast<std::size_t>(n);
                sent += n;
                if (!faulty) continue;
                if (s_.resetEvery > 0 && sent % s_.resetEvery == 0) {
                    abort(true);
                    return;
                }
                if (s_.stallEvery > 0 && sent % s_.stallEvery == 0) {
                    while (!stop()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    return;
                }
            }
        }
    }

    const LinkSettings& s_;
    const int client_, server_;
    const Clock::time_point opened_ = Clock::now();
    Lane up_, down_;
    std::atomic<bool> aborted_{false};
    bool reset_ = false;
};

}  // namespace

int runLinkProxy(const LinkSettings& settings) {
    const int listener = tools::listenOnLoopback(settings.listenPort, "link-proxy", "");
    if (listener < 0) return 1;
    for (;;) {
        const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        if (inOutage(settings)) {
            resetSocket(client);
            continue;
        }
        const int server = connectTo(settings);
        if (server < 0) {
            resetSocket(client);
            continue;
        }
        // Each connection runs itself and ends with its client or server.
        std::thread([connection = std::make_shared<Connection>(settings, client, server)] { connection->run(); }).detach();
    }
}

}  // namespace linkproxy
