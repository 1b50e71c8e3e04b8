// Writes a picture of each window, with the program's skin attached, into
// the build tree (screenshots/), so the look can be checked by eye. The
// test fails if the skin does not reach the application or a picture
// cannot be taken or written.
#include "shell/windows/download_window.h"
#include "shell/language.h"
#include "shell/windows.h"
#include "shell/windows/local_player_window.h"
#include "shell/windows/main_window.h"
#include "shell/windows/preview_window.h"
#include "shell/windows/window_geometry.h"
#include "shell/works/works_list_tools.h"
#include "skin/program_skin.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QProgressBar>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace zorvan {
namespace {

bool save(QWidget* window, const QString& name) {
    QDir().mkpath("screenshots");
    const QPixmap picture = window->grab();
    return !picture.isNull() && picture.save("screenshots/" + name + ".png");
}

// Every window once, its pictures named with `suffix`.
void takePictures(const QString& suffix) {
    ASSERT_TRUE(loadWindow(WindowKind::Main));
    MainWindow* main = mainWindow();
    for (int i = 1; i <= 3; ++i)
        new QTreeWidgetItem(main->worksList(),
                            QStringList{QString::number(i), "http://x/" + QString::number(i) + ".mp4",
                                        QStringLiteral("示例歌名 %1").arg(i)});
    main->downloadedList()->addItems({QStringLiteral("示例歌名 1.mp4"), QStringLiteral("示例歌名 2.mp4")});
    main->countLabel()->setText(worksCountText(3, 3));
    EXPECT_TRUE(save(main, "main_window" + suffix));
    main->showLibrary(true);  // as the library view opens it
    setOuterWidth(main, 526);
    EXPECT_TRUE(save(main, "main_window_wide" + suffix));

    ASSERT_TRUE(loadWindow(WindowKind::Download));
    downloadWindow()->setPartText(0, "3.5M");
    downloadWindow()->setPartText(1, "1.2M/秒");
    downloadWindow()->setPartText(2, "1.75M");
    downloadWindow()->setPartText(3, "50%");
    downloadWindow()->progressBar()->setValue(50);
    EXPECT_TRUE(save(downloadWindow(), "download_window" + suffix));
    EXPECT_TRUE(save(previewWindow(), "preview_window" + suffix));
    ASSERT_TRUE(loadWindow(WindowKind::LocalPlayer));
    EXPECT_TRUE(save(localPlayerWindow(), "local_player_window" + suffix));
    destroyAllWindows();
}

TEST(Screenshots, OfEachWindowInBothLanguages) {
    loadSkinModule();
    attachSkin();
    ASSERT_TRUE(qApp->styleSheet().contains("QProgressBar::chunk"));
    takePictures({});
    useLanguage(Language::English);
    takePictures("_en");
    useLanguage(Language::Chinese);
    qApp->setStyleSheet({});
}

}  // namespace
}  // namespace zorvan
