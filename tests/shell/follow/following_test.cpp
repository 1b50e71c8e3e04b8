// Following performers in the window: "关注" from the works menu, the
// checks that mark new works, "下载新作品", and a failed check said on its
// performer's row.
#include "shell/follow/follow_control.h"
#include "shell/follow/follow_watch.h"
#include "shell/library/library_jobs.h"
#include "shell/follow/following_view.h"

#include "support/box_answerer.h"
#include "support/demo_service.h"
#include "support/download_runner.h"
#include "support/program_fixture.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <filesystem>

namespace zorvan {
namespace {

using namespace test;

class FollowingTest : public ProgramTest {
protected:
    void TearDown() override {
        releaseFollowWatch();
        delete followingView();
        ProgramTest::TearDown();
    }
    QTreeWidgetItem* row(const char* id) const {
        const auto rows = followingView()->list()->findItems(QString::fromLatin1(id), Qt::MatchExactly, 0);
        return rows.isEmpty() ? nullptr : rows.front();
    }
    // Waits for a round of checks that starts now to end.
    bool checkRound(QPushButton* button) {
        bool ended = false;
        QObject::connect(followWatch(), &FollowWatch::roundEnded, followingView(), [&ended] { ended = true; },
                         Qt::SingleShotConnection);
        if (button) button->click();
        if (!waitUntil([&] { return ended; }, 30000)) return false;
        // The view reads the list again off the window's thread: jobs run in
        // order, so once one handed over now is back, so is its reading.
        bool back = false;
        onLibrary<int>([](LibraryDb*, std::string&) { return 0; }, [&back](int, const std::string&) { back = true; });
        return waitUntil([&] { return back; }, 5000);
    }
};

TEST_F(FollowingTest, ANewWorkIsMarkedAtTheNextCheckAndDownloadedAndAFailedCheckIsSaid) {
    const std::string media = freshFolder("follow-media");
    const auto clips = makeDemoClips(media, 3000);
    DemoService service(media);
    routines().changeService(service.url());
    ASSERT_NE(followWatch(), nullptr) << "the watch starts with the main window";
    waitUntil([] { return !followWatch()->checking(); }, 10000);

    // "关注" follows the id in the box; its first check is where following begins.
    main().performerIdEdit()->setText("100001");
    main().followCommand()->trigger();
    ASSERT_TRUE(waitUntil([] { return followingView() != nullptr; }, 5000)) << "followed off the window's thread";
    EXPECT_TRUE(followingView()->isVisible());
    ASSERT_TRUE(waitUntil([&] { return row("100001") != nullptr; }, 5000));
    ASSERT_TRUE(waitUntil([&] { return !followWatch()->checking(); }, 30000));
    ASSERT_TRUE(waitUntil([&] { return row("100001") && row("100001")->text(2) == "36"; }, 5000));
    EXPECT_EQ(row("100001")->text(1), "") << "nothing is new at the first check";
    EXPECT_EQ(row("100001")->text(4), "");

    // The service publishes a work: the next check marks it.
    useQuickEngineSettings();
    ASSERT_EQ(runDownload(quickParams(service.url() + "/admin/add-work?lumono=100001", media + "/added", 1)).outcome,
              TaskOutcome::Complete);
    ASSERT_TRUE(checkRound(followingView()->button("立即检查")));
    EXPECT_EQ(row("100001")->text(1), "1 个新作品");
    EXPECT_EQ(row("100001")->text(2), "37");

    // "下载新作品" fetches exactly it; then nothing is new.
    {
        BoxAnswerer done(QMessageBox::Ok);
        followingView()->button("下载新作品")->click();
        ASSERT_TRUE(waitUntil([&] { return done.seen().has_value(); }, 30000));
        EXPECT_EQ(done.seen()->text, "完毕");
    }
    const auto files = filesIn(downloadFolder());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0], "新作品 37.mp4");
    EXPECT_TRUE(readFile(downloadFolder() + "/" + files[0]) == clips[36 % 3]);
    ASSERT_TRUE(checkRound(followingView()->button("立即检查")));
    EXPECT_EQ(row("100001")->text(1), "");
    {
        BoxAnswerer none(QMessageBox::Ok);
        followingView()->button("下载新作品")->click();
        ASSERT_TRUE(waitUntil([&] { return none.seen().has_value(); }, 5000));
        EXPECT_EQ(none.seen()->text, "没有要下载的新作品。");
    }

    // A performer the service does not know: said on its row, the other kept.
    main().performerIdEdit()->setText("999999");
    main().followCommand()->trigger();
    ASSERT_TRUE(waitUntil([&] { return !followWatch()->checking() && row("999999") && !row("999999")->text(4).isEmpty(); },
                          30000));
    EXPECT_EQ(row("999999")->text(4), "检查失败：服务说没有这个主播");
    EXPECT_EQ(row("100001")->text(4), "");
    followingView()->list()->clearSelection();
    row("999999")->setSelected(true);
    BoxAnswerer yes(QMessageBox::Yes);
    followingView()->button("取消关注")->click();
    ASSERT_TRUE(yes.seen());
    EXPECT_TRUE(waitUntil([&] { return row("999999") == nullptr; }, 5000));
    EXPECT_NE(row("100001"), nullptr);
}

}  // namespace
}  // namespace zorvan
