#pragma once

#include "app/program_routines.h"
#include "download_policy/download_folder.h"
#include "shell/downloads/download_manager.h"
#include "shell/language.h"
#include "shell/program_state.h"
#include "shell/routing.h"
#include "shell/settings/download_settings.h"
#include "shell/settings/program_settings.h"
#include "shell/settings/window_memory.h"
#include "shell/windows.h"
#include "shell/windows/main_window.h"
#include "store/library_db.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace zorvan::test {

// The program as it runs: its own routines and the main window, with an
// empty video/ folder before and after each test.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::remove_all(downloadFolder());
        removeLibrary();
        forgetWindowMemory();
        forgetDownloadSettings();
        useLanguage(Language::Chinese);
        saved_ = routines();
        installProgramRoutines("http://127.0.0.1:1");
        ASSERT_TRUE(loadWindow(WindowKind::Main));
    }
    void TearDown() override {
        // Each test starts with an empty queue and no saved one.
        releaseDownloadManager();
        destroyAllWindows();
        routines() = saved_;
        std::filesystem::remove_all(downloadFolder());
        removeLibrary();
        forgetWindowMemory();
        forgetDownloadSettings();
    }
    static void forgetDownloadSettings() {
        programSettings().remove("downloads");
        loadDownloadSettings();
    }
    static void removeLibrary() {
        const std::string db = libraryDbPath();
        for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(db + suffix);
    }
    MainWindow& main() { return *mainWindow(); }

private:
    Routines saved_;
};

}  // namespace zorvan::test
