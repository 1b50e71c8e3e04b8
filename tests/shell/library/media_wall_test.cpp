// "媒体库": the library as posters, chosen and ordered, read lazily.
#include "shell/library/media_wall.h"
#include "shell/library/media_wall_model.h"
#include "support/box_answerer.h"
#include "support/program_fixture.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace zorvan {
namespace {

namespace fs = std::filesystem;

using MediaWallTest = test::ProgramTest;

// A work's file in the download folder, recorded in the library; with a
// poster beside it when `colour` is valid.
WorkFile savedWork(const std::string& relative, const std::string& performer, int sequence, const std::string& song,
                   QColor colour) {
    const fs::path path = fs::path(downloadFolder()) / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "video of " << song;
    if (colour.isValid()) {
        QImage poster(320, 180, QImage::Format_RGB32);
        poster.fill(colour);
        poster.save(QString::fromStdString((path.parent_path() / (path.stem().string() + "-poster.jpg")).string()),
                    "JPG");
    }
    return {"k/" + performer + "/" + std::to_string(sequence), path.string(), 10, true, performer, sequence, song};
}

void record(const std::vector<WorkFile>& files, std::int64_t at) {
    std::string error;
    const auto db = LibraryDb::open(libraryDbPath(), error);
    ASSERT_TRUE(db) << error;
    for (const WorkFile& file : files) ASSERT_TRUE(db->files().record(file, at++, error)) << error;
}

// Reads the library again and waits until the wall shows it (it is read
// off the window's thread).
void reloadAndWait(MediaWall& wall) {
    bool done = false;
    QObject::connect(&wall, &MediaWall::reloaded, &wall, [&done] { done = true; }, Qt::SingleShotConnection);
    wall.reload();
    ASSERT_TRUE(test::waitUntil([&] { return done; }, 5000));
}

TEST_F(MediaWallTest, ShowsEachWorkWithItsPosterChosenByPerformerAndTextInEitherOrder) {
    MediaWall empty;
    reloadAndWait(empty);
    EXPECT_EQ(empty.status()->text(), "媒体库里还没有作品。");

    record({savedWork("100001/1 小幸运.mp4", "100001", 1, "小幸运", Qt::red),
            savedWork("100001/3 晴天.mp4", "100001", 3, "晴天", QColor()),
            savedWork("100004/2 晴天.mp4", "100004", 2, "晴天", Qt::blue),
            savedWork("稻香.mp4", "100004", 7, "稻香", Qt::green)},
           1000);
    fs::remove(fs::path(downloadFolder()) / "稻香.mp4");  // gone from the disk: not shown
    MediaWall wall;
    wall.show();
    reloadAndWait(wall);
    EXPECT_EQ(wall.shownEntries(), (QStringList{"100004/2 晴天.mp4", "100001/3 晴天.mp4", "100001/1 小幸运.mp4"}))
        << "newest first";
    EXPECT_EQ(wall.status()->text(), "共 3 个作品");
    ASSERT_EQ(wall.performerChoice()->count(), 3);  // everyone, and the two performers
    EXPECT_EQ(wall.performerChoice()->itemText(0), "全部主播");

    wall.orderChoice()->setCurrentIndex(1);
    EXPECT_EQ(wall.shownEntries(), (QStringList{"100001/1 小幸运.mp4", "100001/3 晴天.mp4", "100004/2 晴天.mp4"}));
    wall.performerChoice()->setCurrentIndex(wall.performerChoice()->findData("100004"));
    EXPECT_EQ(wall.shownEntries(), QStringList{"100004/2 晴天.mp4"});
    EXPECT_EQ(wall.status()->text(), "共 1 个作品");
    wall.performerChoice()->setCurrentIndex(0);
    wall.search()->setText("晴");
    EXPECT_EQ(wall.shownEntries(), (QStringList{"100001/3 晴天.mp4", "100004/2 晴天.mp4"}));
    wall.search()->clear();

    // The posters come in off the GUI thread; a work without one keeps its placeholder.
    const auto state = [&wall](const QString& entry) {
        QAbstractItemModel* model = wall.view()->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            const QModelIndex at = model->index(row, 0);
            if (at.data(MediaWallModel::EntryRole).toString() == entry) {
                at.data(Qt::DecorationRole);  // as painting asks
                return at.data(MediaWallModel::PosterStateRole).toInt();
            }
        }
        return -1;
    };
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return state("100001/1 小幸运.mp4") == MediaWallModel::PosterShown &&
               state("100004/2 晴天.mp4") == MediaWallModel::PosterShown &&
               state("100001/3 晴天.mp4") == MediaWallModel::PosterNone;
    }, 5000));
    // Its video could not be decoded either: the work says so.
    for (int row = 0; row < wall.view()->model()->rowCount(); ++row) {
        const QModelIndex at = wall.view()->model()->index(row, 0);
        const QString tip = at.data(Qt::ToolTipRole).toString();
        EXPECT_EQ(tip.contains("无法从这个视频生成海报"), at.data(MediaWallModel::EntryRole) == "100001/3 晴天.mp4")
            << tip.toStdString();
    }
    const QModelIndex first = wall.view()->model()->index(0, 0);
    const QPixmap poster = first.data(Qt::DecorationRole).value<QPixmap>();
    EXPECT_FALSE(poster.isNull());
    EXPECT_LE(poster.width(), 400) << "read at about the size it is shown";

    // A double-click plays the work, as the library view's does.
    QSignalSpy played(&wall, &MediaWall::playRequested);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&wall));
    QRect cell;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !(cell = wall.view()->visualRect(first)).isEmpty(); }, 2000));
    // As a mouse sends it: a click, then the second press as a double-click.
    QTest::mouseClick(wall.view()->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(wall.view()->viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_EQ(played.count(), 1);
    EXPECT_EQ(played.at(0).at(0).toString(), first.data(MediaWallModel::EntryRole).toString());

    // The library keeps the note: the next wall says so at once and does not try again.
    MediaWall later;
    reloadAndWait(later);
    bool said = false;
    for (int row = 0; row < later.view()->model()->rowCount(); ++row) {
        const QModelIndex at = later.view()->model()->index(row, 0);
        if (at.data(MediaWallModel::EntryRole) == "100001/3 晴天.mp4")
            said = at.data(Qt::ToolTipRole).toString().contains("无法从这个视频生成海报") &&
                   at.data(MediaWallModel::UndecodableRole).toBool();  // and under its placeholder
    }
    EXPECT_TRUE(said);
}

TEST_F(MediaWallTest, AThousandWorksReadOnlyThePostersInSight) {
    std::vector<WallEntry> entries;
    const fs::path folder = fs::path(downloadFolder()) / "100002";
    fs::create_directories(folder);
    QImage poster(320, 180, QImage::Format_RGB32);
    poster.fill(Qt::darkCyan);
    for (int n = 1; n <= 1000; ++n) {
        const std::string name = std::to_string(n) + " work";
        poster.save(QString::fromStdString((folder / (name + "-poster.jpg")).string()), "JPG");
        entries.push_back({QString::fromStdString("100002/" + name + ".mp4"),
                           QString::fromStdString((folder / (name + ".mp4")).string()),
                           QString::fromStdString(name), "100002", n, n});
    }
    MediaWall wall;
    wall.resize(820, 600);
    wall.show();
    wall.showEntries(entries);
    EXPECT_EQ(wall.status()->text(), "共 1000 个作品");
    QTest::qWait(500);
    EXPECT_TRUE(QTest::qWaitFor([&wall] { return wall.model()->loadsUnderWay() == 0; }, 5000));
    int read = 0;
    for (int row = 0; row < wall.model()->rowCount(); ++row)
        read += wall.model()->index(row).data(MediaWallModel::PosterStateRole).toInt() == MediaWallModel::PosterShown;
    EXPECT_GT(read, 0) << "the posters in sight are shown";
    EXPECT_LT(read, 100) << "the rest wait until they are scrolled to";
}

TEST_F(MediaWallTest, TheWorksMenuAndTheLibraryEntriesMenuOpenIt) {
    EXPECT_EQ(main().mediaWallCommand()->text(), "媒体库");
    bool opened = false;
    routines().showMediaWall = [&opened] { opened = true; };
    main().mediaWallCommand()->trigger();
    EXPECT_TRUE(opened);
}

}  // namespace
}  // namespace zorvan
