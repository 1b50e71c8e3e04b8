#include "support/demo_service.h"

#include "support/child_process.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>

namespace zorvan::test {

DemoService::DemoService(const std::string& mediaFolder, const std::vector<std::string>& extraArguments) {
    int out[2];
    if (pipe(out) != 0) return;
    fcntl(out[0], F_SETFD, FD_CLOEXEC);
    std::vector<std::string> command = {DEMO_SERVICE_PATH, "--port", "0", "--media", mediaFolder};
    command.insert(command.end(), extraArguments.begin(), extraArguments.end());
    pid_ = spawnChild(command, out[1]);
    close(out[1]);
    // The first line names the address; read it with a bounded wait.
    std::string line;
    char c;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pid_ > 0 && std::chrono::steady_clock::now() < deadline && read(out[0], &c, 1) == 1 && c != '\n')
        line += c;
    close(out[0]);
    const auto at = line.find("http://");
    if (at != std::string::npos) url_ = line.substr(at);
}

DemoService::~DemoService() { stopChild(pid_); }

std::vector<std::string> makeDemoClips(const std::string& folder, int bytes, const std::vector<int>& leaveOut) {
    std::filesystem::create_directories(folder);
    std::vector<std::string> clips;
    for (int clip = 0; clip < 3; ++clip) {
        std::string content;
        for (int i = 0; i < bytes * (clip + 1) / 3 + bytes; ++i) content += static_cast<char>((i * 7 + clip) & 0xFF);
        const std::string path = folder + "/clip" + std::to_string(clip) + ".mp4";
        if (std::find(leaveOut.begin(), leaveOut.end(), clip) == leaveOut.end())
            std::ofstream(path, std::ios::binary) << content;
        else
            std::filesystem::remove(path);
        clips.push_back(content);
    }
    return clips;
}

}  // namespace zorvan::test
