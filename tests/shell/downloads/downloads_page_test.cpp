// The downloads view as a queue the user arranges and a page of settings:
// rows moved by menu, key and drag run in their new order and come back in
// it; works at once, the speed limit and naming by performer from "设置".
#include "download/rate_limiter.h"
#include "shell/downloads/download_control.h"
#include "shell/downloads/download_manager.h"
#include "shell/downloads/download_settings_dialog.h"
#include "shell/downloads/download_tray.h"
#include "shell/downloads/downloads_view.h"
#include "shell/works/works_list_tools.h"
#include "shell/works/works_list_view.h"
#include "store/library_db.h"
#include "support/box_answerer.h"
#include "support/download_runner.h"
#include "support/loopback_server.h"
#include "support/nginx_server.h"
#include "support/program_fixture.h"
#include "support/queue_rows.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>

namespace zorvan {
namespace {

using namespace test;
namespace fs = std::filesystem;

class DownloadsPageTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        content = patternBytes(200000, 41);
        server = std::make_unique<LoopbackServer>(fileScript(content, [this](ScriptedReply& reply, const HttpRequest&, std::int64_t) {
            reply.bytesPerSecond = rate;
        }));
    }
    // Rows of the works list as a listing of `performer` fills it.
    void list(const char* performer, const std::vector<const char*>& songs) {
        QTreeWidget* works = main().worksList();
        works->clear();
        works->setProperty(listedPerformerProperty, QString::fromLatin1(performer));
        for (std::size_t i = 0; i < songs.size(); ++i)
            new QTreeWidgetItem(works, {QString::number(i + 1),
                                        QString::fromStdString(server->url("/m/" + std::string(performer) + "/" +
                                                                           std::to_string(i + 1) + ".mp4")),
                                        QString::fromUtf8(songs[i])});
    }
    std::vector<std::string> queueTitles() const {
        std::vector<std::string> titles;
        for (const QueueItem& item : downloadManager().queue().items()) titles.push_back(item.work.title);
        return titles;
    }
    std::string content;
    std::atomic<long> rate{20000};  // the server's threads read it
    std::unique_ptr<LoopbackServer> server;
};

TEST_F(DownloadsPageTest, RowsMovedByMenuKeyAndDragRunInTheirNewOrderAndComeBackInIt) {
    list("100001", {"一", "二", "三", "四"});
    main().worksList()->selectAll();
    main().downloadCommand()->trigger();
    ASSERT_NE(downloadsView(), nullptr);
    downloadsView()->button("全部暂停")->click();
    ASSERT_TRUE(waitUntil([] { return queueRowNames() == QStringList{"一", "二", "三", "四"}; }, 5000));
    DownloadsModel* rows = downloadsView()->rows();
    EXPECT_EQ(rows->headerData(DownloadsModel::Progress, Qt::Horizontal, Qt::DisplayRole).toString(), "进度");

    // Ctrl+Up takes the chosen rows to the top, keeping their order and
    // staying chosen; Ctrl+Down to the bottom.
    QApplication::setActiveWindow(downloadsView());
    downloadsView()->list()->setFocus();
    queueRowNamed("三")->setSelected(true);
    queueRowNamed("四")->setSelected(true);
    QTest::keyClick(downloadsView()->list(), Qt::Key_Up, Qt::ControlModifier);
    EXPECT_TRUE(waitUntil([] { return queueRowNames() == QStringList{"三", "四", "一", "二"}; }, 5000)) << queueRowNames().join(",").toStdString();
    EXPECT_EQ(downloadsView()->selectedIds().size(), 2u) << "the moved rows stay chosen";
    downloadsView()->list()->clearSelection();
    queueRowNamed("三")->setSelected(true);
    QTest::keyClick(downloadsView()->list(), Qt::Key_Down, Qt::ControlModifier);
    EXPECT_TRUE(waitUntil([] { return queueRowNames() == QStringList{"四", "一", "二", "三"}; }, 5000)) << queueRowNames().join(",").toStdString();
    // Dragged "一" and "二" dropped on the first row: before it.
    std::unique_ptr<QMimeData> dragged(rows->mimeData({rows->index(1, 0), rows->index(2, 0)}));
    rows->dropMimeData(dragged.get(), Qt::MoveAction, 0, 0, {});
    EXPECT_TRUE(waitUntil([] { return queueRowNames() == QStringList{"一", "二", "四", "三"}; }, 5000)) << queueRowNames().join(",").toStdString();
    EXPECT_EQ(queueTitles(), (std::vector<std::string>{"一", "二", "四", "三"})) << "the queue itself moved";

    // Saved in that order: a new start shows it, and works run in it.
    releaseDownloadManager();
    restoreDownloads();
    ASSERT_TRUE(waitUntil([] { return downloadsView() != nullptr && downloadManager().queue().items().size() == 4; }, 5000));
    EXPECT_EQ(queueTitles(), (std::vector<std::string>{"一", "二", "四", "三"}));
    EXPECT_EQ(queueRowNames(), (QStringList{"一", "二", "四", "三"}));
    rate = 2000000;
    downloadManager().applySettings([] {
        DownloadSettings one = downloadManager().settings();
        one.parallel = 1;
        return one;
    }());
    std::vector<std::string> started;
    BoxAnswerer end(QMessageBox::Ok);
    downloadsView()->button("全部继续")->click();
    ASSERT_TRUE(waitUntil([&] {
        for (const QueueItem& item : downloadManager().queue().items())
            if (item.state != ItemState::Paused && item.state != ItemState::Waiting &&
                std::find(started.begin(), started.end(), item.work.title) == started.end())
                started.push_back(item.work.title);
        return started.size() == 4;
    }, 20000));
    EXPECT_EQ(started, (std::vector<std::string>{"一", "二", "四", "三"}));

    // "移除" takes finished rows off the list and leaves their files.
    ASSERT_TRUE(waitUntil([] { return !downloadManager().queue().active(); }, 20000));
    downloadsView()->list()->selectAll();
    downloadsView()->button("移除")->click();
    ASSERT_TRUE(waitUntil([] { return queueRowCount() == 0; }, 2000));
    EXPECT_EQ(filesIn(downloadFolder()).size(), 4u);
}

TEST_F(DownloadsPageTest, TheSettingsPageRunsMoreAtOnceLimitsTheSpeedAndNamesFilesByPerformer) {
    showDownloadsView();
    downloadsView()->button("设置")->click();
    auto* page = downloadsView()->findChild<DownloadSettingsDialog*>();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(page->isVisible());
    EXPECT_EQ(page->findChild<QSpinBox*>("parallel")->value(), 2) << "the defaults";
    EXPECT_EQ(page->findChild<QSpinBox*>("connections")->value(), 5);
    EXPECT_EQ(page->findChild<QSpinBox*>("speedLimit")->text(), "不限");
    EXPECT_TRUE(page->findChild<QRadioButton*>("namingSong")->isChecked());
    page->findChild<QSpinBox*>("parallel")->setValue(3);
    page->findChild<QSpinBox*>("connections")->setValue(2);
    page->findChild<QSpinBox*>("speedLimit")->setValue(64);
    EXPECT_FALSE(page->findChild<QCheckBox*>("mediaFiles")->isChecked());
    page->findChild<QRadioButton*>("namingPerformer")->setChecked(true);
    EXPECT_TRUE(page->findChild<QCheckBox*>("mediaFiles")->isChecked()) << "performers' folders bring a media server's";
    const QSize before = page->size();
    page->findChild<QLineEdit*>("folder")->setText(QString::fromStdString(downloadFolder() + "/选的"));
    EXPECT_EQ(page->size(), before) << "the page keeps its size";
    page->findChild<QPushButton*>("ok")->click();
    const DownloadSettings chosen = downloadManager().settings();
    EXPECT_EQ(chosen.parallel, 3);
    EXPECT_EQ(chosen.connections, 2);
    EXPECT_EQ(chosen.speedLimitBytes(), 64 * 1024);
    EXPECT_EQ(chosen.naming, FileNaming::PerformerFolder);
    EXPECT_TRUE(chosen.withMediaFiles());
    EXPECT_FALSE(chosen.mediaFiles.has_value()) << "kept only when it differs from what the naming brings";
    EXPECT_TRUE(loadDownloadSettings() == chosen) << "kept in zorvan.ini";
    const std::string folder = downloadFolder();
    EXPECT_TRUE(folder.ends_with("/选的")) << folder;

    // Two performers' same-named songs land apart, three at once, and each
    // list ticks its own performer's files only (without the limit, for time).
    downloadManager().applySettings([] {
        DownloadSettings unlimited = downloadManager().settings();
        unlimited.speedLimitKiB = 0;
        return unlimited;
    }());
    rate = 100000;
    BoxAnswerer ends(QMessageBox::Ok);
    list("100001", {"晴天", "七里香", "稻香", "夜曲"});
    main().worksList()->selectAll();
    main().downloadCommand()->trigger();
    ASSERT_TRUE(waitUntil([] { return downloadManager().queue().totals().running == 3; }, 10000));
    ASSERT_TRUE(waitUntil([] { return !downloadManager().queue().active(); }, 30000));
    EXPECT_TRUE(readFile(folder + "/100001/1 晴天.mp4") == content);
    EXPECT_TRUE(readFile(folder + "/100001/4 夜曲.mp4") == content);
    // Named by performer, each saved work gets its .nfo for a media server
    // (and a poster, when its bytes are a video: these are not).
    EXPECT_TRUE(waitUntil([&folder] { return std::filesystem::exists(folder + "/100001/4 夜曲.nfo"); }, 10000));
    EXPECT_NE(readFile(folder + "/100001/1 晴天.nfo").find("<title>晴天</title>"), std::string::npos);
    // A listing brings an .nfo that no longer tells the work's record up to date.
    std::ofstream(folder + "/100001/1 晴天.nfo", std::ios::trunc) << "<musicvideo><title>旧名</title></musicvideo>\n";
    refreshListedMediaFiles();  // as the end of a listing does
    EXPECT_TRUE(waitUntil([&folder] {
        return readFile(folder + "/100001/1 晴天.nfo").find("<title>晴天</title>") != std::string::npos;
    }, 10000));
    // Without the media server's files a work still gets its poster, in the
    // user's cache; one that cannot be made is noted in the library.
    downloadManager().applySettings([] {
        DownloadSettings plain = downloadManager().settings();
        plain.mediaFiles = false;
        return plain;
    }());
    EXPECT_EQ(loadDownloadSettings().mediaFiles, std::optional<bool>(false));
    list("100002", {"晴天"});
    refreshDownloadedMarks({});
    EXPECT_TRUE(main().worksList()->topLevelItem(0)->icon(0).isNull()) << "100002's 晴天 is not downloaded";
    main().worksList()->topLevelItem(0)->setSelected(true);
    main().downloadCommand()->trigger();
    ASSERT_TRUE(waitUntil([] { return !downloadManager().queue().active(); }, 30000));
    EXPECT_TRUE(readFile(folder + "/100002/1 晴天.mp4") == content);
    const auto noted = [&folder] {
        std::string error;
        const std::unique_ptr<LibraryDb> db = LibraryDb::open(libraryDbPath(), error);
        return db && db->posterNotes().current(folder + "/100002/1 晴天.mp4").has_value();
    };
    EXPECT_TRUE(waitUntil(noted, 10000)) << "its bytes are no video";
    EXPECT_FALSE(std::filesystem::exists(folder + "/100002/1 晴天.nfo"));
    refreshDownloadedMarks({});
    EXPECT_FALSE(main().worksList()->topLevelItem(0)->icon(0).isNull());
    list("100001", {"晴天", "七里香"});
    refreshDownloadedMarks({});
    EXPECT_FALSE(main().worksList()->topLevelItem(1)->icon(0).isNull());

    // Back to one folder: the works saved in performers' folders keep their
    // ticks (the library knows them) and "全部下载" fetches none again.
    downloadManager().applySettings([] {
        DownloadSettings flat = downloadManager().settings();
        flat.naming = FileNaming::SongName;
        return flat;
    }());
    EXPECT_TRUE(waitUntil([&] {
        refreshDownloadedMarks({});
        return !main().worksList()->topLevelItem(0)->icon(0).isNull() &&
               !main().worksList()->topLevelItem(1)->icon(0).isNull();
    }, 5000));
    BoxAnswerer allThere(QMessageBox::Ok);
    main().downloadAllCommand()->trigger();
    ASSERT_TRUE(waitUntil([&] { return allThere.seen().has_value(); }, 5000)) << "once the library's copy knows the files";
    EXPECT_EQ(allThere.seen()->text, "列表中的作品都已下载。");
}

// The tray icon's tooltip: the queue's counts, and while works run the
// speed and, with every size known, the time left.
TEST(DownloadTray, TheTooltipSaysTheQueuesCountsSpeedAndTimeLeft) {
    QueueTotals totals;
    EXPECT_EQ(trayToolTip(totals), "Zorvan") << "nothing left: the name alone";
    totals.running = 2;
    totals.waiting = 3;
    totals.done = 1;
    totals.speed = 300000;
    totals.bytesLeft = 12600000;
    EXPECT_EQ(trayToolTip(totals), "Zorvan\n下载中 2 个，等待 3 个，已暂停 0 个，完毕 1 个\n速度 293 KiB/秒，还需 0:42");
    totals.sizesUnknown = 1;
    EXPECT_EQ(trayToolTip(totals), "Zorvan\n下载中 2 个，等待 3 个，已暂停 0 个，完毕 1 个\n速度 293 KiB/秒");
}

}  // namespace
}  // namespace zorvan
