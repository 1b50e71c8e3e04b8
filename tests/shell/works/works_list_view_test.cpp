#include "app/program_routines.h"
#include "shell/routing.h"
#include "shell/windows.h"
#include "shell/windows/main_window.h"
#include "shell/works/retrieval_worker.h"
#include "support/box_answerer.h"
#include "support/loopback_server.h"
#include "web/http_client_init.h"

#include <QAction>
#include <QApplication>
#include <QTest>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace zorvan {
namespace {

using test::HttpRequest;
using test::LoopbackServer;
using test::ScriptedReply;

// Twenty works on page 1, answered slowly enough to click twice meanwhile.
ScriptedReply twentyWorks(const HttpRequest& request) {
    std::string json = "{\"pages\":1,\"data\":[";
    const bool firstPage = request.target.find("&p=1") != std::string::npos &&
                           request.target.find("&p=100") == std::string::npos;
    for (int i = 1; firstPage && i <= 20; ++i) {
        if (i > 1) json += ",";
        json += "{\"songname\":\"歌 " + std::to_string(i) + "\",\"addtime\":\"t\",\"resurl\":\"http://m/" +
                std::to_string(i) + ".mp4\",\"lumono\":\"1\"}";
    }
    ScriptedReply reply;
    reply.body = json + "]}";
    reply.delayMs = 100;
    return reply;
}

class WorksListViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(initHttpClient());
        saved_ = routines();
    }
    void TearDown() override {
        destroyAllWindows();
        routines() = saved_;
    }
    Routines saved_;
};

TEST_F(WorksListViewTest, FetchFillsTheListOnceAndRestoresTheWindow) {
    LoopbackServer service(twentyWorks);
    installProgramRoutines(service.url(""));
    ASSERT_TRUE(loadWindow(WindowKind::Main));
    MainWindow& window = *mainWindow();
    window.performerIdEdit()->setText("424242");

    window.fetchButton()->click();
    // A second click while the run is under way (its answers take 100 ms
    // each) changes nothing.
    ASSERT_TRUE(retrievalUnderWay());
    window.fetchButton()->click();
    ASSERT_TRUE(test::waitUntil([&] { return window.worksList()->topLevelItemCount() == 20 &&
                                             window.windowTitle() == "Zorvan"; }, 10000));
    EXPECT_EQ(service.requests().size(), 2u) << "one run: the p=100 request and page 1";
    EXPECT_EQ(service.requests()[0].target, "/u/works/s?lumono=424242&p=100");
    QTreeWidgetItem* last = window.worksList()->topLevelItem(19);
    EXPECT_EQ(last->text(0), "20");
    EXPECT_EQ(last->text(1), "http://m/20.mp4");
    EXPECT_EQ(last->text(2), "歌 20");
    EXPECT_EQ(window.fetchButton()->text(), "确定");
    EXPECT_TRUE(window.fetchButton()->isEnabled());

    // Once it has ended, "确定" starts again from an empty list.
    window.fetchButton()->click();
    EXPECT_EQ(window.worksList()->topLevelItemCount(), 0);
    ASSERT_TRUE(test::waitUntil([&] { return window.worksList()->topLevelItemCount() == 20 &&
                                             window.windowTitle() == "Zorvan"; }, 10000));
}

TEST_F(WorksListViewTest, AFailedFetchIsSaidAndTheProgramStaysReadyWithItsMarker) {
    installProgramRoutines("http://127.0.0.1:1");
    ASSERT_TRUE(loadWindow(WindowKind::Main));
    MainWindow& window = *mainWindow();
    window.stayOnTopCommand()->trigger();
    // The window shows that it works until the failure is said (a refused
    // connection fails too fast to catch the busy button by polling).
    bool busyWhileTold = false;
    QString captionWhileTold;
    test::BoxAnswerer answerer(QMessageBox::Ok, [&](const test::SeenBox&) {
        busyWhileTold = !window.fetchButton()->isEnabled();
        captionWhileTold = window.fetchButton()->text();
    });
    // Enter in the id box fetches.
    QTest::keyClick(window.performerIdEdit(), Qt::Key_Return);
    ASSERT_TRUE(test::waitUntil([&] { return answerer.seen() && window.fetchButton()->isEnabled(); }, 10000));
    EXPECT_TRUE(busyWhileTold);
    EXPECT_EQ(captionWhileTold, "请稍等");
    EXPECT_EQ(answerer.seen()->text, "获取信息出错！请重试");
    EXPECT_EQ(window.fetchButton()->text(), "确定");
    EXPECT_EQ(window.windowTitle(), "Zorvan     已置顶") << "the marker stays through a fetch";
    window.stayOnTopCommand()->trigger();
}

}  // namespace
}  // namespace zorvan
