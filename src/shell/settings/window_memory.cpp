#include "shell/settings/window_memory.h"

#include "shell/settings/program_settings.h"
#include "shell/windows/main_window.h"
#include "shell/windows/window_geometry.h"

#include <QAction>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>

#include <functional>
#include <QLineEdit>
#include <QSettings>

namespace zorvan {

namespace {

QSettings memory() { return programSettings(); }

const QString idKey = QStringLiteral("main/performerId");
const QString placeKey = QStringLiteral("main/position");
const QString onTopKey = QStringLiteral("main/stayOnTop");
const QString libraryKey = QStringLiteral("main/libraryOpen");

}  // namespace

QString windowMemoryPath() { return memory().fileName(); }

void restoreWindowMemory(MainWindow& window, const std::function<void()>& toggleDownloadedView,
                         const std::function<void()>& toggleStayOnTop) {
    const QSettings settings = memory();
    const QString id = settings.value(idKey).toString().trimmed();
    if (!id.isEmpty()) window.performerIdEdit()->setText(id);
    // The commands themselves, so titles, widths and marks follow as when chosen.
    // The commands' own routines, which read the check mark as it now stands.
    const auto choose = [](QAction* command, const std::function<void()>& routine) {
        if (!routine) return;
        command->setChecked(true);
        routine();
    };
    if (settings.value(libraryKey).toBool()) choose(window.viewDownloadedCommand(), toggleDownloadedView);
    if (settings.value(onTopKey).toBool()) choose(window.stayOnTopCommand(), toggleStayOnTop);
    // The size follows the library view, measured again once the window
    // is framed; the place is the user's, on a screen that is still there.
    const QPoint place = settings.value(placeKey).toPoint();
    const bool placed = settings.contains(placeKey) && QGuiApplication::screenAt(place + QPoint(40, 20));
    keepGivenGeometry(&window);
    applyDesignSize(&window, outerWidth(&window), MainWindow::designHeight, !placed);
    if (placed) window.move(place);
}

void saveWindowMemory(const MainWindow& window) {
    QSettings settings = memory();
    settings.setValue(idKey, window.performerIdEdit()->text().trimmed());
    settings.setValue(placeKey, window.pos());
    settings.setValue(onTopKey, window.stayOnTopCommand()->isChecked());
    settings.setValue(libraryKey, window.viewDownloadedCommand()->isChecked());
    settings.sync();
}

void forgetWindowMemory() { QFile::remove(windowMemoryPath()); }  // the whole file: the service's address too

}  // namespace zorvan
