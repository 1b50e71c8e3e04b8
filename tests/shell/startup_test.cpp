#include "place/program_directory.h"
#include "shell/program_end.h"
#include "shell/program_state.h"
#include "shell/startup.h"
#include "support/box_answerer.h"
#include "text/folder_of.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace zorvan {
namespace {

std::vector<std::string> recorded;

StartupSteps recordingSteps() {
    StartupSteps steps;
    steps.installFileHooks = [] {
        // The program-wide state and the clean-up exist before any start-up routine.
        recorded.push_back(programStateExists() ? "hooks" : "hooks-without-state");
        if (registeredCleanupCount() != 1) recorded.push_back("cleanup-not-registered");
    };
    steps.loadSkinModule = [] { recorded.push_back("skin"); };
    steps.initHttpClient = [] { recorded.push_back("http"); return true; };
    steps.loadMainWindow = [] { recorded.push_back("main-window"); return true; };
    steps.runMessageLoop = [] { recorded.push_back("loop"); return 0; };
    return steps;
}

int startWith(const StartupSteps& steps, std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int argc = static_cast<int>(args.size());
    return programStart(argc, argv.data(), steps);
}

TEST(Startup, RunsItsStepsInOrderAndEntersTheProgramDirectory) {
    const std::filesystem::path before = std::filesystem::current_path();
    chdir("/");
    recorded.clear();

    EXPECT_EQ(startWith(recordingSteps(), {"zorvan", "--service", "http://example.test:81/"}), 0);

    EXPECT_EQ(recorded, (std::vector<std::string>{"hooks", "skin", "http", "main-window", "loop"}));
    EXPECT_EQ(std::filesystem::current_path().string(), programDirectory());
    EXPECT_EQ(programState().serviceAddress, "http://example.test:81");

    // A second registration of the same routine is not kept.
    registerCleanup(cleanup);
    EXPECT_EQ(registeredCleanupCount(), 1);

    std::filesystem::current_path(before);
    createProgramState("http://127.0.0.1:1");
}

TEST(Startup, ProgramDirectoryIsTheFolderOfTheExecutable) {
    char path[PATH_MAX + 1] = {};
    ASSERT_GT(readlink("/proc/self/exe", path, PATH_MAX), 0);
    const std::string exe = path;
    EXPECT_EQ(programDirectory() + "/" + std::filesystem::path(exe).filename().string(), exe);
    EXPECT_NE(programDirectory().back(), '/');
    EXPECT_EQ(folderOf("/a/b/c"), "/a/b");
    EXPECT_EQ(folderOf("/c"), "/");
}

TEST(StartupDeathTest, WithoutAnHttpClientTheProgramEndsSilentlyWithCodeZero) {
    const std::string marker = ::testing::TempDir() + "zorvan_window_marker";
    std::filesystem::remove(marker);
    EXPECT_EXIT(
        {
            StartupSteps steps = recordingSteps();
            steps.initHttpClient = [] { return false; };
            steps.loadMainWindow = [marker] {
                std::ofstream(marker) << "loaded";
                return true;
            };
            startWith(steps, {"zorvan"});
            std::exit(42);  // programStart must not come back
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_FALSE(std::filesystem::exists(marker)) << "no window may be loaded";
}

TEST(StartupDeathTest, AMainWindowThatCannotBeLoadedIsFatal) {
    EXPECT_EXIT(
        {
            StartupSteps steps = recordingSteps();
            steps.loadMainWindow = [] { return false; };
            test::BoxAnswerer answerer(QMessageBox::Ok, [](const test::SeenBox& box) {
                std::fprintf(stderr, "box shown: %s\n", qUtf8Printable(box.text.simplified()));
            });
            startWith(steps, {"zorvan"});
            std::exit(42);
        },
        ::testing::ExitedWithCode(255), "box shown: 运行时出错! 错误信息：载入启动窗口失败");
}

}  // namespace
}  // namespace zorvan
