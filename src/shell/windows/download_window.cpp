#include "shell/windows/download_window.h"

#include "shell/windows/escape_closes.h"
#include "shell/windows/window_flags.h"
#include "shell/windows/window_geometry.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>

namespace zorvan {

namespace {
constexpr int statusBarHeight = 20;
constexpr int designPartWidth = 65;
}  // namespace

DownloadWindow::DownloadWindow() {
    setAttribute(Qt::WA_DeleteOnClose);
    // A small tool window: a title and a close button, nothing to minimise
    // or maximise.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(designWidth, designHeight);
    applyDesignSize(this, designWidth, designHeight, true);
    closeOnEscape(this);

    statusBar_ = new QStatusBar(this);
    statusBar_->setObjectName(QStringLiteral("状态条1"));
    statusBar_->setSizeGripEnabled(false);
    // The numbers carry no labels of their own; a pointer on them says which is which.
    const char* const names[partCount] = {QT_TRANSLATE_NOOP("zorvan", "大小"), QT_TRANSLATE_NOOP("zorvan", "速度"),
                                          QT_TRANSLATE_NOOP("zorvan", "已下载"), QT_TRANSLATE_NOOP("zorvan", "进度")};
    for (int i = 0; i < partCount; ++i) {
        parts_[i] = new QLabel(statusBar_);
        parts_[i]->setToolTip(tr(names[i]));
        parts_[i]->setFixedWidth(designPartWidth);
        parts_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        statusBar_->addWidget(parts_[i]);
    }

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("时钟1"));
    timer_->setInterval(0);

    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName(QStringLiteral("进度条1"));
    progressBar_->setGeometry(0, 0, 289, 22);
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    progressBar_->setTextVisible(false);

    // Its units stay as designed; stopping a download is a right-click away.
    pauseCommand_ = new QAction(tr("暂停"), this);
    cancelCommand_ = new QAction(tr("取消"), this);
    listCommand_ = new QAction(tr("下载列表"), this);
    addActions({pauseCommand_, cancelCommand_, listCommand_});
    setContextMenuPolicy(Qt::ActionsContextMenu);
    progressBar_->setContextMenuPolicy(Qt::NoContextMenu);  // the window's menu, there too
}

void DownloadWindow::setPartText(int part, const QString& text) { parts_.at(part)->setText(text); }
QString DownloadWindow::partText(int part) const { return parts_.at(part)->text(); }
void DownloadWindow::setPartWidth(int part, int width) { parts_.at(part)->setFixedWidth(width); }
int DownloadWindow::partWidth(int part) const { return parts_.at(part)->minimumWidth(); }

void DownloadWindow::setCloseEnabled(bool enabled) { setWindowFlagInPlace(this, Qt::WindowCloseButtonHint, enabled); }

bool DownloadWindow::closeEnabled() const { return windowFlags() & Qt::WindowCloseButtonHint; }

void DownloadWindow::closeEvent(QCloseEvent* event) {
    // The window manager may offer to close it while the close button is
    // greyed; Esc (not spontaneous) still closes it.
    if (event->spontaneous() && !closeEnabled())
        event->ignore();
    else
        event->accept();
}

void DownloadWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Docked at the bottom edge, whatever the window's size.
    statusBar_->setGeometry(0, height() - statusBarHeight, width(), statusBarHeight);
}

}  // namespace zorvan
