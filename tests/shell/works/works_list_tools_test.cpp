// What the works list does beside its rows, and what the window remembers
// from one run to the next.
#include "shell/works/works_list_tools.h"

#include "download_policy/download_folder.h"
#include "download_policy/work_file.h"
#include "shell/settings/window_memory.h"
#include "shell/windows.h"
#include "shell/windows/main_window.h"
#include "shell/windows/window_geometry.h"
#include "shell/works/work_item.h"
#include "support/program_fixture.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace zorvan {
namespace {

using WorksListToolsTest = test::ProgramTest;

void saveWork(const std::string& songName) {
    std::filesystem::create_directories(downloadFolder());
    std::ofstream(workFilePath(downloadFolder(), songName)) << "a whole work";
}

QStringList column(QTreeWidget* list, int at, bool shownOnly = false) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (!shownOnly || !list->topLevelItem(i)->isHidden()) texts << list->topLevelItem(i)->text(at);
    return texts;
}

TEST_F(WorksListToolsTest, FilterSortCountAndTicksFollowTheRowsAndTheDownloadFolder) {
    QTreeWidget* list = main().worksList();
    saveWork("晴天");
    // Rows as the retrieval writes them: the sequence first, the name after.
    for (const auto& [sequence, name] : {std::pair{"2", "雨天"}, {"10", "Wind"}, {"1", "晴天"}}) {
        auto* item = new WorkItem(list, QStringList{QString::fromUtf8(sequence)});
        item->setText(2, QString::fromUtf8(name));
    }
    EXPECT_EQ(main().countLabel()->text(), "共 3 个作品");
    const auto ticked = [&](int row) { return !list->topLevelItem(row)->icon(0).isNull(); };
    EXPECT_TRUE(ticked(2));
    EXPECT_FALSE(ticked(0) || ticked(1));
    // On a selected row the tick is drawn in the selection's text colour,
    // not tinted into the selection's own.
    const auto strongest = [&](QIcon::Mode mode) {
        const QImage image = list->topLevelItem(2)->icon(0).pixmap(12, 12, mode).toImage();
        QColor best(Qt::transparent);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y).alpha() > best.alpha()) best = image.pixelColor(x, y);
        return best.rgb();
    };
    EXPECT_EQ(strongest(QIcon::Normal), QColor(0x2e, 0x8b, 0x57).rgb());
    EXPECT_EQ(strongest(QIcon::Selected), QApplication::palette().color(QPalette::HighlightedText).rgb());

    list->topLevelItem(1)->setSelected(true);
    main().filterEdit()->setText("天");
    EXPECT_EQ(column(list, 2, true), (QStringList{"雨天", "晴天"}));
    EXPECT_EQ(main().countLabel()->text(), "2 / 3 个作品");
    EXPECT_LE(main().countLabel()->fontMetrics().horizontalAdvance(worksCountText(1000, 999)),
              main().countLabel()->width())
        << "a thousand works, filtered, are not cut";
    EXPECT_FALSE(list->topLevelItem(1)->isSelected()) << "a hidden work is not downloaded by mistake";
    main().filterEdit()->setText("wind");
    EXPECT_EQ(column(list, 2, true), QStringList{"Wind"});
    main().filterEdit()->clear();

    // A click on a header sorts by it (numbers as numbers), a second turns
    // it round: real clicks, as the header turns its own indicator first.
    const auto clickHeader = [list](int section) {
        QHeaderView* header = list->header();
        const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    };
    clickHeader(0);
    EXPECT_EQ(column(list, 0), (QStringList{"1", "2", "10"}));
    clickHeader(0);
    EXPECT_EQ(column(list, 0), (QStringList{"10", "2", "1"}));
    EXPECT_EQ(list->header()->sortIndicatorOrder(), Qt::DescendingOrder);
    clickHeader(0);
    EXPECT_EQ(column(list, 0), (QStringList{"1", "2", "10"}));
    clickHeader(2);
    EXPECT_EQ(column(list, 2).first(), "Wind");

    saveWork("Wind");
    refreshDownloadedMarks();
    EXPECT_EQ(list->topLevelItem(0)->text(2), "Wind");
    EXPECT_TRUE(ticked(0));
    list->clear();
    EXPECT_EQ(main().countLabel()->text(), "");
    EXPECT_FALSE(list->header()->isSortIndicatorShown());
}

TEST_F(WorksListToolsTest, TheWindowComesBackWithItsIdPlaceStayOnTopAndLibraryView) {
    main().performerIdEdit()->setText("100004");
    main().stayOnTopCommand()->trigger();
    main().viewDownloadedCommand()->trigger();
    main().move(120, 130);
    const QPoint place = main().pos();
    saveWindowMemory(main());

    destroyAllWindows();
    ASSERT_TRUE(loadWindow(WindowKind::Main));
    EXPECT_EQ(main().performerIdEdit()->text(), "100004");
    EXPECT_TRUE(main().stayOnTopCommand()->isChecked());
    EXPECT_TRUE(main().windowTitle().endsWith("     已置顶"));
    EXPECT_TRUE(main().viewDownloadedCommand()->isChecked());
    EXPECT_FALSE(main().downloadedGroup()->isHidden());
    EXPECT_EQ(outerWidth(&main()), 526);
    EXPECT_EQ(main().pos(), place);
    // Closed again, the list takes the whole width: no empty strip.
    main().viewDownloadedCommand()->trigger();
    EXPECT_EQ(main().worksList()->geometry().right(), main().width() - 10);

    forgetWindowMemory();
    destroyAllWindows();
    ASSERT_TRUE(loadWindow(WindowKind::Main));
    EXPECT_EQ(main().performerIdEdit()->text(), "100001");
    EXPECT_FALSE(main().stayOnTopCommand()->isChecked());
    EXPECT_EQ(outerWidth(&main()), 290);
}

}  // namespace
}  // namespace zorvan
