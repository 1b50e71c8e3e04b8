// The main window's own commands: the downloaded-files view and stay-on-top.
#include "shell/library/library_actions.h"
#include "shell/library/stay_on_top.h"
#include "download_policy/download_folder.h"
#include "shell/windows/main_window.h"
#include "shell/windows/window_geometry.h"
#include "support/box_answerer.h"
#include "support/program_fixture.h"

#include <QAction>
#include <QDateTime>
#include <QGroupBox>
#include <QListWidget>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace zorvan {
namespace {

namespace fs = std::filesystem;

using LibraryTest = test::ProgramTest;

TEST_F(LibraryTest, TheLibraryViewListsEveryMp4BelowVideo) {
    fs::create_directories(downloadFolder() + "/sub");
    fs::create_directories(downloadFolder() + "/.hidden");
    for (const char* name : {"/A.MP4", "/sub/b.mp4", "/.hidden/c.mp4", "/notes.txt"})
        std::ofstream(downloadFolder() + name) << "x";
    main().viewDownloadedCommand()->trigger();
    EXPECT_EQ(outerWidth(&main()), 526);
    EXPECT_FALSE(main().downloadedGroup()->isHidden());
    QStringList names;
    for (int i = 0; i < main().downloadedList()->count(); ++i) names << main().downloadedList()->item(i)->text();
    EXPECT_EQ(names, (QStringList{"A.MP4", "b.mp4"}));
    // Shown by name; played, opened and deleted where it is.
    EXPECT_EQ(entryOf(*main().downloadedList()->item(0)), "A.MP4");
    EXPECT_EQ(entryOf(*main().downloadedList()->item(1)), "sub/b.mp4");
    main().viewDownloadedCommand()->trigger();
    EXPECT_EQ(outerWidth(&main()), 300);
    EXPECT_TRUE(main().downloadedGroup()->isHidden()) << "nothing of it sticks out at the edge";
    EXPECT_EQ(main().downloadedList()->count(), 2) << "refreshed on closing too";
}

TEST_F(LibraryTest, AnEntryShowsItsSizeAndDateAndIsDeletedToTheTrashOnlyWhenTheUserSaysSo) {
    EXPECT_EQ(libraryEntryDetails(19'700'000, QDateTime(QDate(2026, 12, 8), QTime(5, 31)).toSecsSinceEpoch()),
              "大小 19.7 MB，2026-12-08 05:31");
    fs::create_directories(downloadFolder());
    const std::string file = downloadFolder() + "/晴天.mp4";
    std::ofstream(file) << "a work";
    main().viewDownloadedCommand()->trigger();
    ASSERT_EQ(main().downloadedList()->count(), 1);

    // A trash on the download folder's own disk, as the desktop's would be.
    const std::string home = fs::weakly_canonical(fs::absolute(downloadFolder() + "/../library-test-data")).string();
    fs::remove_all(home);
    const std::string saved = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    ::setenv("XDG_DATA_HOME", home.c_str(), 1);
    {
        test::BoxAnswerer no(QMessageBox::No);
        EXPECT_FALSE(deleteLibraryEntry("晴天.mp4"));
        ASSERT_TRUE(no.seen());
        EXPECT_EQ(no.seen()->text, "删除“晴天.mp4”吗？文件将移到回收站。");
    }
    EXPECT_TRUE(fs::exists(file));
    {
        test::BoxAnswerer yes({QMessageBox::Yes, QMessageBox::Ok});
        EXPECT_TRUE(deleteLibraryEntry("晴天.mp4")) << yes.all().back().text.toStdString();
    }
    ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(fs::exists(home + "/Trash/files/晴天.mp4"));
    EXPECT_TRUE(fs::exists(home + "/Trash/info/晴天.mp4.trashinfo")) << "the desktop can put it back";
    EXPECT_EQ(main().downloadedList()->count(), 0) << "the list follows";
    fs::remove_all(home);
    {
        test::BoxAnswerer ok(QMessageBox::Ok);
        EXPECT_FALSE(deleteLibraryEntry("gone.mp4"));
        ASSERT_TRUE(ok.seen());
        EXPECT_EQ(ok.seen()->text, "找不到文件“gone.mp4”");
    }
    main().viewDownloadedCommand()->trigger();
}

TEST_F(LibraryTest, StayOnTopTwiceGivesTheTitleBack) {
    main().setWindowTitle("Zorvan");
    main().stayOnTopCommand()->trigger();
    EXPECT_EQ(main().windowTitle(), "Zorvan     已置顶");
    EXPECT_TRUE(main().windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(main().isVisible());
    QWidget other;
    applyStayOnTop(&other);
    EXPECT_TRUE(other.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(other.windowTitle(), "     已置顶");
    releaseStayOnTop(&other);
    EXPECT_FALSE(other.windowFlags() & Qt::WindowStaysOnTopHint);
    main().stayOnTopCommand()->trigger();
    EXPECT_EQ(main().windowTitle(), "Zorvan");
    EXPECT_FALSE(main().windowFlags() & Qt::WindowStaysOnTopHint);
}

}  // namespace
}  // namespace zorvan
