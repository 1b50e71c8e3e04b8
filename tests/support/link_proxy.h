#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace zorvan::test {

// tools/link-proxy as a child process on a free loopback port, in front of
// a server on 127.0.0.1:`targetPort`, with the faults given as its options
// ("--rate", "500000", "--outage-after", "2000", ...).
class LinkProxy {
public:
    LinkProxy(int targetPort, const std::vector<std::string>& faults);
    ~LinkProxy();
    LinkProxy(const LinkProxy&) = delete;
    LinkProxy& operator=(const LinkProxy&) = delete;
    int port() const { return port_; }
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace zorvan::test
