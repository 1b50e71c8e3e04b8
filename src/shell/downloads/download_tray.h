#pragma once

#include <QMenu>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

namespace zorvan {

struct QueueTotals;

// The program in the desktop's tray, where the desktop has one: the
// queue's progress in its tooltip; its menu shows the window, pauses or
// continues every download, and quits. A click shows the window.
class DownloadTray : public QObject {
    Q_OBJECT
public:
    DownloadTray();

    QSystemTrayIcon& icon() { return icon_; }
    QMenu& menu() { return menu_; }
    void update();

private:
    QMenu menu_;
    QSystemTrayIcon icon_;
};

// The tooltip for the queue's totals: "Zorvan" and, while works are left,
// how many run, wait and are done, the speed and the time left.
QString trayToolTip(const QueueTotals& totals);

// The tray icon, made once when the desktop has a tray (null otherwise).
DownloadTray* showDownloadTray();

}  // namespace zorvan
