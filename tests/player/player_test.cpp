// The media host and the preview and local playback flows, with a real
// clip decoded offscreen: the position must advance and real pictures must
// reach the video sink.
#include "player/control_bar.h"
#include "player/flash_host.h"
#include "player/player_view.h"
#include "shell/playback/preview.h"
#include "shell/playback/program_player.h"
#include "shell/library/stay_on_top.h"
#include "download_policy/download_folder.h"
#include "shell/program_state.h"
#include "shell/windows.h"
#include "shell/windows/local_player_window.h"
#include "shell/windows/main_window.h"
#include "shell/windows/preview_window.h"
#include "support/box_answerer.h"
#include "support/download_runner.h"
#include "support/loopback_server.h"
#include "support/program_fixture.h"
#include "support/test_clip.h"
#include "web/http_client_init.h"

#include <QAction>
#include <QDir>
#include <QPainter>
#include <QPixmap>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QSlider>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace zorvan {
namespace {

using namespace test;

// Until the host's player has passed half a second with a real picture.
bool playsRealVideo(PlayerView* view, int timeoutMs = 15000) {
    return waitUntil([view] { return view && view->position() > 500 && isRealPicture(currentFrame(view->videoSink())); },
                     timeoutMs);
}

// A picture of the window with the video frame drawn where the player
// shows it (a window's own picture leaves video areas blank).
void saveWithVideo(QWidget* window, PlayerView* view, const QString& name) {
    QPixmap picture = window->grab();
    QPainter painter(&picture);
    const QRect area(view->videoArea()->mapTo(window, QPoint(0, 0)), view->videoArea()->size());
    const QImage frame = currentFrame(view->videoSink()).scaled(area.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    painter.fillRect(area, Qt::black);
    painter.drawImage(area.x() + (area.width() - frame.width()) / 2, area.y() + (area.height() - frame.height()) / 2, frame);
    painter.end();
    QDir().mkpath("screenshots");
    EXPECT_TRUE(picture.save("screenshots/" + name + ".png"));
}

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(initHttpClient());
        ASSERT_FALSE(testClipPath().empty()) << "ffmpeg could not make the test clip";
    }
};

TEST_F(PlayerTest, TheHostPlaysAClipFromDiskAndOverHttpAndSaysWhyAnAddressFails) {
    QWidget window;
    window.resize(400, 300);
    window.show();
    FlashHost host;
    host.StopMovie();  // never created: harmless
    EXPECT_FALSE(host.LoadMovie("x"));
    EXPECT_EQ(host.SetWidth(10, true), 0);
    QWidget* created = host.Create(&window, 0, 0, 400, 274, 3);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(host.Create(&window, 5, 5, 10, 10), created) << "a live host is reused";
    EXPECT_EQ(host.RecordIndex(), static_cast<int>(flashHostRecords().size()));
    EXPECT_EQ(host.controlBar()->geometry(), QRect(0, 274, 400, ControlBar::barHeight));
    EXPECT_EQ(host.SetHeight(200, true), 200);
    EXPECT_EQ(host.SetHeight(999, false), 200) << "reads without applying";
    EXPECT_EQ(host.controlBar()->y(), 200) << "the bar stays under the player";
    EXPECT_FALSE(host.LoadMovie(""));

    ASSERT_TRUE(host.LoadMovie(QString::fromStdString(testClipPath()), true));
    EXPECT_FALSE(host.Loop());
    EXPECT_TRUE(playsRealVideo(host.control())) << "from disk";

    LoopbackServer server(fileScript(testClipBytes()));
    const QString listed = QString::fromStdString(server.url("/m/clip.mp4")).replace("/", "\\/");
    ASSERT_TRUE(host.LoadMovie("http://127.0.0.1:1/res/play/player.swf?url=" + listed));
    EXPECT_TRUE(host.Loop()) << "loops unless told not to";
    EXPECT_TRUE(playsRealVideo(host.control())) << "over HTTP through the player movie's address";
    EXPECT_TRUE(host.IsPlaying());

    LoopbackServer missing([](const HttpRequest&) {
        ScriptedReply reply;
        reply.status = "404 Not Found";
        reply.body = "no";
        return reply;
    });
    ASSERT_TRUE(host.LoadMovie(QString::fromStdString(missing.url("/gone.mp4"))));
    EXPECT_TRUE(waitUntil([&] { return host.control()->message().contains("404"); }, 15000))
        << host.control()->message().toStdString();
    host.LoadMovie(QString::fromStdString(std::filesystem::temp_directory_path().string() + "/none.mp4"));
    EXPECT_EQ(host.control()->message(), "无法播放：找不到这个文件");
    // A stopped service and a page that is no video are said within 5 s.
    int closedPort;
    {
        LoopbackServer gone([](const HttpRequest&) { return ScriptedReply{}; });
        closedPort = gone.port();
    }
    ASSERT_TRUE(host.LoadMovie(QString::fromStdString("http://127.0.0.1:" + std::to_string(closedPort) + "/a.mp4")));
    EXPECT_TRUE(waitUntil([&] { return host.control()->message() == "无法播放：无法连接服务器"; }, 5000))
        << host.control()->message().toStdString();
    EXPECT_FALSE(host.control()->isPlaying()) << "a failed source shows \"play\", not \"pause\"";
    LoopbackServer page([](const HttpRequest&) {
        ScriptedReply reply;
        reply.body = "<html><body>not a video</body></html>";
        return reply;
    });
    ASSERT_TRUE(host.LoadMovie(QString::fromStdString(page.url("/b.mp4"))));
    EXPECT_TRUE(waitUntil([&] { return host.control()->message().startsWith("无法播放："); }, 5000))
        << host.control()->message().toStdString();

    host.StopMovie();
    EXPECT_FALSE(host.IsPlaying());
    host.Destroy();
    EXPECT_FALSE(host.IsCreated());
    EXPECT_EQ(host.RecordIndex(), 0);
}

TEST(FlashHostProcedure, MenuModeThreeKeepsTheContextMenuFromTheControl) {
    FlashHostRecord record;
    QMouseEvent rightDown(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::RightButton, Qt::RightButton,
                          Qt::NoModifier);
    QMouseEvent leftDown(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                         Qt::NoModifier);
    QKeyEvent menuKey(QEvent::KeyPress, Qt::Key_Menu, Qt::NoModifier);
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
    EXPECT_FALSE(hostSwallows(record, &rightDown));
    EXPECT_FALSE(hostSwallows(record, &menuKey));
    record.suppressMenu = true;
    EXPECT_TRUE(hostSwallows(record, &rightDown));
    EXPECT_TRUE(hostSwallows(record, &menuKey));
    EXPECT_FALSE(hostSwallows(record, &leftDown)) << "left clicks reach the movie";
    EXPECT_FALSE(hostSwallows(record, &space)) << "other keys too";
    // A notification routine that answers false swallows its message.
    record.routines[FlashHostRecord::LeftDown] = [](int, int, int) { return false; };
    EXPECT_TRUE(hostSwallows(record, &leftDown));
}

class PlaybackFlowTest : public ProgramTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(initHttpClient());
        ASSERT_FALSE(testClipPath().empty());
        if (!playerStarted()) startPlayer();
        ProgramTest::SetUp();
    }
};

TEST_F(PlaybackFlowTest, PreviewTakesTheMainWindowsPlaceAndReusesItsHost) {
    LoopbackServer service(fileScript(testClipBytes()));
    programState().serviceAddress = service.url("");
    PreviewWindow* preview = previewWindow();
    ASSERT_NE(preview, nullptr);
    QWidget* host = programFlashHost().HostWindow();
    ASSERT_NE(host, nullptr) << "made when the preview window was";

    main().playCommand()->trigger();
    EXPECT_FALSE(preview->isVisible()) << "an empty list previews nothing";

    main().show();
    auto* row = new QTreeWidgetItem(main().worksList(),
                                    {"1", QString::fromStdString(service.url("/media/1.mp4")).replace("/", "\\/"), "光年之外"});
    main().worksList()->setCurrentItem(row);
    main().stayOnTopCommand()->trigger();
    main().playCommand()->trigger();
    EXPECT_TRUE(preview->isVisible());
    EXPECT_FALSE(main().isVisible());
    EXPECT_EQ(preview->windowTitle(), "光年之外     已置顶");
    EXPECT_TRUE(playsRealVideo(programFlashHost().control()));
    saveWithVideo(preview, programFlashHost().control(), "preview_window_playing");

    preview->close();
    EXPECT_FALSE(preview->isVisible());
    EXPECT_TRUE(main().isVisible());
    EXPECT_FALSE(programFlashHost().IsPlaying()) << "closing stops it";
    main().playCommand()->trigger();
    EXPECT_EQ(programFlashHost().HostWindow(), host) << "the same host plays again";
    EXPECT_EQ(preview->windowTitle(), "光年之外     已置顶") << "one marker";
    preview->close();
    main().stayOnTopCommand()->trigger();
}

TEST_F(PlaybackFlowTest, ADownloadedFilePlaysInTheLocalPlayerUntilItCloses) {
    std::filesystem::create_directories(downloadFolder());
    std::filesystem::copy_file(testClipPath(), downloadFolder() + "/光年之外.mp4");
    main().viewDownloadedCommand()->trigger();
    ASSERT_EQ(main().downloadedList()->count(), 1);
    QListWidgetItem* entry = main().downloadedList()->item(0);
    emit main().downloadedList()->itemDoubleClicked(entry);

    LocalPlayerWindow* player = localPlayerWindow();
    ASSERT_NE(player, nullptr);
    EXPECT_FALSE(main().isVisible());
    EXPECT_EQ(player->windowTitle(), "光年之外.mp4");
    auto* view = player->findChild<PlayerView*>();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(playsRealVideo(view));
    saveWithVideo(player, view, "local_player_window_playing");
    view->seekBy(1000);
    EXPECT_TRUE(waitUntil([view] { return view->position() > 1500; }, 5000)) << "a local file can be sought";
    // A click on the seek bar goes there; the keys stay with the picture.
    QSlider* seek = player->findChild<ControlBar*>()->seekSlider();
    ASSERT_GT(seek->maximum(), 0);
    QTest::mouseClick(seek, Qt::LeftButton, {}, QPoint(seek->width() * 3 / 4, seek->height() / 2));
    EXPECT_TRUE(waitUntil([&] { return view->position() > view->duration() / 2; }, 5000)) << view->position();
    EXPECT_FALSE(seek->hasFocus());
    // Full screen has its own control bar, which a still mouse hides.
    view->toggleFullScreen();
    auto* bar = view->window()->findChild<ControlBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_TRUE(waitUntil([&] { return !bar->isVisible(); }, 4000));
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    EXPECT_TRUE(bar->isVisible());
    view->toggleFullScreen();

    player->close();
    EXPECT_TRUE(waitUntil([] { return localPlayerWindow() == nullptr; }));
    EXPECT_TRUE(main().isVisible());
    main().viewDownloadedCommand()->trigger();
}

}  // namespace
}  // namespace zorvan
