#include "shell/fatal_error.h"
#include "shell/program_end.h"
#include "shell/signal_end.h"
#include "shell/windows.h"
#include "shell/windows/main_window.h"
#include "support/box_answerer.h"

#include <QApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace zorvan {
namespace {

// The clean-up of these child processes writes one line per run into a file
// the parent reads after the child has ended.
std::string cleanupLog;

void countingCleanup() { std::ofstream(cleanupLog, std::ios::app) << "cleanup\n"; }

int linesIn(const std::string& path) {
    std::ifstream in(path);
    int n = 0;
    for (std::string line; std::getline(in, line);) ++n;
    return n;
}

void freshLog(const char* name) {
    cleanupLog = ::testing::TempDir() + name;
    std::filesystem::remove(cleanupLog);
}

// A child that hangs instead of ending must still end, with a code no test expects.
void failAfterFiveSeconds() {
    QTimer::singleShot(5000, [] { std::_Exit(99); });
}

TEST(EndProgramDeathTest, WorkersEndTheProcessWithTheirCodeAndOneCleanup) {
    freshLog("zorvan_cleanup_workers");
    EXPECT_EXIT(
        {
            registerCleanup(countingCleanup);
            registerCleanup(countingCleanup);
            failAfterFiveSeconds();
            // Two workers race to end the program; the clean-up still runs once.
            std::thread([] { endProgram(3); }).detach();
            std::thread([] { endProgram(3); }).detach();
            QApplication::exec();
        },
        ::testing::ExitedWithCode(3), "");
    EXPECT_EQ(linesIn(cleanupLog), 1);
}

TEST(EndProgramDeathTest, ClosingTheMainWindowEndsWithZeroEvenWithOtherWindowsOpen) {
    freshLog("zorvan_cleanup_close");
    EXPECT_EXIT(
        {
            registerCleanup(countingCleanup);
            failAfterFiveSeconds();
            loadWindow(WindowKind::Main);
            loadWindow(WindowKind::Download);
            QTimer::singleShot(0, [] { mainWindow()->close(); });
            QApplication::exec();
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(linesIn(cleanupLog), 1);
}

TEST(EndProgramDeathTest, ATerminationSignalEndsAsClosingDoesWithItsCodeAndOneCleanup) {
    freshLog("zorvan_cleanup_signal");
    EXPECT_EXIT(
        {
            registerCleanup(countingCleanup);
            failAfterFiveSeconds();
            endOnTerminationSignals();
            // A second signal while the end is under way ends nothing twice.
            QTimer::singleShot(0, [] {
                ::kill(::getpid(), SIGTERM);
                ::kill(::getpid(), SIGHUP);
            });
            QApplication::exec();
        },
        ::testing::ExitedWithCode(128 + SIGTERM), "");
    EXPECT_EQ(linesIn(cleanupLog), 1);
}

TEST(EndProgramDeathTest, AFatalErrorShowsItsBoxAndEndsWithMinusOneWithoutCleanup) {
    freshLog("zorvan_cleanup_fatal");
    EXPECT_EXIT(
        {
            registerCleanup(countingCleanup);
            failAfterFiveSeconds();
            test::BoxAnswerer answerer(QMessageBox::Ok, [](const test::SeenBox& box) {
                std::fprintf(stderr, "box shown: [%s]\n", qUtf8Printable(box.text.simplified()));
            });
            // From a worker: the box still appears on the GUI thread.
            std::thread([] { outOfMemory(12); }).detach();
            QApplication::exec();
        },
        ::testing::ExitedWithCode(255), "box shown: \\[运行时出错! 错误信息：分配 12 字节内存失败!\\]");
    EXPECT_FALSE(std::filesystem::exists(cleanupLog));
}

TEST(EndProgram, FatalErrorTextHasItsFixedForm) {
    EXPECT_EQ(fatalErrorText(7, std::string("坏了")),
              "运行时出错!\n\n错误代码：7\n\n错误信息：坏了\n");
    EXPECT_EQ(fatalErrorText(std::nullopt, std::string("载入启动窗口失败")),
              "运行时出错!\n\n错误信息：载入启动窗口失败\n");
    EXPECT_EQ(fatalErrorText(-5, std::nullopt), "运行时出错!\n\n错误代码：-5\n\n");
    EXPECT_EQ(fatalErrorText(std::nullopt, std::nullopt), "运行时出错!\n\n");
}

}  // namespace
}  // namespace zorvan
