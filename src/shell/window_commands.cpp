#include "shell/window_commands.h"

#include "shell/find_files.h"
#include "shell/main_window.h"
#include "shell/program_directory.h"
#include "shell/window_geometry.h"
#include "shell/windows.h"

#include <QAction>
#include <QApplication>
#include <QListWidget>

namespace zorvan {

namespace {

void setStaysOnTop(QWidget* window, bool on) {
    if (!window || bool(window->windowFlags() & Qt::WindowStaysOnTopHint) == on) return;
    const bool visible = window->isVisible();
    const QPoint where = window->pos();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, on);  // hides the window
    if (visible) {
        window->move(where);
        window->show();
    }
}

bool stayOnTopChecked() {
    MainWindow* main = mainWindow();
    return main && main->stayOnTopCommand()->isChecked();
}

}  // namespace

std::string downloadFolder() { return programDirectory() + "/video"; }

void toggleStayOnTop() {
    MainWindow* main = mainWindow();
    if (!main) return;
    const QString marker = QString::fromUtf8(stayOnTopMarker);
    if (main->stayOnTopCommand()->isChecked()) {
        setStaysOnTop(main, true);
        main->setWindowTitle(main->windowTitle() + marker);
    } else {
        setStaysOnTop(main, false);
        QString title = main->windowTitle();
        main->setWindowTitle(title.remove(marker));
    }
}

void applyStayOnTop(QWidget* window) {
    if (!window) return;
    if (stayOnTopChecked()) {
        setStaysOnTop(window, true);
        window->setWindowTitle(window->windowTitle() + QString::fromUtf8(stayOnTopMarker));
    } else {
        setStaysOnTop(window, false);
    }
}

void releaseStayOnTop(QWidget* window) { setStaysOnTop(window, false); }

void refreshDownloadedList() {
    MainWindow* main = mainWindow();
    if (!main) return;
    QListWidget* list = main->downloadedList();
    list->clear();
    findFiles(
        downloadFolder(), "*.mp4", [list](const std::string& name) { list->addItem(QString::fromStdString(name)); },
        [] { QApplication::processEvents(); });
}

void toggleDownloadedView() {
    MainWindow* main = mainWindow();
    if (!main) return;
    refreshDownloadedList();
    setOuterWidth(main, main->viewDownloadedCommand()->isChecked() ? 526 : 300);
}

}  // namespace zorvan
