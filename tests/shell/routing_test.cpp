#include "shell/windows/download_window.h"
#include "shell/routing.h"
#include "shell/windows.h"
#include "shell/windows/local_player_window.h"
#include "shell/windows/main_window.h"
#include "shell/windows/preview_window.h"
#include "shell/windows/window_geometry.h"
#include "shell/windows/works_menu.h"
#include "support/box_answerer.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zorvan {
namespace {

// Records which routine each event reached.
class RoutingTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = routines();
        auto note = [this](const char* name) { return [this, name] { hit(name); }; };
        Routines& r = routines();
        r.attachSkin = note("attachSkin");
        r.previewSelectedWork = note("preview");
        r.downloadSelectedWork = note("download");
        r.toggleDownloadedView = note("viewDownloaded");
        r.toggleStayOnTop = note("stayOnTop");
        r.playDownloadedFile = [this](const QString& entry) { hit("play:" + entry.toStdString()); };
        r.createPreviewPlayer = note("createPreviewPlayer");
        r.fitPreviewPlayer = note("fitPreviewPlayer");
        r.stopPreview = note("stopPreview");
        r.applyPreviewStayOnTop = note("applyPreviewStayOnTop");
        r.releasePreviewStayOnTop = note("releasePreviewStayOnTop");
        r.createLocalPlayer = note("createLocalPlayer");
        r.startDownloadInWindow = note("startDownloadInWindow");
        r.showDownloadProgress = note("showDownloadProgress");
        r.retrieveWorks = [this] {
            workerThread_ = std::this_thread::get_id();
            hit("retrieveWorks");
        };
        ASSERT_TRUE(loadWindow(WindowKind::Main));
    }
    void TearDown() override {
        destroyAllWindows();
        routines() = saved_;
    }

    void hit(std::string name) {
        std::lock_guard lock(mutex_);
        hits_.push_back(std::move(name));
    }
    std::vector<std::string> takeHits() {
        std::lock_guard lock(mutex_);
        return std::exchange(hits_, {});
    }
    MainWindow& main() { return *mainWindow(); }

    Routines saved_;
    std::mutex mutex_;
    std::vector<std::string> hits_;
    std::atomic<std::thread::id> workerThread_{};
};

TEST_F(RoutingTest, MainWindowCreationLoadsPreviewThenAttachesSkin) {
    EXPECT_EQ(takeHits(), (std::vector<std::string>{"createPreviewPlayer", "attachSkin"}));
}

TEST_F(RoutingTest, EachCommandReachesExactlyOneRoutine) {
    takeHits();
    main().playCommand()->trigger();
    main().downloadCommand()->trigger();
    main().viewDownloadedCommand()->trigger();
    main().stayOnTopCommand()->trigger();
    QTest::mouseDClick(main().worksList()->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    main().downloadedList()->addItem("歌.mp4");
    QListWidgetItem* entry = main().downloadedList()->item(0);
    emit main().downloadedList()->itemDoubleClicked(entry);
    EXPECT_EQ(takeHits(), (std::vector<std::string>{"preview", "download", "viewDownloaded", "stayOnTop",
                                                    "preview", "play:歌.mp4"}));
}

TEST_F(RoutingTest, FetchEmptiesTheListAndRetrievesOnAWorkerThread) {
    new QTreeWidgetItem(main().worksList(), QStringList{"1", "http://a/1.mp4", "歌"});
    takeHits();
    main().fetchButton()->click();
    EXPECT_EQ(main().worksList()->topLevelItemCount(), 0);
    ASSERT_TRUE(test::waitUntil([this] { return workerThread_.load() != std::thread::id{}; }));
    EXPECT_NE(workerThread_.load(), std::this_thread::get_id());
    EXPECT_EQ(takeHits(), (std::vector<std::string>{"retrieveWorks"}));
}

TEST_F(RoutingTest, PopupMenuOpensThreePixelsRightAndBelowTheCursor) {
    EXPECT_EQ(worksMenuPosition(QPoint(100, 200)), QPoint(103, 203));
    QCursor::setPos(150, 160);
    const QPoint cursor = QCursor::pos();
    QPoint openedAt(-1, -1);
    bool sawMenu = false;
    QTimer::singleShot(50, [&] {
        if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            sawMenu = popup == main().worksMenu();
            openedAt = popup->pos();
            popup->close();
        }
    });
    QTimer::singleShot(2000, [] {  // never leave a test hanging in the menu
        if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    });
    // With an empty list the menu still shows.
    ASSERT_EQ(main().worksList()->topLevelItemCount(), 0);
    emit main().worksList()->customContextMenuRequested(QPoint(5, 5));
    EXPECT_TRUE(sawMenu);
    EXPECT_EQ(openedAt, cursor + QPoint(3, 3));
}

TEST_F(RoutingTest, DownloadWindowStaysDockedAboveAndAsWideAsTheMainWindow) {
    ASSERT_TRUE(loadWindow(WindowKind::Download));
    EXPECT_EQ(takeHits().back(), "startDownloadInWindow");
    DownloadWindow* download = downloadWindow();

    moveOuter(&main(), 300, 400);
    EXPECT_EQ(outerLeft(download), 300);
    EXPECT_EQ(outerTop(download), 321);
    moveOuter(&main(), 40, 90);
    EXPECT_EQ(outerLeft(download), 40);
    EXPECT_EQ(outerTop(download), 11);
    // Docked by its whole frame: a taller one (a title bar) sits higher.
    setOuterSize(download, outerWidth(download), 97);
    moveOuter(&main(), 40, 200);
    EXPECT_EQ(outerTop(download), 200 - 97 - 2);

    setOuterWidth(&main(), 526);
    EXPECT_EQ(outerWidth(download), 526);
    EXPECT_EQ(download->progressBar()->width(), 524);
    for (int part = 0; part < DownloadWindow::partCount; ++part) EXPECT_EQ(download->partWidth(part), 131);
    setOuterWidth(&main(), 290);
    EXPECT_EQ(outerWidth(download), 290);
    EXPECT_EQ(download->partWidth(3), 72);

    download->timer()->start(1);
    ASSERT_TRUE(test::waitUntil([this] {
        const auto hits = takeHits();
        return !hits.empty() && hits.back() == "showDownloadProgress";
    }));
}

TEST_F(RoutingTest, ClosingThePreviewHidesItAndBringsTheMainWindowBack) {
    PreviewWindow* preview = previewWindow();
    main().hide();
    preview->show();
    takeHits();
    preview->close();
    EXPECT_EQ(previewWindow(), preview) << "never destroyed";
    EXPECT_FALSE(preview->isVisible());
    EXPECT_TRUE(main().isVisible());
    EXPECT_EQ(takeHits(), (std::vector<std::string>{"stopPreview", "releasePreviewStayOnTop"}));
    preview->show();
    EXPECT_EQ(takeHits(), (std::vector<std::string>{"applyPreviewStayOnTop"}));
    preview->resize(700, 600);
    EXPECT_EQ(takeHits(), (std::vector<std::string>{"fitPreviewPlayer"}));
    preview->hide();
}

TEST_F(RoutingTest, EscClosesTheDownloadAndLocalPlayerWindows) {
    ASSERT_TRUE(loadWindow(WindowKind::Download));
    QPointer<DownloadWindow> download = downloadWindow();
    download->activateWindow();
    QTest::keyClick(download.data(), Qt::Key_Escape);
    ASSERT_TRUE(test::waitUntil([&] { return download.isNull(); }));

    ASSERT_TRUE(loadWindow(WindowKind::LocalPlayer));
    QPointer<LocalPlayerWindow> player = localPlayerWindow();
    EXPECT_EQ(takeHits().back(), "createLocalPlayer");
    main().hide();
    QTest::keyClick(player.data(), Qt::Key_Escape);
    ASSERT_TRUE(test::waitUntil([&] { return player.isNull(); }));
    EXPECT_TRUE(main().isVisible()) << "closing the local player brings the main window back";
}

}  // namespace
}  // namespace zorvan
