#include "shell/settings/window_memory.h"

#include "shell/routing.h"
#include "shell/windows/main_window.h"
#include "shell/windows/window_geometry.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QSettings>

namespace zorvan {

namespace {

QSettings memory() { return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("zorvan"), QStringLiteral("zorvan")); }

const QString idKey = QStringLiteral("main/performerId");
const QString geometryKey = QStringLiteral("main/geometry");
const QString onTopKey = QStringLiteral("main/stayOnTop");
const QString libraryKey = QStringLiteral("main/libraryOpen");

}  // namespace

QString windowMemoryPath() { return memory().fileName(); }

void restoreWindowMemory(MainWindow& window) {
    const QSettings settings = memory();
    const QString id = settings.value(idKey).toString().trimmed();
    if (!id.isEmpty()) window.performerIdEdit()->setText(id);
    // The commands themselves, so titles, widths and marks follow as when chosen.
    if (settings.value(libraryKey).toBool() && routines().toggleDownloadedView) {
        window.viewDownloadedCommand()->setChecked(true);
        routines().toggleDownloadedView();
    }
    if (settings.value(onTopKey).toBool() && routines().toggleStayOnTop) routines().toggleStayOnTop();
    // Last, so the remembered size wins over the library view's width.
    const QByteArray geometry = settings.value(geometryKey).toByteArray();
    if (!geometry.isEmpty() && window.restoreGeometry(geometry)) keepGivenGeometry(&window);
}

void saveWindowMemory(const MainWindow& window) {
    QSettings settings = memory();
    settings.setValue(idKey, window.performerIdEdit()->text().trimmed());
    settings.setValue(geometryKey, window.saveGeometry());
    settings.setValue(onTopKey, window.stayOnTopCommand()->isChecked());
    settings.setValue(libraryKey, window.viewDownloadedCommand()->isChecked());
    settings.sync();
}

void forgetWindowMemory() { QFile::remove(windowMemoryPath()); }

}  // namespace zorvan
