// The window as a download manager: several works queued at once, the
// downloads view with its states and buttons, pausing, cancelling, and a
// queue that closing keeps for the next start, paused.
#include "download/part_record.h"
#include "shell/downloads/download_control.h"
#include "shell/downloads/download_manager.h"
#include "shell/downloads/downloads_view.h"
#include "shell/library/library_snapshot.h"
#include "shell/language.h"
#include "shell/windows/download_window.h"
#include "shell/works/works_list_tools.h"
#include "shell/works/works_list_view.h"
#include "store/library_db.h"
#include "support/box_answerer.h"
#include "support/download_runner.h"
#include "support/loopback_server.h"
#include "support/nginx_server.h"
#include "support/notification_catcher.h"
#include "support/program_fixture.h"
#include "support/queue_rows.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <filesystem>
#include <fstream>

namespace zorvan {
namespace {

using namespace test;
namespace fs = std::filesystem;

// Three works at /m/1.mp4 ... /m/3.mp4, each its own bytes, paced.
class DownloadsWingTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        for (int i = 0; i < 3; ++i) contents.push_back(patternBytes(300000, 30 + i));
        server = std::make_unique<LoopbackServer>(script());
        const char* names[] = {"小幸运", "起风了", "光年之外"};
        for (int i = 0; i < 3; ++i)
            new QTreeWidgetItem(main().worksList(), {QString::number(i + 1),
                                                     QString::fromStdString(server->url("/m/" + std::to_string(i + 1) + ".mp4")),
                                                     QString::fromUtf8(names[i])});
    }
    std::string file(const char* name) const { return downloadFolder() + "/" + name + ".mp4"; }
    std::optional<QueueRow> viewRow(const char* name) const { return queueRowNamed(QString::fromUtf8(name)); }
    LoopbackServer::Script script() {
        return [this](const HttpRequest& request) {
            const std::size_t n = static_cast<std::size_t>(request.target[3] - '1');
            std::string content;
            {
                std::lock_guard hold(contentsLock);
                content = contents.at(n);
            }
            return fileScript(content, [this](ScriptedReply& reply, const HttpRequest&, std::int64_t) {
                if (validators) reply.headers.push_back("ETag: \"w\"");
                reply.bytesPerSecond = rate;
            })(request);
        };
    }
    std::vector<std::string> contents;
    std::mutex contentsLock;  // a test may replace a file while the server's threads read it
    std::atomic<long> rate{1000000};  // the server's threads read it while the test changes it
    std::atomic<bool> validators{true};
    std::unique_ptr<LoopbackServer> server;
};

TEST_F(DownloadsWingTest, SelectedRowsAreQueuedTogetherAndDownloadAllSkipsWhatIsThere) {
    main().worksList()->topLevelItem(0)->setSelected(true);
    main().worksList()->topLevelItem(1)->setSelected(true);
    {
        // A batch's end is told on the desktop, once, with nothing to answer.
        NotificationCatcher notices;
        ASSERT_TRUE(notices.ready());
        BoxAnswerer none(QMessageBox::Ok);
        main().downloadCommand()->trigger();
        ASSERT_NE(downloadsView(), nullptr) << "a batch shows the downloads view";
        EXPECT_TRUE(downloadsView()->isVisible());
        EXPECT_EQ(downloadsView()->addedNote(), "已加入 2 个作品") << "how many were queued is said";
        ASSERT_TRUE(waitUntil([&] { return !notices.seen().empty(); }, 15000));
        EXPECT_EQ(notices.bodies(), QStringList{"完成 2 个，失败 0 个"}) << "one summary, not a notice per work";
        EXPECT_EQ(notices.seen().front().summary, "Zorvan 下载");
        EXPECT_FALSE(none.seen().has_value()) << "no box to answer";
    }
    EXPECT_TRUE(readFile(file("小幸运")) == contents[0]);
    EXPECT_TRUE(readFile(file("起风了")) == contents[1]);
    ASSERT_TRUE(viewRow("小幸运"));
    EXPECT_EQ(viewRow("小幸运")->text(5), "完毕");
    EXPECT_TRUE(downloadsView()->totalLine()->text().startsWith("完毕 2 个，失败 0 个，剩余 0 个"))
        << downloadsView()->totalLine()->text().toStdString();
    {
        // Finished works have nothing to cancel: no question, files and rows stay.
        BoxAnswerer none(QMessageBox::Yes);
        downloadsView()->list()->selectAll();
        downloadsView()->button("取消")->click();
        EXPECT_FALSE(none.seen().has_value());
        EXPECT_EQ(queueRowCount(), 2);
        downloadsView()->list()->clearSelection();
    }

    // "全部下载" under a search filter: what it shows, nothing else.
    main().filterEdit()->setText("小幸运");
    {
        BoxAnswerer answers(QMessageBox::Ok);
        main().downloadAllCommand()->trigger();
        ASSERT_TRUE(waitUntil([&] { return answers.seen().has_value(); }, 5000));
        EXPECT_EQ(answers.seen()->text, "列表中的作品都已下载。") << "光年之外 is not shown";
    }
    main().filterEdit()->clear();

    // "全部下载": only the work whose file is not there, and the usual "完毕".
    server->resetBytesSent();
    {
        BoxAnswerer answers(QMessageBox::Ok);
        main().downloadAllCommand()->trigger();
        ASSERT_TRUE(waitUntil([&] { return answers.seen().has_value(); }, 15000));
        EXPECT_EQ(answers.seen()->text, "完毕");
    }
    EXPECT_TRUE(readFile(file("光年之外")) == contents[2]);
    EXPECT_LT(server->bytesSent(), 400000) << "the two files that were there were not fetched again";
    EXPECT_EQ(filesIn(downloadFolder()).size(), 3u);
    BoxAnswerer answers(QMessageBox::Ok);
    main().downloadAllCommand()->trigger();
    ASSERT_TRUE(waitUntil([&] { return answers.seen().has_value(); }, 5000)) << "once the library's copy knows the files";
    EXPECT_EQ(answers.seen()->text, "列表中的作品都已下载。");
}

TEST_F(DownloadsWingTest, PauseAndCancelFromTheViewAndClosingKeepsTheQueuePausedForTheNextStart) {
    rate = 60000;  // five seconds a work: time to act on it
    main().worksList()->selectAll();
    main().downloadCommand()->trigger();
    ASSERT_NE(downloadsView(), nullptr);
    const QueueMirror& queue = downloadManager().queue();
    ASSERT_TRUE(waitUntil([&] { return queue.totals().running == 2 && queue.items()[0].done > 50000; }, 10000));

    viewRow("小幸运")->setSelected(true);
    downloadsView()->button("暂停")->click();
    ASSERT_TRUE(waitUntil([&] { return viewRow("小幸运")->text(5) == "已暂停"; }, 5000));
    downloadsView()->list()->clearSelection();
    viewRow("起风了")->setSelected(true);
    {
        BoxAnswerer yes(QMessageBox::Yes);
        downloadsView()->button("取消")->click();
        ASSERT_TRUE(yes.seen());
        EXPECT_EQ(yes.seen()->text, "取消下载“起风了”吗？已下载的部分将被删除。");
    }
    ASSERT_TRUE(waitUntil([&] { return !viewRow("起风了"); }, 5000)) << "a cancelled work leaves the list";
    EXPECT_FALSE(fs::exists(partPathOf(file("起风了"))));
    EXPECT_FALSE(fs::exists(file("起风了")));

    // Closing asks while work is left; "no" keeps the program.
    {
        BoxAnswerer no(QMessageBox::No);
        EXPECT_FALSE(confirmEnd());
        ASSERT_TRUE(no.seen());
        EXPECT_EQ(no.seen()->text, "还有 2 个下载未完成，退出吗？下次启动时继续。");
    }
    // "Yes" and a new start: the queue comes back paused, nothing runs.
    const auto doneOf = [](const char* title) {
        for (const QueueItem& item : downloadManager().queue().items())
            if (item.work.title == title) return item.done;
        return std::int64_t{-1};
    };
    ASSERT_TRUE(waitUntil([&] { return doneOf("光年之外") > 0; }, 10000));
    releaseDownloadManager();
    ASSERT_TRUE(fs::exists(partPathOf(file("小幸运"))));
    const std::int64_t kept = loadPartRecord(recordPathOf(file("小幸运")))->doneBytes();
    // One part file deleted by hand meanwhile: its work starts at nothing.
    removePartFiles(file("光年之外"));
    restoreDownloads();
    ASSERT_TRUE(waitUntil([] { return downloadsView() && downloadsView()->isVisible(); }, 5000))
        << "a saved queue is shown at the start";
    ASSERT_EQ(downloadManager().queue().items().size(), 2u);
    for (const QueueItem& item : downloadManager().queue().items()) EXPECT_EQ(item.state, ItemState::Paused);
    EXPECT_EQ(doneOf("小幸运"), kept);
    EXPECT_EQ(doneOf("光年之外"), 0);
    settleFor(1000);  // the service's steps go on meanwhile
    EXPECT_EQ(downloadManager().queue().totals().running, 0) << "nothing downloads without the user's word";

    rate = 1000000;
    server->resetBytesSent();
    downloadsView()->button("全部继续")->click();
    ASSERT_TRUE(waitUntil([&] { return !downloadManager().queue().active(); }, 15000));
    EXPECT_TRUE(readFile(file("小幸运")) == contents[0]);
    EXPECT_TRUE(readFile(file("光年之外")) == contents[2]);
    EXPECT_LT(server->bytesSent(), 600000 - kept + 100000) << "the paused work went on from its part";
    EXPECT_EQ(filesIn(downloadFolder()).size(), 2u) << "no part file is left";
    // What finished stays as the queue's history, with its ids and where it
    // was saved; nothing runs, and "清除已完成" clears it for good.
    std::vector<std::pair<int, std::string>> finished;
    for (const QueueItem& item : downloadManager().queue().items()) finished.emplace_back(item.id, item.savedPath);
    releaseDownloadManager();
    restoreDownloads();
    ASSERT_TRUE(waitUntil([] { return downloadManager().queue().items().size() == 2; }, 5000));
    for (std::size_t i = 0; i < finished.size(); ++i) {
        const QueueItem& item = downloadManager().queue().items()[i];
        EXPECT_EQ(item.state, ItemState::Done);
        EXPECT_EQ(item.id, finished[i].first);
        EXPECT_EQ(item.savedPath, finished[i].second);
        EXPECT_GT(item.finishedAt, 0);
    }
    EXPECT_EQ(downloadManager().unfinished(), 0);
    EXPECT_FALSE(downloadsView() && downloadsView()->isVisible()) << "nothing to take up: the view is not opened";
    showDownloadsView();
    downloadsView()->button("清除已完成")->click();
    ASSERT_TRUE(waitUntil([] { return downloadManager().queue().items().empty(); }, 5000));
    releaseDownloadManager();
    restoreDownloads();
    settleFor(500);
    EXPECT_TRUE(downloadManager().queue().items().empty()) << "cleared, and gone at the next start";
}

// Many works are paused, and cancelled with one question, from the
// buttons and the Delete key alike.
TEST_F(DownloadsWingTest, PauseAllCancelAllAndDeleteActOnManyAfterOneQuestion) {
    rate = 20000;  // still running when they are acted on
    main().worksList()->selectAll();
    main().downloadCommand()->trigger();
    ASSERT_NE(downloadsView(), nullptr);
    const QueueMirror& queue = downloadManager().queue();
    ASSERT_TRUE(waitUntil([&] { return queue.totals().running == 2 && queue.items()[0].speed > 0; }, 10000));
    downloadsView()->refresh();
    // A running row: its size, a bar with its share, its rate and time left.
    const std::optional<QueueRow> running = viewRow("小幸运");
    ASSERT_TRUE(running);
    EXPECT_EQ(running->text(1), "293 KiB");
    const int share = running->data(2, Qt::UserRole).toInt();
    EXPECT_TRUE(share >= 0 && share < 100) << share;
    EXPECT_EQ(running->text(2), QString::number(share) + "%");
    EXPECT_TRUE(running->text(3).endsWith(" KiB/秒")) << running->text(3).toStdString();
    EXPECT_TRUE(running->text(4).contains(':')) << running->text(4).toStdString();
    downloadsView()->button("全部暂停")->click();
    ASSERT_TRUE(waitUntil([&] { return queue.totals().paused == 3; }, 5000));
    EXPECT_EQ(running->text(3), "") << "no rate, no time left for a paused work";
    EXPECT_EQ(running->text(4), "");

    int asked = 0;
    QString question;
    const auto seen = [&](const SeenBox& box) {
        ++asked;
        question = box.text;
    };
    {
        BoxAnswerer no(QMessageBox::No, seen);
        viewRow("小幸运")->setSelected(true);
        viewRow("起风了")->setSelected(true);
        QTest::keyClick(downloadsView()->list(), Qt::Key_Delete);
    }
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(question, "取消 2 个下载吗？已下载的部分将被删除。");
    EXPECT_EQ(queue.items().size(), 3u) << "\"no\" keeps them";
    {
        BoxAnswerer yes(QMessageBox::Yes, seen);
        downloadsView()->button("全部取消")->click();
    }
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(question, "取消 3 个下载吗？已下载的部分将被删除。");
    ASSERT_TRUE(waitUntil([&] { return queue.items().empty() && queueRowCount() == 0; }, 10000));
    EXPECT_TRUE(filesIn(downloadFolder()).empty()) << "no part file is left";
}

// The server lost in the middle of a batch: the total line says so at
// once, and when it is back the works go on by themselves, every file exact.
TEST_F(DownloadsWingTest, AServerLostMidBatchIsSaidAtOnceAndTheWorksGoOnWhenItIsBack) {
    rate = 40000;  // seconds a work: under way when the server goes
    main().worksList()->selectAll();
    NotificationCatcher notices;
    BoxAnswerer unexpected(QMessageBox::Ok);  // a batch's end is a notice, never a box to answer
    main().downloadCommand()->trigger();
    ASSERT_NE(downloadsView(), nullptr);
    const QueueMirror& queue = downloadManager().queue();
    ASSERT_TRUE(waitUntil([&] { return queue.totals().running == 2 && queue.items()[0].done > 50000; }, 10000));
    const int port = server->port();
    server.reset();
    ASSERT_TRUE(waitUntil([&] { return downloadsView()->totalLine()->text().startsWith("连接中断，正在重试。"); }, 10000))
        << downloadsView()->totalLine()->text().toStdString();
    rate = 1000000;
    server = std::make_unique<LoopbackServer>(script(), port);
    ASSERT_TRUE(waitUntil([&] { return !notices.seen().empty(); }, 30000));
    EXPECT_EQ(notices.bodies(), QStringList{"完成 3 个，失败 0 个"});
    EXPECT_FALSE(unexpected.seen().has_value()) << unexpected.seen()->text.toStdString();
    EXPECT_TRUE(readFile(file("小幸运")) == contents[0]);
    EXPECT_TRUE(readFile(file("起风了")) == contents[1]);
    EXPECT_TRUE(readFile(file("光年之外")) == contents[2]);
}

// The view's buttons act in English as in Chinese: a command is its
// button's source text, not its label.
TEST_F(DownloadsWingTest, TheViewsCommandsWorkInEnglish) {
    rate = 20000;  // still running when it is paused
    useLanguage(Language::English);
    struct Back {
        ~Back() { useLanguage(Language::Chinese); }
    } back;
    main().worksList()->topLevelItem(1)->setSelected(true);
    main().worksList()->topLevelItem(2)->setSelected(true);
    main().downloadCommand()->trigger();
    ASSERT_NE(downloadsView(), nullptr);
    const QueueMirror& queue = downloadManager().queue();
    ASSERT_TRUE(waitUntil([&] { return queue.totals().running == 2; }, 10000));
    queueRowAt(0)->setSelected(true);
    ASSERT_NE(downloadsView()->button("Pause"), nullptr);
    downloadsView()->button("Pause")->click();
    ASSERT_TRUE(waitUntil([&] { return queue.items().front().state == ItemState::Paused; }, 5000));
    EXPECT_EQ(queueRowAt(0)->text(5), "Paused");
    downloadsView()->button("Continue")->click();
    EXPECT_TRUE(waitUntil([&] { return queue.items().front().state != ItemState::Paused; }, 5000));
    // A long line under the rows grows the view downwards, never off the screen.
    downloadsView()->totalLine()->setText(QString("The server cannot be reached; waiting for it. ").repeated(4));
    EXPECT_LE(downloadsView()->minimumSizeHint().width(), 480);
    EXPECT_EQ(downloadsView()->width(), 480) << "opened beside the main window on a 1280 px screen";
}

// A running work's row in the saved queue follows its bytes, not only its
// changes of state: a program that ends leaves the size and share it had.
TEST_F(DownloadsWingTest, ARunningWorksSavedRowFollowsItsBytes) {
    rate = 20000;  // seconds a work: still running at the end
    main().worksList()->topLevelItem(2)->setSelected(true);
    main().downloadCommand()->trigger();
    const auto done = [] {
        const auto& items = downloadManager().queue().items();
        return items.empty() ? std::int64_t{0} : items.front().done;
    };
    ASSERT_TRUE(waitUntil([&] { return done() > 150000; }, 20000));  // a save interval and more since it started
    const std::int64_t reached = done();
    releaseDownloadManager();
    std::string error;
    auto db = LibraryDb::open(libraryDbPath(), error);
    ASSERT_TRUE(db) << error;
    const std::vector<SavedWork> saved = db->queue().load(error);
    ASSERT_EQ(saved.size(), 1u) << error;
    EXPECT_GE(saved[0].done, reached);
    EXPECT_EQ(saved[0].total, 300000) << "its size, learned after it was queued";
}

// A program that ended unexpectedly after a work was saved, before its
// queue was, leaves the work in the saved queue with its file whole:
// continuing it finds the file is this work's and fetches it not again.
TEST_F(DownloadsWingTest, ASavedWorkWhoseFileIsAlreadyWholeIsCheckedNotFetchedAgain) {
    main().worksList()->topLevelItem(0)->setSelected(true);
    {
        BoxAnswerer done(QMessageBox::Ok);
        main().downloadCommand()->trigger();
        ASSERT_TRUE(waitUntil([&] { return done.seen().has_value(); }, 15000));
    }
    const Work work = downloadManager().queue().items().front().work;
    releaseDownloadManager();
    {
        std::string error;
        auto db = LibraryDb::open(libraryDbPath(), error);
        ASSERT_TRUE(db) << error;
        QueueChanges left;
        left.written = {{work.title, work.address, work.path, "", -1, 0, work.service, work.performer, work.sequence,
                         work.songName, 0}};
        ASSERT_TRUE(db->queue().apply(left, error)) << error;
    }
    restoreDownloads();
    ASSERT_TRUE(waitUntil([] { return downloadManager().queue().items().size() == 1u; }, 5000));
    server->resetBytesSent();
    BoxAnswerer done(QMessageBox::Ok);
    downloadsView()->button("全部继续")->click();
    ASSERT_TRUE(waitUntil([&] { return done.seen().has_value(); }, 15000));
    EXPECT_EQ(downloadManager().queue().items().front().state, ItemState::Skipped);
    EXPECT_EQ(filesIn(downloadFolder()), std::vector<std::string>{"小幸运.mp4"}) << "no second copy";
    EXPECT_TRUE(readFile(file("小幸运")) == contents[0]);
    EXPECT_LT(server->bytesSent(), 300000 / 2) << "checked, not fetched again";
}

// A work is its performer, sequence and song: after one performer's songs
// are downloaded, another's songs of the same names are not "there".
TEST_F(DownloadsWingTest, AnotherPerformersSameNamedSongsHaveNoTickAndDownloadAllSavesThemBeside) {
    QTreeWidget* list = main().worksList();
    const auto ticked = [list](int row) { return !list->topLevelItem(row)->icon(0).isNull(); };
    list->setProperty(listedPerformerProperty, "100001");
    main().downloadAllCommand()->trigger();
    ASSERT_TRUE(waitUntil([&] { return !downloadManager().queue().active(); }, 15000));
    for (int row = 0; row < 3; ++row) EXPECT_TRUE(ticked(row)) << row;
    // The library learns whose files they are off the window's thread.
    ASSERT_TRUE(waitUntil([&] {
        std::string error;
        const auto db = LibraryDb::open(libraryDbPath(), error);
        return db && db->files().all(error).size() == 3u;
    }, 5000));
    // And the window's copy of it, read off its thread, has them too.
    ASSERT_TRUE(waitUntil([] { return librarySnapshot().fresh(); }, 5000));

    // The other performer's listing: the same names at other addresses.
    list->clear();
    list->setProperty(listedPerformerProperty, "100002");
    const char* names[] = {"小幸运", "起风了", "光年之外"};
    for (int i = 0; i < 3; ++i)
        new QTreeWidgetItem(list, {QString::number(i + 1),
                                   QString::fromStdString(server->url("/n/" + std::to_string(i + 1) + ".mp4")),
                                   QString::fromUtf8(names[i])});
    refreshDownloadedMarks();
    for (int row = 0; row < 3; ++row) EXPECT_FALSE(ticked(row)) << "another performer's song " << row;
    {
        NotificationCatcher notices;
        BoxAnswerer answers(QMessageBox::Ok);
        main().downloadAllCommand()->trigger();
        ASSERT_TRUE(waitUntil([&] { return !notices.seen().empty(); }, 15000));
        EXPECT_FALSE(answers.seen().has_value()) << "no question about the files of the same names";
        EXPECT_EQ(notices.bodies(), QStringList{"完成 3 个，失败 0 个"});
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(readFile(file(names[i])) == contents[static_cast<std::size_t>(i)]) << "the first left as it was";
        EXPECT_TRUE(readFile(downloadFolder() + "/" + names[i] + "(1).mp4") == contents[static_cast<std::size_t>(i)]);
        // Once the library has it written (off the window's thread).
        EXPECT_TRUE(waitUntil([&] { return ticked(i); }, 5000)) << "its own file now";
    }
}

// A server without validators replaced the file, of the same size, while
// the work was paused: continuing fetches the new file whole, never a mix.
TEST_F(DownloadsWingTest, APausedWorkWhoseFileChangedOnAServerWithoutValidatorsComesBackWholeNeverMixed) {
    validators = false;
    rate = 60000;
    main().worksList()->topLevelItem(0)->setSelected(true);
    main().worksList()->topLevelItem(1)->setSelected(true);
    main().downloadCommand()->trigger();
    const QueueMirror& queue = downloadManager().queue();
    ASSERT_TRUE(waitUntil([&] { return !queue.items().empty() && queue.items()[0].done > 100000; }, 10000));
    const int id = queue.items()[0].id;
    downloadManager().pauseAll();
    ASSERT_TRUE(waitUntil([&] { return !queue.active(); }, 5000));
    ASSERT_TRUE(fs::exists(partPathOf(file("小幸运"))));
    const std::string replaced = patternBytes(300000, 77);
    {
        std::lock_guard hold(contentsLock);
        contents[0] = replaced;
    }
    rate = 1000000;
    downloadManager().resumeAll();
    ASSERT_TRUE(waitUntil([&] { return queue.item(id)->settled() && !queue.active(); }, 15000));
    EXPECT_EQ(queue.item(id)->state, ItemState::Done);
    EXPECT_EQ(queue.item(id)->startedOver, static_cast<int>(StartOverReason::FileChanged));
    EXPECT_TRUE(readFile(file("小幸运")) == replaced) << "the new file, byte for byte";
    EXPECT_TRUE(readFile(file("起风了")) == contents[1]) << "the unchanged one continued";
}

}  // namespace
}  // namespace zorvan
