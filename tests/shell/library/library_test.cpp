// The main window's own commands: the downloaded-files view and stay-on-top.
#include "shell/library/stay_on_top.h"
#include "download_policy/download_folder.h"
#include "shell/windows/main_window.h"
#include "shell/windows/window_geometry.h"
#include "support/program_fixture.h"

#include <QAction>
#include <QGroupBox>
#include <QListWidget>
#include <gtest/gtest.h>

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
    main().viewDownloadedCommand()->trigger();
    EXPECT_EQ(outerWidth(&main()), 300);
    EXPECT_TRUE(main().downloadedGroup()->isHidden()) << "nothing of it sticks out at the edge";
    EXPECT_EQ(main().downloadedList()->count(), 2) << "refreshed on closing too";
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
