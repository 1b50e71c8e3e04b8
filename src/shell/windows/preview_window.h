#pragma once

#include <QWidget>

namespace zorvan {

// Hosts the preview player. Lives as long as the main window and is only
// shown and hidden: a close request is turned into hiding by the routing.
class PreviewWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int designWidth = 677;
    static constexpr int designHeight = 530;

    PreviewWindow();

signals:
    void resized();
    void closeRequested();
    void shown();
    void hidden();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
};

}  // namespace zorvan
