#include "demo_server.h"

#include "loopback_listener.h"
#include "performers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <thread>
#include <vector>

namespace demo {

namespace {

constexpr int idleTimeoutMs = 30000;
constexpr std::size_t maxHeadBytes = 64 * 1024;

struct Request {
    std::string method;
    std::string path;
    std::map<std::string, std::string> query;
    std::map<std::string, std::string> headers;  // names in lower case
};

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// An HTTP date (RFC 9110, IMF-fixdate).
std::string httpDate(time_t when) {
    char text[64];
    tm parts{};
    gmtime_r(&when, &parts);
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
    return text;
}

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

class Connection {
public:
    Connection(int socket, const ServerSettings& settings, const MediaStore& media)
        : socket_(socket), settings_(settings), media_(media) {}
    ~Connection() { ::close(socket_); }

    void serve() {
        Request request;
        while (readRequest(request)) {
            if (!answer(request)) return;
            if (lower(request.headers["connection"]) == "close") return;
        }
    }

private:
    bool readRequest(Request& request) {
        std::size_t end;
        while ((end = buffer_.find("\r\n\r\n")) == std::string::npos) {
            if (buffer_.size() > maxHeadBytes) return false;
            pollfd p{socket_, POLLIN, 0};
            if (::poll(&p, 1, idleTimeoutMs) <= 0) return false;
            char chunk[8192];
            const ssize_t n = ::recv(socket_, chunk, sizeof chunk, 0);
            if (n <= 0) return false;
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
        const std::string head = buffer_.substr(0, end);
        buffer_.erase(0, end + 4);
        request = Request{};
        std::size_t lineEnd = head.find("\r\n");
        const std::string line = head.substr(0, lineEnd);
        const auto space1 = line.find(' ');
        const auto space2 = line.rfind(' ');
        if (space1 == std::string::npos || space2 <= space1) return false;
        request.method = line.substr(0, space1);
        std::string target = line.substr(space1 + 1, space2 - space1 - 1);
        const auto question = target.find('?');
        request.path = target.substr(0, question);
        if (question != std::string::npos) {
            const std::string query = target.substr(question + 1);
            for (std::size_t at = 0; at <= query.size();) {
                auto amp = query.find('&', at);
                if (amp == std::string::npos) amp = query.size();
                const std::string pair = query.substr(at, amp - at);
                const auto eq = pair.find('=');
                request.query[pair.substr(0, eq)] = eq == std::string::npos ? "" : pair.substr(eq + 1);
                at = amp + 1;
            }
        }
        while (lineEnd != std::string::npos) {
            const std::size_t start = lineEnd + 2;
            lineEnd = head.find("\r\n", start);
            const std::string header = head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
            const auto colon = header.find(':');
            if (colon != std::string::npos)
                request.headers[lower(trim(header.substr(0, colon)))] = trim(header.substr(colon + 1));
        }
        return true;
    }

    bool send(const char* data, std::size_t size) {
        std::size_t sent = 0;
        while (sent < size) {
            std::size_t slice = size - sent;
            if (settings_.bytesPerSecond > 0) {
                const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
                const double allowed = elapsed * static_cast<double>(settings_.bytesPerSecond) -
                                       static_cast<double>(throttled_);
                if (allowed < 1) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                    continue;
                }
                slice = std::min(slice, static_cast<std::size_t>(allowed));
            }
            const ssize_t n = ::send(socket_, data + sent, slice, MSG_NOSIGNAL);
            if (n <= 0) return false;
            sent += static_cast<std::size_t>(n);
            throttled_ += n;
        }
        return true;
    }
    bool send(const std::string& text) { return send(text.data(), text.size()); }

    bool reply(const std::string& status, const std::string& type, const std::string& body, const Request& request) {
        std::string head = "HTTP/1.1 " + status + "\r\nServer: zorvan-demo\r\nContent-Type: " + type +
                           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
        if (!send(head)) return false;
        return request.method == "HEAD" || send(body);
    }

    bool answer(const Request& request) {
        if (request.method != "GET" && request.method != "HEAD")
            return reply("405 Method Not Allowed", "text/plain", "GET or HEAD only\n", request);
        if (request.path == "/u/works/s") return answerWorks(request);
        if (request.path == "/admin/add-work") return answerAddWork(request);
        if (request.path == "/admin/move-work") return answerMoveWork(request);
        if (request.path.rfind("/media/", 0) == 0) return answerMedia(request);
        if (request.path == "/res/play/player.swf")
            return reply("200 OK", "application/x-shockwave-flash", "FWS demo player\n", request);
        return reply("404 Not Found", "text/plain", "not found\n", request);
    }

    std::string host(const Request& request) const {
        auto it = request.headers.find("host");
        return it != request.headers.end() && !it->second.empty() ? it->second : "127.0.0.1:" + std::to_string(localPort());
    }
    int localPort() const {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
        return ntohs(address.sin_port);
    }

    bool answerWorks(const Request& request) {
        auto id = request.query.find("lumono");
        auto page = request.query.find("p");
        const int p = page == request.query.end() ? 1 : std::atoi(page->second.c_str());
        const auto json = id == request.query.end() ? std::nullopt : worksPage(id->second, p, host(request));
        if (!json)
            return reply("200 OK", "application/json; charset=utf-8", "{\"code\":404,\"msg\":\"no such performer\"}",
                         request);
        return reply("200 OK", "application/json; charset=utf-8", *json, request);
    }

    // /admin/add-work?lumono=ID: the performer publishes one more work.
    bool answerAddWork(const Request& request) {
        auto id = request.query.find("lumono");
        const auto n = id == request.query.end() ? std::nullopt : addWork(id->second);
        if (!n) return reply("404 Not Found", "text/plain", "no such performer\n", request);
        return reply("200 OK", "text/plain", "added work " + std::to_string(*n) + "\n", request);
    }

    // /admin/move-work?lumono=ID&n=N: work N's address moves; the old one expires.
    bool answerMoveWork(const Request& request) {
        auto id = request.query.find("lumono");
        auto n = request.query.find("n");
        if (id == request.query.end() || n == request.query.end() || !moveWork(id->second, std::atoi(n->second.c_str())))
            return reply("404 Not Found", "text/plain", "no such work\n", request);
        return reply("200 OK", "text/plain", "moved work " + n->second + "\n", request);
    }

    bool answerMedia(const Request& request) {
        // /media/<performer>/<n>.mp4[?v=<generation>]
        const std::string rest = request.path.substr(7);
        const auto slash = rest.find('/');
        const int n = slash == std::string::npos ? 0 : std::atoi(rest.c_str() + slash + 1);
        const auto v = request.query.find("v");
        const int generation = v == request.query.end() ? 0 : std::atoi(v->second.c_str());
        bool expired = false;
        const auto clip = slash == std::string::npos ? std::nullopt : clipOfWork(rest.substr(0, slash), n, generation, &expired);
        if (expired) return reply("410 Gone", "text/plain", "this address has expired; list the works again\n", request);
        if (!clip) return reply("404 Not Found", "text/plain", "no such work\n", request);
        const auto path = media_.clipPath(*clip);
        if (!path) return reply("404 Not Found", "text/plain", "media clips not generated\n", request);
        const int file = ::open(path->c_str(), O_RDONLY | O_CLOEXEC);
        if (file < 0) return reply("500 Internal Server Error", "text/plain", "cannot open clip\n", request);
        struct stat info {};
        fstat(file, &info);
        const std::int64_t size = info.st_size;
        // The clip's version: its size and time of change.
        const std::string etag = "\"clip" + std::to_string(*clip) + "-" + std::to_string(size) + "-" +
                                 std::to_string(static_cast<long long>(info.st_mtime)) + "\"";
        const std::string modified = httpDate(info.st_mtime);
        ByteRange range{0, size - 1};
        const auto it = request.headers.find("range");
        RangeAnswer kind = it == request.headers.end() ? RangeAnswer::Whole : readRange(it->second, size, range);
        // A range on condition: only of the version the client names.
        if (const auto ifRange = request.headers.find("if-range"); ifRange != request.headers.end())
            if (!settings_.validators || (ifRange->second != etag && ifRange->second != modified))
                kind = RangeAnswer::Whole;
        if (kind == RangeAnswer::Whole) range = {0, size - 1};
        bool ok;
        if (kind == RangeAnswer::Unsatisfiable) {
            ok = send("HTTP/1.1 416 Range Not Satisfiable\r\nServer: zorvan-demo\r\nContent-Range: bytes */" +
                      std::to_string(size) + "\r\nContent-Length: 0\r\n\r\n");
        } else {
            std::string head = std::string("HTTP/1.1 ") + (kind == RangeAnswer::Part ? "206 Partial Content" : "200 OK") +
                               "\r\nServer: zorvan-demo\r\nContent-Type: video/mp4\r\nAccept-Ranges: bytes\r\n"
                               "Content-Length: " + std::to_string(range.last - range.first + 1) + "\r\n";
            if (settings_.validators) head += "ETag: " + etag + "\r\nLast-Modified: " + modified + "\r\n";
            if (kind == RangeAnswer::Part)
                head += "Content-Range: bytes " + std::to_string(range.first) + "-" + std::to_string(range.last) + "/" +
                        std::to_string(size) + "\r\n";
            ok = send(head + "\r\n");
            std::vector<char> chunk(64 * 1024);
            for (std::int64_t at = range.first; ok && request.method == "GET" && at <= range.last;) {
                const auto want = static_cast<std::size_t>(std::min<std::int64_t>(chunk.size(), range.last - at + 1));
                const ssize_t n = ::pread(file, chunk.data(), want, at);
                if (n <= 0) {
                    ok = false;
                    break;
                }
                ok = send(chunk.data(), static_cast<std::size_t>(n));
                at += n;
            }
        }
        ::close(file);
        return ok;
    }

    int socket_;
    const ServerSettings& settings_;
    const MediaStore& media_;
    std::string buffer_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::int64_t throttled_ = 0;
};

}  // namespace

int runDemoServer(const ServerSettings& settings) {
    const int listener = tools::listenOnLoopback(settings.port, "demo-service", "http://");
    if (listener < 0) return 1;

    static const MediaStore media(settings.mediaFolder);
    for (;;) {
        const int socket = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0) continue;
        // Each connection serves itself and ends with its client; the
        // process ends them all when it is stopped.
        std::thread([socket, &settings] { Connection(socket, settings, media).serve(); }).detach();
    }
}

}  // namespace demo
