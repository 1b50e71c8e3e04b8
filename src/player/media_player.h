#pragma once

#include <QObject>
#include <QRect>
#include <QString>

class QWidget;

namespace zorvan {

class ControlBar;
class PlayerView;

// The local player: two engines in one place, of which the one an address
// asks for is shown (see engineFor), with one control bar below them. Its
// widgets belong to the window it is made in, so they play on after the
// MediaPlayer itself is gone.
class MediaPlayer : public QObject {
    Q_OBJECT
public:
    enum class Shown { None, MediaPlayerEngine, FlashMovieEngine };

    explicit MediaPlayer(QWidget* window);

    // Makes both engines at this place and size, the bar below.
    void Create(int left, int top, int width, int height);
    // Plays an address with the engine it asks for.
    void Open(const QString& address);

    // The Flash movie engine's variables: "flvurl" plays an address,
    // "playkz" is "play" or "stop", "playvolume" 0 to 100.
    void setFlashVariable(const QString& name, const QString& value);
    // The media player engine's URL property.
    void setMediaUrl(const QString& url);

    int mode() const { return mode_; }  // 0: Flash movie engine, 1: media player engine
    Shown shown() const { return shown_; }
    PlayerView* shownView() const;
    PlayerView* flashEngine() const { return flash_; }
    PlayerView* mediaEngine() const { return media_; }

private:
    void show(Shown engine);

    QWidget* window_;
    PlayerView* flash_ = nullptr;
    PlayerView* media_ = nullptr;
    ControlBar* bar_ = nullptr;
    QRect geometry_;
    int mode_ = 0;
    Shown shown_ = Shown::None;
};

}  // namespace zorvan
