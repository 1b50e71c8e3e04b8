#pragma once

#include <QColor>
#include <QPointer>
#include <QString>

#include <array>
#include <optional>
#include <string>
#include <vector>

class QEvent;
class QWidget;

namespace zorvan {

class ControlBar;
class PlayerView;

// A routine told of one message to a host's control: the two halves of a
// mouse position and the button state, or a key code, its scan code and 0.
// Returning false swallows the message.
using HostNotification = bool (*)(int first, int second, int state);

// One record per live control, found by its control window.
struct FlashHostRecord {
    enum Routine { MouseMove, LeftDown, LeftUp, LeftDoubleClick, RightDown, RightUp, KeyDown, KeyUp, RoutineCount };
    QWidget* controlWindow = nullptr;
    bool suppressMenu = false;
    std::array<HostNotification, RoutineCount> routines{};
};
// The program-wide list of host records (GUI thread).
std::vector<FlashHostRecord>& flashHostRecords();

// Whether the control's window procedure keeps a message from the control:
// a notification routine answering false swallows it, and with menu
// suppression so are a right-button press, the Menu key and the context
// menu.
bool hostSwallows(const FlashHostRecord& record, QEvent* event);

// The host of the player movie: a PlayerView (the host window, whose video
// area is the control window) with its control bar in the 26 pixels below
// it, driven through the operations the program knows the movie by.
// Every operation on the control first checks IsCreated and does nothing
// without a live control.
class FlashHost {
public:
    FlashHost() = default;
    ~FlashHost();
    FlashHost(const FlashHost&) = delete;
    FlashHost& operator=(const FlashHost&) = delete;

    // Creates the control in `parent` at that place and size, its control
    // bar below; returns the existing host window when a control is live.
    // Menu mode 3 keeps right-button presses and the Menu key from the
    // control (no context menu), 2 and 1 let them through.
    QWidget* Create(QWidget* parent, int left, int top, int width, int height, std::optional<int> menuMode = {});
    // Plays the movie at `address` (see movieSource), looping unless noLoop,
    // held at its start when `stop`. False without a control or address.
    bool LoadMovie(const QString& address, std::optional<bool> noLoop = {}, std::optional<bool> stop = {});
    // Queues the movie's bytes and loads the memory movie's pseudo path.
    bool LoadMovieFromMemory(std::string bytes, std::optional<bool> noLoop = {}, std::optional<bool> stop = {});
    void StopMovie();
    // Sets whether the movie may fill the screen (given), or reads it.
    bool AllowFullScreen(std::optional<bool> value = {});
    // Applies a new size and returns it, or returns the current one when
    // `apply` is false; 0 without a control.
    int SetWidth(int width, bool apply);
    int SetHeight(int height, bool apply);
    bool IsCreated();
    void Destroy();

    // The remaining operations that have a counterpart here.
    QWidget* HostWindow() const;
    int RecordIndex() const;  // 1-based; 0 when there is none
    void SetMenuMode(int mode);
    void SetNotifications(const std::array<HostNotification, FlashHostRecord::RoutineCount>& routines);
    bool IsPlaying();
    qint64 CurrentFrame();  // the position, in milliseconds
    qint64 TotalFrames();   // the length, in milliseconds
    bool Loop(std::optional<bool> value = {});
    QColor BackgroundColor(std::optional<QColor> value = {});
    bool Visible(std::optional<bool> value = {});
    bool Enabled(std::optional<bool> value = {});
    int Left(std::optional<int> value = {});
    int Top(std::optional<int> value = {});
    // The movie's source; "内存之中" for a movie from memory.
    QString MovieSource();

    PlayerView* control() const;
    ControlBar* controlBar() const;

private:
    FlashHostRecord* record() const;
    void placeBar();

    QPointer<QWidget> parent_;
    QPointer<PlayerView> host_;
    QPointer<ControlBar> bar_;
    QPointer<QWidget> controlWindow_;
    QWidget* recordKey_ = nullptr;  // the control window as the record knows it; never used as a widget
};

}  // namespace zorvan
