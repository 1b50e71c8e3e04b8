#include "shell/downloads/download_tray.h"

#include "shell/downloads/download_manager.h"
#include "shell/downloads/downloads_view.h"
#include "shell/windows.h"
#include "shell/windows/main_window.h"
#include "text/byte_count.h"
#include "text/duration_text.h"

#include <QApplication>
#include <QPointer>
#include <QStyle>

namespace zorvan {

namespace {

QPointer<DownloadTray> tray;

void showMainWindow() {
    if (MainWindow* main = mainWindow()) {
        main->show();
        main->raise();
        main->activateWindow();
    }
}

}  // namespace

QString trayToolTip(const QueueTotals& t) {
    QString tip = QStringLiteral("Zorvan");
    if (t.waiting + t.running + t.paused == 0) return tip;
    tip += '\n' + DownloadsView::tr("下载中 %1 个，等待 %2 个，已暂停 %3 个，完毕 %4 个")
                      .arg(t.running)
                      .arg(t.waiting)
                      .arg(t.paused)
                      .arg(t.done);
    if (t.running > 0) {
        tip += '\n' + DownloadsView::tr("速度 %1/秒").arg(QString::fromStdString(humanBytes(t.speed)));
        if (t.sizesUnknown == 0)
            if (const std::string left = timeLeftText(t.bytesLeft, t.speed); !left.empty())
                tip += DownloadsView::tr("，还需 %1").arg(QString::fromStdString(left));
    }
    return tip;
}

DownloadTray::DownloadTray() : icon_(this) {
    QIcon look = QApplication::windowIcon();
    if (look.isNull()) look = QApplication::style()->standardIcon(QStyle::SP_ArrowDown);  // an uninstalled copy
    icon_.setIcon(look);
    menu_.addAction(DownloadsView::tr("显示 Zorvan"), this, [] { showMainWindow(); });
    menu_.addAction(DownloadsView::tr("下载列表"), this, [] { showDownloadsView(); });
    menu_.addSeparator();
    menu_.addAction(DownloadsView::tr("全部暂停"), this, [] { downloadManager().pauseAll(); });
    menu_.addAction(DownloadsView::tr("全部继续"), this, [] { downloadManager().resumeAll(); });
    menu_.addSeparator();
    // Quitting is the main window's closing, with its question when
    // downloads are left.
    menu_.addAction(DownloadsView::tr("退出"), this, [] {
        if (MainWindow* main = mainWindow()) main->close();
    });
    icon_.setContextMenu(&menu_);
    connect(&icon_, &QSystemTrayIcon::activated, this, [](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) showMainWindow();
    });
    connect(&downloadManager(), &DownloadManager::ticked, this, &DownloadTray::update);
    update();
}

void DownloadTray::update() {
    const QString tip = trayToolTip(downloadManager().queue().totals());
    if (icon_.toolTip() != tip) icon_.setToolTip(tip);
}

DownloadTray* showDownloadTray() {
    if (!tray && QSystemTrayIcon::isSystemTrayAvailable()) {
        tray = new DownloadTray;
        tray->setParent(&downloadManager());  // goes with the queue it shows
        tray->icon().show();
    }
    return tray.data();
}

}  // namespace zorvan
