#pragma once

#include <QString>
#include <QWidget>

#include <memory>

class QAudioOutput;
class QFile;
class QLabel;
class QMediaPlayer;
class QVideoSink;
class QTimer;
class QVideoWidget;

namespace zorvan {

class ControlBar;
class FetchWorkers;

// The built-in player movie: the video of one source, and what the user
// should know about it (that it is loading, or why it cannot be played).
// Space pauses, left and right seek five seconds, a double-click or F
// toggles full screen when allowed, Esc leaves it. Volume and mute are
// kept for the run, across players.
class PlayerView : public QWidget {
    Q_OBJECT
public:
    explicit PlayerView(QWidget* parent = nullptr);
    ~PlayerView() override;

    // Plays a source: an http(s) or file URL, a local path (opened through
    // the program's file layer) or the memory movie's pseudo path. An
    // empty source shows an empty player.
    void play(const QString& source);
    // Stops and blanks the player.
    void stop();
    void togglePause();
    void seekBy(qint64 milliseconds);
    void setPosition(qint64 milliseconds);
    void setLooping(bool loop);
    bool looping() const { return looping_; }
    // Loaded, but paused at the start (a movie loaded with "stop").
    void holdAtStart();

    bool isPlaying() const;
    qint64 position() const;
    qint64 duration() const;
    QString source() const { return source_; }
    // What the player shows over the video ("" when nothing).
    QString message() const;

    void setFullScreenAllowed(bool allowed) { fullScreenAllowed_ = allowed; }
    bool fullScreenAllowed() const { return fullScreenAllowed_; }
    bool isFullScreenShown() const;
    void toggleFullScreen();

    static int volume();  // 0 to 100
    static bool muted();
    void setVolume(int volume);
    void setMuted(bool muted);

    QVideoSink* videoSink() const;
    QWidget* videoArea() const;
    QMediaPlayer* mediaPlayer() const { return player_; }

signals:
    void stateChanged();     // playing or paused
    void timingChanged();    // position or duration
    void volumeChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // `failure`: the source cannot be played, and the reason takes the
    // place of the picture.
    void showMessage(const QString& text, bool failure = false);
    void releaseSource();
    void onError(const QString& detail);
    // onlyFaults: the media backend has not failed (yet), it is only slow:
    // a reason is shown when the probe finds one, nothing otherwise.
    void explainFailure(const QString& source, bool onlyFaults = false);
    bool openLocal(const QString& path);
    void leaveFullScreen();
    bool eventFilter(QObject* watched, QEvent* event) override;

    QMediaPlayer* player_;
    QVideoWidget* video_;
    QAudioOutput* audio_ = nullptr;
    std::unique_ptr<QFile> localFile_;  // the open local source, when there is one
    QLabel* overlay_;
    QString source_;
    bool looping_ = true;
    bool fullScreenAllowed_ = false;
    bool failed_ = false;  // the source could not be played
    int attempt_ = 0;  // which play() a late explanation belongs to
    QWidget* fullScreenFrame_ = nullptr;
    ControlBar* fullScreenBar_ = nullptr;  // shown on a mouse move, hidden after a still moment
    QTimer* barTimer_ = nullptr;
    QWidget* homeParent_ = nullptr;
    QRect homeGeometry_;
    std::unique_ptr<FetchWorkers> explainers_;  // last: its end joins them before the rest goes
};

}  // namespace zorvan
