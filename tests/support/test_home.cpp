// Linked into every test program: before anything runs, the user's
// folders are replaced by the program's own under the test temp folder, so
// no test (nor a zorvan-cli it starts, which inherits them) reads or
// writes the user's library, settings or videos, or the download folder
// beside the programs, where ./scripts/run-demo keeps a demo user's files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string programName() {
    std::string name;
    std::getline(std::ifstream("/proc/self/comm"), name);
    return name.empty() ? "tests" : name;
}

const bool testHomeSet = [] {
    const std::string home = testing::TempDir() + "zorvan-test-home/" + programName();
    const std::pair<const char*, const char*> folders[] = {
        {"XDG_DATA_HOME", "/data"},
        {"XDG_CONFIG_HOME", "/config"},
        {"XDG_VIDEOS_DIR", "/videos"},
        {"ZORVAN_DOWNLOAD_DIR", "/video"},
    };
    for (const auto& [variable, folder] : folders) {
        std::error_code ignored;
        std::filesystem::create_directories(home + folder, ignored);
        ::setenv(variable, (home + folder).c_str(), 1);
    }
    return true;
}();

}  // namespace
