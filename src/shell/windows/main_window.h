#pragma once

#include <QWidget>

#include <functional>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QTimer;
class QTreeWidget;

namespace zorvan {

// The window the user starts from: performer id, "确定", the works list and,
// beyond the right edge until the library view widens the window, the list
// of downloaded files. Behaviour is wired up by routing.cpp.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int designWidth = 290;
    static constexpr int designHeight = 402;

    MainWindow();
    ~MainWindow() override;

    QLabel* performerLabel() const { return performerLabel_; }
    QLineEdit* performerIdEdit() const { return performerIdEdit_; }
    QGroupBox* downloadedGroup() const { return downloadedGroup_; }
    QListWidget* downloadedList() const { return downloadedList_; }
    QMenu* worksMenu() const { return worksMenu_; }
    QAction* playCommand() const { return playCommand_; }
    QAction* downloadCommand() const { return downloadCommand_; }
    QAction* viewDownloadedCommand() const { return viewDownloadedCommand_; }
    QAction* stayOnTopCommand() const { return stayOnTopCommand_; }
    // Beyond the works menu's own items, shown in its popup after "下载".
    QAction* downloadAllCommand() const { return downloadAllCommand_; }
    QAction* downloadListCommand() const { return downloadListCommand_; }
    // Shown in the popup after the menu's own items: the video service's address.
    QAction* settingsCommand() const { return settingsCommand_; }
    // Shown in the popup before "设置": follow the performer in the id box,
    // and the list of those followed.
    QAction* followCommand() const { return followCommand_; }
    QAction* followingCommand() const { return followingCommand_; }
    QAction* mediaWallCommand() const { return mediaWallCommand_; }
    // Asked before the window closes; false keeps it open.
    void setCloseGuard(std::function<bool()> guard) { closeGuard_ = std::move(guard); }
    QPushButton* fetchButton() const { return fetchButton_; }
    QTimer* trimTimer() const { return trimTimer_; }
    QTreeWidget* worksList() const { return worksList_; }
    // Beneath the list: the filter box "搜索歌名" and the works count.
    QLineEdit* filterEdit() const { return filterEdit_; }
    QLabel* countLabel() const { return countLabel_; }

    // Shows or hides the library view beside the list.
    void showLibrary(bool shown);
    bool libraryShown() const { return libraryShown_; }

signals:
    void moved();
    void resized();
    void closing();
    void worksListDoubleClicked();

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createPerformerRow();
    void createDownloadedGroup();
    void createWorksMenu();
    void createWorksList();
    void createFilterRow();
    // Places the units for the window's size: as designed, with the list
    // filling a window widened without the library view.
    void layOut();

    QLabel* performerLabel_;
    QLineEdit* performerIdEdit_;
    QGroupBox* downloadedGroup_;
    QListWidget* downloadedList_;
    QMenu* worksMenu_;
    QAction* playCommand_;
    QAction* downloadCommand_;
    QAction* viewDownloadedCommand_;
    QAction* stayOnTopCommand_;
    QAction* downloadAllCommand_;
    QAction* downloadListCommand_;
    QAction* settingsCommand_;
    QAction* followCommand_;
    QAction* followingCommand_;
    QAction* mediaWallCommand_;
    std::function<bool()> closeGuard_;
    QPushButton* fetchButton_;
    QTimer* trimTimer_;
    QTreeWidget* worksList_;
    QLineEdit* filterEdit_;
    QLabel* countLabel_;
    int labelEnd_ = 0;  // where the performer label's text ends
    bool libraryShown_ = false;
};

// The id the edit box starts with: the bundled demo service's first performer.
inline constexpr const char* defaultPerformerId = "100001";

}  // namespace zorvan
