#pragma once

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QListView;

namespace zorvan {

class MediaWallFilter;
class MediaWallModel;
struct WallEntry;

// "媒体库": the library as a wall of posters with song and performer,
// chosen by performer and text, newest first or by sequence. A double-click
// plays a work; its menu opens its folder or deletes it (to the trash,
// after asking). The library view's list of names stays as it is.
class MediaWall : public QWidget {
    Q_OBJECT
public:
    explicit MediaWall(QWidget* parent = nullptr);

    // Reads the library again (the works saved since, those deleted), off
    // the GUI thread; `reloaded` once they are shown.
    void reload();
    void showEntries(std::vector<WallEntry> entries);

    QListView* view() const { return view_; }
    QComboBox* performerChoice() const { return performers_; }
    QLineEdit* search() const { return search_; }
    QComboBox* orderChoice() const { return order_; }
    QLabel* status() const { return status_; }
    MediaWallModel* model() const { return model_; }
    // The works shown, in their order (entries, as playing names them).
    QStringList shownEntries() const;

signals:
    void playRequested(const QString& entry);
    void deleteRequested(const QString& entry);
    void folderRequested(const QString& entry);
    void reloaded();

private:
    void chooseAgain();
    void showMenu(const QPoint& at);

    MediaWallModel* model_;
    MediaWallFilter* filter_;
    QComboBox* performers_;
    QLineEdit* search_;
    QComboBox* order_;
    QListView* view_;
    QLabel* status_;
};

class LibraryDb;

// The library's complete files below `folder`, as the wall shows them (on
// any thread; `error` says why the library could not be read).
std::vector<WallEntry> wallEntriesIn(LibraryDb* db, const std::string& folder, std::string& error);

// Opens the program's one wall (made at the first time), read afresh;
// `play` plays a work chosen on it.
void showMediaWall(std::function<void(const QString& entry)> play);

}  // namespace zorvan
