#include "support/demo_service.h"

#include "support/child_process.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>

namespace zorvan::test {

DemoService::DemoService(const std::string& mediaFolder, const std::vector<std::string>& extraArguments) {
    std::vector<std::string> command = {DEMO_SERVICE_PATH, "--port", "0", "--media", mediaFolder};
    command.insert(command.end(), extraArguments.begin(), extraArguments.end());
    std::string line;
    pid_ = spawnListening(command, line);
    const auto at = line.find("http://");
    if (at != std::string::npos) url_ = line.substr(at);
}

DemoService::~DemoService() { stopChild(pid_); }

std::vector<std::string> makeDemoClips(const std::string& folder, int bytes, const std::vector<int>& leaveOut) {
    std::filesystem::create_directories(folder);
    std::vector<std::string> clips;
    for (int clip = 0; clip < 3; ++clip) {
        // Never periodic, so a byte taken from the wrong offset always shows.
        std::string content(static_cast<std::size_t>(bytes * (clip + 1) / 3 + bytes), '\0');
        std::uint64_t state = 0x9E3779B97F4A7C15ULL * static_cast<std::uint64_t>(clip + 1);
        for (char& byte : content) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            byte = static_cast<char>(state >> 56);
        }
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
