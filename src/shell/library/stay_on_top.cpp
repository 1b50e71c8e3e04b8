#include "shell/library/stay_on_top.h"

#include "shell/windows.h"
#include "shell/windows/main_window.h"
#include "shell/windows/window_flags.h"

#include <QCoreApplication>
#include <QAction>

namespace zorvan {

namespace {

bool stayOnTopChecked() {
    MainWindow* main = mainWindow();
    return main && main->stayOnTopCommand()->isChecked();
}

void setStaysOnTop(QWidget* window, bool on) {
    if (window) setWindowFlagInPlace(window, Qt::WindowStaysOnTopHint, on);
}

}  // namespace

QString stayOnTopMarkerText() { return QCoreApplication::translate("zorvan", stayOnTopMarker); }

void toggleStayOnTop() {
    MainWindow* main = mainWindow();
    if (!main) return;
    const QString marker = stayOnTopMarkerText();
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
        // Going on top shows the window again, which may bring it here a
        // second time: one marker all the same.
        setStaysOnTop(window, true);
        const QString marker = stayOnTopMarkerText();
        if (!window->windowTitle().endsWith(marker)) window->setWindowTitle(window->windowTitle() + marker);
    } else {
        setStaysOnTop(window, false);
    }
}

void releaseStayOnTop(QWidget* window) { setStaysOnTop(window, false); }

QString withStayOnTopMarker(const QString& title) {
    return stayOnTopChecked() ? title + stayOnTopMarkerText() : title;
}

}  // namespace zorvan
