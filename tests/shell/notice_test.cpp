#include "shell/notice.h"
#include "shell/program_state.h"
#include "shell/windows.h"
#include "shell/windows/main_window.h"
#include "support/box_answerer.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace zorvan {
namespace {

class NoticeTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(loadWindow(WindowKind::Main)); }
    void TearDown() override { destroyAllWindows(); }
};

TEST_F(NoticeTest, IsOwnedByTheVisibleMainWindowAndReturnsZeroOnOk) {
    test::BoxAnswerer answerer(QMessageBox::Ok);
    EXPECT_EQ(showNotice(QStringLiteral("获取信息出错！请重试")), 0);
    ASSERT_TRUE(answerer.seen());
    const test::SeenBox& box = *answerer.seen();
    EXPECT_EQ(box.caption, "友情提醒");
    EXPECT_EQ(box.text, "获取信息出错！请重试");
    EXPECT_EQ(box.icon, QMessageBox::Information);
    EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(box.buttonTexts, QStringList{"确定"}) << "Qt's own texts in Chinese";
    EXPECT_EQ(box.owner, mainWindow());
    EXPECT_TRUE(programState().windowScanList.empty());
}

TEST_F(NoticeTest, AWorkersNoticeIsAnsweredOnTheGuiThread) {
    test::BoxAnswerer answerer(QMessageBox::Ok);
    std::atomic<int> result{99};
    std::atomic<bool> done{false};
    // A code page 936 text ("请重试") converted on its way to the box.
    std::thread worker([&] {
        result = showNoticeText("\xC7\xEB\xD6\xD8\xCA\xD4");
        done = true;
    });
    const bool answered = test::waitUntil([&] { return done.load(); });
    worker.join();
    ASSERT_TRUE(answered);
    EXPECT_EQ(result.load(), 0);
    ASSERT_TRUE(answerer.seen());
    EXPECT_EQ(answerer.seen()->text, "请重试");
    EXPECT_EQ(answerer.seen()->owner, mainWindow());
    EXPECT_TRUE(programState().windowScanList.empty());
}

TEST_F(NoticeTest, WithEveryWindowHiddenTheNoticeHasNoOwner) {
    mainWindow()->hide();
    EXPECT_EQ(findProcessWindow(currentProcessId()), nullptr);
    EXPECT_EQ(findProcessWindow(currentProcessId() + 1), nullptr);
    test::BoxAnswerer answerer(QMessageBox::Ok);
    EXPECT_EQ(showNotice(QStringLiteral("x")), 0);
    ASSERT_TRUE(answerer.seen());
    EXPECT_EQ(answerer.seen()->owner, nullptr);
}

TEST_F(NoticeTest, ScanListsEveryProgramWindowWithTheActiveOneFirst) {
    const auto records = scanWindows();
    EXPECT_TRUE(programState().windowScanList.empty());
    bool sawMain = false, sawPreview = false;
    for (const auto& record : records) {
        EXPECT_EQ(record.processId, currentProcessId());
        sawMain |= record.window == mainWindow();
        sawPreview |= record.window == reinterpret_cast<QWidget*>(previewWindow());
    }
    EXPECT_TRUE(sawMain);
    EXPECT_TRUE(sawPreview);
    if (QWidget* active = QApplication::activeWindow()) {
        EXPECT_EQ(records.front().window, active);
    }
    EXPECT_EQ(findProcessWindow(currentProcessId()), mainWindow());
}

}  // namespace
}  // namespace zorvan
