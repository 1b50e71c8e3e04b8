// Linked into every test program: before anything runs, the test temp
// folder becomes one of this process's own (removed when it ends), so tests
// run side by side never share a folder, and the user's folders are
// replaced by folders in it, so no test (nor a zorvan-cli it starts, which
// inherits them) reads or writes the user's library, settings or videos, or
// the download folder beside the programs, where ./scripts/run-demo keeps a
// demo user's files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

std::string programName() {
    std::string name;
    std::getline(std::ifstream("/proc/self/comm"), name);
    return name.empty() ? "tests" : name;
}

// Left behind only by a process that did not end normally.
std::string ownTempFolder;
pid_t owner = 0;  // a forked child (a death test) that exits leaves it to its parent

void removeOwnTempFolder() {
    if (::getpid() != owner) return;
    std::error_code ignored;
    std::filesystem::remove_all(ownTempFolder, ignored);
}

const bool testHomeSet = [] {
    // A death test's child runs the program again: it keeps to its parent's folder.
    if (const char* inherited = std::getenv("ZORVAN_TEST_TEMP")) {
        ::setenv("TEST_TMPDIR", inherited, 1);
    } else {
        owner = ::getpid();
        ownTempFolder = testing::TempDir() + "zorvan-" + programName() + "-" + std::to_string(owner) + "/";
        std::error_code ignored;
        std::filesystem::remove_all(ownTempFolder, ignored);
        std::filesystem::create_directories(ownTempFolder, ignored);
        ::setenv("TEST_TMPDIR", ownTempFolder.c_str(), 1);
        ::setenv("ZORVAN_TEST_TEMP", ownTempFolder.c_str(), 1);
        std::atexit(removeOwnTempFolder);
    }
    const std::string home = testing::TempDir() + "zorvan-test-home";
    const std::pair<const char*, const char*> folders[] = {
        {"XDG_DATA_HOME", "/data"},
        {"XDG_CONFIG_HOME", "/config"},
        {"XDG_CACHE_HOME", "/cache"},
        {"XDG_VIDEOS_DIR", "/videos"},
        // As a Chinese desktop names it: every path the program makes
        // passes through a folder name that is not ASCII.
        {"ZORVAN_DOWNLOAD_DIR", "/视频"},
    };
    for (const auto& [variable, folder] : folders) {
        std::error_code ignored;
        std::filesystem::create_directories(home + folder, ignored);
        ::setenv(variable, (home + folder).c_str(), 1);
    }
    return true;
}();

}  // namespace
