#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

namespace zorvan::test {

// The TLS side of an nginx: a certificate and its key (PEM files).
struct NginxTls {
    std::string certificate;
    std::string key;
};

// A real nginx on 127.0.0.1 serving the files of its own web root, started
// as a child process and stopped by its process id. With TLS it listens on
// a second port for https (TLS 1.2 and 1.3), and logs every request.
class NginxServer {
public:
    // `extraServerLines` go into the server block (e.g. "limit_rate 25m;");
    // "@PORT@" and "@TLS_PORT@" in them stand for the two ports.
    explicit NginxServer(const std::string& extraServerLines = "", const std::optional<NginxTls>& tls = {});
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    bool running() const { return pid_ > 0 && port_ > 0; }
    const std::string& error() const { return error_; }
    const std::string& webRoot() const { return root_; }
    // http://127.0.0.1:PORT + path; with TLS https://localhost:TLS_PORT + path.
    std::string url(const std::string& path) const;
    // http://localhost:PORT + path.
    std::string plainUrl(const std::string& path) const;
    // With TLS, the access log: one line per request, "SESSION_REUSED
    // STATUS "RANGE" "COOKIE" URI" (SESSION_REUSED is "r" or ".").
    std::string accessLog() const;

    // Writes a file of `size` bytes of a fixed pseudo-random pattern into the
    // web root and returns its content.
    std::string addFile(const std::string& name, std::size_t size);

private:
    std::string dir_;
    std::string root_;
    std::string error_;
    int port_ = 0;
    int tlsPort_ = 0;
    pid_t pid_ = -1;
};

// Bytes that differ from position to position, so misplaced ranges show.
std::string patternBytes(std::size_t size, unsigned seed = 1);

}  // namespace zorvan::test
