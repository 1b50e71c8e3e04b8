#pragma once

#include <QWidget>

#include <array>

class QAction;
class QLabel;
class QProgressBar;
class QStatusBar;
class QTimer;

namespace zorvan {

// Shows one running download: a progress bar on top and a status bar of
// four parts (size, speed, amount done, percentage) docked at the bottom.
// Destroyed when closed (Esc too).
class DownloadWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int designWidth = 290;
    static constexpr int designHeight = 77;
    static constexpr int partCount = 4;

    DownloadWindow();

    QProgressBar* progressBar() const { return progressBar_; }
    QStatusBar* statusBar() const { return statusBar_; }
    QTimer* timer() const { return timer_; }
    // Its right-click menu: "暂停", "取消" and "下载列表".
    QAction* pauseCommand() const { return pauseCommand_; }
    QAction* cancelCommand() const { return cancelCommand_; }
    QAction* listCommand() const { return listCommand_; }

    void setPartText(int part, const QString& text);
    QString partText(int part) const;
    void setPartWidth(int part, int width);
    int partWidth(int part) const;

    // Greys the close button while a transfer runs; Esc still closes.
    void setCloseEnabled(bool enabled);
    bool closeEnabled() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QProgressBar* progressBar_;
    QStatusBar* statusBar_;
    std::array<QLabel*, partCount> parts_{};
    QTimer* timer_;
    QAction* pauseCommand_;
    QAction* cancelCommand_;
    QAction* listCommand_;
};

}  // namespace zorvan
