// The main road through the GUI: a listed work, "下载", the progress window
// above the main window and the end message.
#include "app/program_routines.h"
#include "download/engine_settings.h"
#include "download/part_record.h"
#include "shell/downloads/download_control.h"
#include "shell/downloads/download_manager.h"
#include "shell/library/library_snapshot.h"
#include "shell/downloads/download_texts.h"
#include "shell/windows/download_window.h"
#include "download_policy/download_folder.h"
#include "shell/program_state.h"
#include "shell/routing.h"
#include "shell/windows.h"
#include "shell/windows/main_window.h"
#include "shell/windows/window_geometry.h"
#include "support/box_answerer.h"
#include "support/download_runner.h"
#include "support/loopback_server.h"
#include "support/nginx_server.h"
#include "support/program_fixture.h"

#include <QAction>
#include <QDir>
#include <QListWidget>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>

namespace zorvan {
namespace {

using namespace test;
namespace fs = std::filesystem;

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

class DownloadControlTest : public ProgramTest {
protected:
    void addWork(const QString& name, const QString& address, bool select = true) {
        auto* item = new QTreeWidgetItem(main().worksList(),
                                         {QString::number(main().worksList()->topLevelItemCount() + 1), address, name});
        if (select) main().worksList()->setCurrentItem(item);
    }
    // Chooses "下载" and waits until `boxes` boxes were answered (the end's
    // among them: what is chosen may wait for the library's copy to know
    // the files saved so far) and its window has gone again.
    void download(const BoxAnswerer& answers, std::size_t boxes) {
        main().downloadCommand()->trigger();
        ASSERT_TRUE(waitUntil([&] { return answers.all().size() >= boxes; }, 15000));
        ASSERT_TRUE(waitUntil([] { return downloadWindow() == nullptr && !downloadManager().queue().active(); }, 15000));
    }
};

TEST(SizeText, TwoDecimalsWithHalvesAwayFromZero) {
    EXPECT_EQ(sizeText(3670016), "3.5");
    EXPECT_EQ(sizeText(12 * 1048576), "12");
    EXPECT_EQ(sizeText(0), "0");
    EXPECT_EQ(sizeText(300000), "0.29");
    EXPECT_EQ(sizeText(5242), "0");      // 0.004999... stays below the half
    EXPECT_EQ(sizeText(5243), "0.01");   // 0.0050001 rounds up
    EXPECT_EQ(sizeText(-5243), "-0.01");
    EXPECT_EQ(sizeText(1048576LL * 3000), "3000");
}

TEST_F(DownloadControlTest, TheSelectedWorkLandsInVideoWhileTheWindowShowsItsProgress) {
    const std::string content = patternBytes(300000);
    std::atomic<int> cuts{0};
    LoopbackServer server([&](const HttpRequest& request) {
        ScriptedReply reply;
        const std::string range = request.header("Range");
        const std::size_t from = range.empty() ? 0 : std::stoul(range.substr(6));
        if (!range.empty()) {
            reply.status = "206 Partial Content";
            reply.headers = {"Content-Range: bytes " + std::to_string(from) + "-299999/300000"};
        }
        reply.body = content.substr(from);
        reply.bytesPerSecond = 30000;  // about two seconds: the one-second tick shows it
        reply.keepAlive = false;
        if (from == 60000 && cuts++ == 0) reply.closeAfter = 10000;  // one connection breaks once
        return reply;
    });
    EngineSettings quickRetry = engineSettings();
    const EngineSettings saved = quickRetry;
    quickRetry.retryPauseMs = 1500;  // long enough for a busy machine's ticks to see it
    setEngineSettings(quickRetry);
    // The address as the service writes it, with escaped slashes.
    QString listed = QString::fromStdString(server.url("/m/1.mp4")).replace("/", "\\/");
    addWork(QStringLiteral("光年之外"), listed);
    moveOuter(&main(), 200, 300);
    // What the download window shows beside the end's box: where the work
    // ended, not the reading of up to a second before.
    QString amountAtEnd, percentAtEnd;
    BoxAnswerer answerer(QMessageBox::Ok, [&](const SeenBox&) {
        if (!downloadWindow()) return;
        amountAtEnd = downloadWindow()->partText(2);
        percentAtEnd = downloadWindow()->partText(3);
    });

    main().downloadCommand()->trigger();
    DownloadWindow* window = downloadWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(waitUntil([&] { return window->windowTitle() == "正下载: 光年之外"; }, 5000))
        << window->windowTitle().toStdString();
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::Tool)) << "a small tool window";
    EXPECT_FALSE(window->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(window->closeEnabled()) << "no closing by the button from the start";
    EXPECT_EQ(outerTop(window), 300 - 79);
    EXPECT_EQ(outerLeft(window), 200);
    EXPECT_EQ(outerWidth(window), outerWidth(&main()));
    ASSERT_TRUE(waitUntil([&] { return downloadWindow() && downloadWindow()->partText(0) == "0.29M"; }, 5000));
    // The broken connection shows in the title while it is tried again, and goes.
    ASSERT_TRUE(waitUntil([&] { return downloadWindow() && downloadWindow()->windowTitle().contains("正在重试 1"); }, 5000));
    EXPECT_EQ(downloadWindow()->windowTitle(), "正下载: 光年之外（连接中断，正在重试 1）");
    ASSERT_TRUE(waitUntil([&] { return downloadWindow() && downloadWindow()->windowTitle() == "正下载: 光年之外"; }, 5000));
    setEngineSettings(saved);
    ASSERT_TRUE(waitUntil([&] { return downloadWindow() && downloadWindow()->partText(3).endsWith('%') &&
                                       downloadWindow()->partText(3) != "0%"; }, 5000));
    QDir().mkpath("screenshots");
    window->grab().save("screenshots/download_window_running.png");

    ASSERT_TRUE(waitUntil([] { return downloadWindow() == nullptr; }, 15000));
    ASSERT_TRUE(answerer.seen());
    EXPECT_EQ(answerer.seen()->text, "完毕");
    EXPECT_EQ(answerer.seen()->caption, "信息：");
    EXPECT_EQ(amountAtEnd, "0.29M");
    EXPECT_EQ(percentAtEnd, "100%");
    EXPECT_TRUE(readAll(downloadFolder() + "/光年之外.mp4") == content);
    EXPECT_EQ(server.requests().front().target, "/m/1.mp4");

    // The library view now lists it.
    main().viewDownloadedCommand()->trigger();
    ASSERT_EQ(main().downloadedList()->count(), 1);
    EXPECT_EQ(main().downloadedList()->item(0)->text(), "光年之外.mp4");
    main().grab().save("screenshots/main_window_with_download.png");
}

TEST_F(DownloadControlTest, AnExistingFileIsKeptWhateverTheAnswer) {
    NginxServer nginx;
    ASSERT_TRUE(nginx.running()) << nginx.error();
    const std::string content = nginx.addFile("s.mp4", 50000);
    fs::create_directories(downloadFolder());
    std::ofstream(downloadFolder() + "/歌.mp4") << "mine";
    addWork(QStringLiteral("歌"), QString::fromStdString(nginx.url("/s.mp4")));
    {
        BoxAnswerer answers({QMessageBox::Yes, QMessageBox::Ok});
        download(answers, 2);
        ASSERT_EQ(answers.all().size(), 2u);
        EXPECT_EQ(answers.all()[0].text, "文件已存在,继续下载吗?");
        EXPECT_EQ(answers.all()[0].buttonTexts, (QStringList{"是(&Y)", "否(&N)"})) << "Chinese buttons";
        EXPECT_EQ(answers.all()[1].text, "完毕");
    }
    EXPECT_EQ(readAll(downloadFolder() + "/歌.mp4"), "mine");
    EXPECT_TRUE(readAll(downloadFolder() + "/歌(1).mp4") == content);
    {
        BoxAnswerer answers({QMessageBox::No, QMessageBox::Ok});
        download(answers, 2);
        ASSERT_EQ(answers.all().size(), 2u);
        EXPECT_EQ(answers.all()[1].text, "完毕");
    }
    EXPECT_FALSE(fs::exists(downloadFolder() + "/歌(2).mp4"));

    // A name with path separators stays inside video/.
    addWork(QStringLiteral("../a/b\\c"), QString::fromStdString(nginx.url("/s.mp4")));
    {
        BoxAnswerer answers(QMessageBox::Ok);
        download(answers, 1);
    }
    EXPECT_TRUE(fs::exists(downloadFolder() + "/_.._a_b_c.mp4")) << "no hidden file either";
    // A name longer than the file system takes is cut at a character.
    const QString longName = QString(100, QChar(0x6B4C));  // 100 x "歌": 300 bytes in UTF-8
    addWork(longName, QString::fromStdString(nginx.url("/s.mp4")));
    {
        BoxAnswerer answers(QMessageBox::Ok);
        download(answers, 1);
        ASSERT_TRUE(answers.seen());
        EXPECT_EQ(answers.seen()->text, "完毕");
    }
    EXPECT_TRUE(fs::exists(downloadFolder() + "/" + QString(82, QChar(0x6B4C)).toStdString() + ".mp4"));
    // A failure is told as one, and leaves nothing.
    addWork(QStringLiteral("缺"), QString::fromStdString(nginx.url("/missing.mp4")));
    {
        BoxAnswerer answers(QMessageBox::Ok);
        download(answers, 1);
        ASSERT_TRUE(answers.seen());
        EXPECT_TRUE(answers.seen()->text.startsWith("下载失败")) << answers.seen()->text.toStdString();
    }
    EXPECT_FALSE(fs::exists(downloadFolder() + "/缺.mp4"));
}

TEST_F(DownloadControlTest, AWorkWhosePartFileIsThereIsContinuedFromWhereItStopped) {
    const std::string content = patternBytes(400000, 4);
    LoopbackServer server(pacedFile(content, 80000, 5));  // two seconds: the one-second tick shows it
    const std::string address = server.url("/m/2.mp4");
    const std::string path = downloadFolder() + "/红豆.mp4";
    fs::create_directories(downloadFolder());
    // What a download closed at 60 % left: the bytes it had, and its record.
    std::string part = content;
    std::fill(part.begin() + 240000, part.end(), '\0');
    std::ofstream(partPathOf(path), std::ios::binary) << part;
    PartRecord record;
    record.address = address;
    record.size = 400000;
    record.etag = "\"v1\"";
    record.done = {{0, 240000}};
    ASSERT_TRUE(savePartRecord(recordPathOf(path), record, false));
    addWork(QStringLiteral("红豆"), QString::fromStdString(address));
    BoxAnswerer answers(QMessageBox::Ok);

    main().downloadCommand()->trigger();
    ASSERT_TRUE(waitUntil([] { return downloadWindow() && downloadWindow()->windowTitle().contains("继续"); }, 5000));
    EXPECT_EQ(downloadWindow()->windowTitle(), "正下载: 红豆（从 60% 继续）");
    ASSERT_TRUE(waitUntil([] { return downloadWindow() && !downloadWindow()->partText(3).isEmpty(); }, 5000));
    EXPECT_GE(downloadWindow()->partText(3).chopped(1).toInt(), 60) << "the percentage starts at the share there";
    ASSERT_TRUE(waitUntil([] { return downloadWindow() == nullptr; }, 15000));
    ASSERT_TRUE(answers.seen());
    EXPECT_EQ(answers.seen()->text, "完毕");
    EXPECT_TRUE(readAll(path) == content);
    EXPECT_FALSE(fs::exists(partPathOf(path)));
    EXPECT_FALSE(fs::exists(recordPathOf(path)));
    EXPECT_EQ(server.requests().front().header("Range"), "bytes=240000-");
}

TEST_F(DownloadControlTest, NothingToDownloadIsSaidPlainly) {
    {
        BoxAnswerer answers(QMessageBox::Ok);
        main().downloadCommand()->trigger();
        ASSERT_TRUE(answers.seen());
        EXPECT_EQ(answers.seen()->text, "您还没获取数据哦！");
        EXPECT_EQ(downloadWindow(), nullptr);
    }
    // A row but none selected: the empty address cannot be fetched.
    addWork(QStringLiteral("x"), "http://h/x.mp4", false);
    BoxAnswerer answers(QMessageBox::Ok);
    main().downloadCommand()->trigger();
    ASSERT_TRUE(answers.seen());
    EXPECT_TRUE(answers.seen()->text.startsWith("无法下载"));
    EXPECT_EQ(downloadWindow(), nullptr) << "the window does not stay open with zeros";
}

TEST_F(DownloadControlTest, EscClosesTheWindowButTheTransferFinishes) {
    const std::string content = patternBytes(200000);
    LoopbackServer server([&](const HttpRequest&) {
        ScriptedReply reply;
        reply.body = content;
        reply.bytesPerSecond = 200000;
        return reply;
    });
    addWork(QStringLiteral("慢"), QString::fromStdString(server.url("/slow.mp4")));
    BoxAnswerer answers({QMessageBox::Ok, QMessageBox::Ok});
    main().downloadCommand()->trigger();
    ASSERT_NE(downloadWindow(), nullptr);
    QTest::keyClick(downloadWindow(), Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([] { return downloadWindow() == nullptr; }));
    // With the window gone but the transfer running, "下载" of the same work
    // says it is on its way already.
    main().downloadCommand()->trigger();
    ASSERT_TRUE(waitUntil([&] { return !downloadManager().queue().active() && answers.all().size() == 2; }, 15000));
    EXPECT_TRUE(readAll(downloadFolder() + "/慢.mp4") == content);
    EXPECT_EQ(answers.all()[0].text, "这个作品已在下载列表中。");
    EXPECT_EQ(answers.all()[1].text, "完毕");
}

}  // namespace
}  // namespace zorvan
