#include "shell/windows/download_window.h"
#include "shell/windows.h"
#include "shell/windows/local_player_window.h"
#include "shell/windows/main_window.h"
#include "shell/windows/preview_window.h"
#include "shell/windows/window_geometry.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace zorvan {
namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(loadWindow(WindowKind::Main)); }
    void TearDown() override { destroyAllWindows(); }
    MainWindow& main() { return *mainWindow(); }

    template <class T>
    T* unit(const char* designName) {
        return main().findChild<T*>(QString::fromUtf8(designName));
    }
};

TEST_F(MainWindowTest, HasItsDesignSizeTitleAndFixedFrame) {
    EXPECT_EQ(outerWidth(&main()), 290);
    EXPECT_EQ(outerHeight(&main()), 402);
    EXPECT_EQ(main().windowTitle(), "Zorvan");
    EXPECT_TRUE(main().isVisible());
    EXPECT_EQ(main().minimumSize(), main().maximumSize()) << "the user cannot resize it";
    const Qt::WindowFlags flags = main().windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(flags & Qt::WindowStaysOnTopHint);
}

TEST_F(MainWindowTest, UnitsCarryTheirDesignNamesPlacesAndTexts) {
    auto* label = unit<QLabel>("透明标签1");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "主播Lumo：");
    EXPECT_EQ(label->pos(), QPoint(8, 5));
    EXPECT_EQ(label->height(), 24);
    // At least its design width, and wide enough for the whole text.
    EXPECT_GE(label->width(), 56);
    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));

    auto* edit = unit<QLineEdit>("编辑框1");
    ASSERT_EQ(edit, main().performerIdEdit());
    EXPECT_GE(edit->x(), label->geometry().right() + 1) << "the label's text stays clear of the box";
    EXPECT_EQ(edit->geometry().right(), 199);
    EXPECT_EQ(edit->y(), 5);
    EXPECT_EQ(edit->height(), 24);
    EXPECT_TRUE(QRegularExpression("^[0-9]{6}$").match(edit->text()).hasMatch()) << edit->text().toStdString();

    auto* button = unit<QPushButton>("按钮1");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "确定");
    EXPECT_EQ(button->geometry(), QRect(208, 5, 72, 24));

    auto* group = unit<QGroupBox>("分组框1");
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->title(), "已下载：");
    EXPECT_EQ(group->geometry(), QRect(288, 1, 232, 376));
    EXPECT_GE(group->x(), main().width() - 2) << "lies beyond the narrow window's right edge";
    EXPECT_TRUE(group->isHidden()) << "until the library view widens the window";

    auto* downloaded = unit<QListWidget>("列表框1");
    ASSERT_NE(downloaded, nullptr);
    EXPECT_EQ(downloaded->parentWidget(), group);
    EXPECT_EQ(downloaded->geometry(), QRect(8, 23, 208, 344));
    EXPECT_TRUE(downloaded->isSortingEnabled());
    EXPECT_EQ(downloaded->count(), 0);
    downloaded->addItems({"b.mp4", "a.mp4", "c.mp4"});
    EXPECT_EQ(downloaded->item(0)->text(), "a.mp4") << "entries stay sorted";

    auto* timer = unit<QTimer>("时钟1");
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 3000);
    EXPECT_TRUE(timer->isActive());
}

TEST_F(MainWindowTest, WorksListHasThreeColumnsWithTheMiddleOneHidden) {
    auto* list = unit<QTreeWidget>("超级列表框1");
    ASSERT_EQ(list, main().worksList());
    EXPECT_EQ(list->geometry(), QRect(1, 35, 280, 338));
    ASSERT_EQ(list->columnCount(), 3);
    EXPECT_EQ(list->columnWidth(0), 50);
    EXPECT_TRUE(list->isColumnHidden(1));
    EXPECT_EQ(list->columnWidth(2), 200);
    EXPECT_EQ(list->headerItem()->text(0), "");
    EXPECT_EQ(list->headerItem()->text(2), "歌名");
    EXPECT_EQ(list->headerItem()->textAlignment(2) & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_FALSE(list->isSortingEnabled());
    EXPECT_TRUE(list->header()->sectionsClickable());
    // Several works may be chosen for download at once (Ctrl, Shift, Ctrl+A).
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
}

TEST_F(MainWindowTest, WorksMenuIsHiddenAndHoldsTheFourCommands) {
    QMenu* menu = main().worksMenu();
    EXPECT_EQ(menu->title(), "菜单");
    EXPECT_FALSE(menu->isVisible());
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), 5);
    EXPECT_EQ(items[0]->text(), "播放");
    EXPECT_EQ(items[1]->text(), "下载");
    EXPECT_TRUE(items[2]->isSeparator());
    EXPECT_EQ(items[3]->text(), "查看已下载");
    EXPECT_EQ(items[4]->text(), "置顶");
    EXPECT_TRUE(items[3]->isCheckable() && !items[3]->isChecked());
    EXPECT_TRUE(items[4]->isCheckable() && !items[4]->isChecked());
}

TEST_F(MainWindowTest, IdBoxTakesTypedDigitsAndDashOnlyButPastedTextWhole) {
    QLineEdit* edit = main().performerIdEdit();
    edit->clear();
    edit->setFocus();
    QTest::keyClicks(edit, "12a.-3 x");
    EXPECT_EQ(edit->text(), "12-3");
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), "12-");
    QTest::keyClick(edit, Qt::Key_Left);
    QTest::keyClicks(edit, "9");
    EXPECT_EQ(edit->text(), "129-");

    QApplication::clipboard()->setText("ab 7");
    edit->end(false);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), "129-ab 7");
}

TEST_F(MainWindowTest, CreationLoadsTheHiddenPreviewWindow) {
    PreviewWindow* preview = previewWindow();
    ASSERT_NE(preview, nullptr);
    EXPECT_FALSE(preview->isVisible());
    EXPECT_EQ(outerWidth(preview), 677);
    EXPECT_EQ(outerHeight(preview), 530);
    EXPECT_TRUE(preview->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_NE(preview->minimumSize(), preview->maximumSize()) << "the preview can be resized";
    EXPECT_TRUE(preview->windowTitle().isEmpty());
}

TEST_F(MainWindowTest, DownloadAndLocalPlayerWindowsHaveTheirDesigns) {
    ASSERT_TRUE(loadWindow(WindowKind::Download));
    DownloadWindow* download = downloadWindow();
    EXPECT_EQ(outerWidth(download), 290);
    EXPECT_EQ(outerHeight(download), 77);
    EXPECT_FALSE(download->windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint));
    auto* bar = download->findChild<QProgressBar*>("进度条1");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->geometry(), QRect(0, 0, 289, 22));
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(bar->value(), 0);
    auto* status = download->findChild<QStatusBar*>("状态条1");
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->geometry().bottom(), download->height() - 1) << "docked at the bottom edge";
    for (int part = 0; part < DownloadWindow::partCount; ++part) EXPECT_EQ(download->partWidth(part), 65);
    auto* timer = download->findChild<QTimer*>("时钟1");
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 0);
    EXPECT_FALSE(timer->isActive());

    ASSERT_TRUE(loadWindow(WindowKind::LocalPlayer));
    LocalPlayerWindow* player = localPlayerWindow();
    EXPECT_EQ(outerWidth(player), 747);
    EXPECT_EQ(outerHeight(player), 592);
    EXPECT_TRUE(player->isVisible());
    EXPECT_FALSE(player->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(player->minimumSize(), player->maximumSize());
}

}  // namespace
}  // namespace zorvan
