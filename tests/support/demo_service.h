#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace zorvan::test {

// The real demo service as a child process on a free loopback port.
class DemoService {
public:
    explicit DemoService(const std::string& mediaFolder, const std::vector<std::string>& extraArguments = {});
    ~DemoService();
    DemoService(const DemoService&) = delete;
    DemoService& operator=(const DemoService&) = delete;
    const std::string& url() const { return url_; }

private:
    pid_t pid_ = -1;
    std::string url_;
};

// Writes clip0.mp4, clip1.mp4 and clip2.mp4 of at least `bytes` bytes
// (each of its own length and content) into the folder, skipping those in `leaveOut`;
// returns their contents, indexed by clip.
std::vector<std::string> makeDemoClips(const std::string& folder, int bytes, const std::vector<int>& leaveOut = {});

}  // namespace zorvan::test
