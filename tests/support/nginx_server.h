#pragma once

#include <string>
#include <sys/types.h>

namespace zorvan::test {

// A real nginx on 127.0.0.1 serving the files of its own web root, started
// as a child process and stopped by its process id.
class NginxServer {
public:
    // `extraServerLines` go into the server block (e.g. "limit_rate 25m;").
    explicit NginxServer(const std::string& extraServerLines = "");
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    bool running() const { return pid_ > 0 && port_ > 0; }
    const std::string& error() const { return error_; }
    const std::string& webRoot() const { return root_; }
    std::string url(const std::string& path) const;

    // Writes a file of `size` bytes of a fixed pseudo-random pattern into the
    // web root and returns its content.
    std::string addFile(const std::string& name, std::size_t size);

private:
    std::string dir_;
    std::string root_;
    std::string error_;
    int port_ = 0;
    pid_t pid_ = -1;
};

// Bytes that differ from position to position, so misplaced ranges show.
std::string patternBytes(std::size_t size, unsigned seed = 1);

}  // namespace zorvan::test
