#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QSlider;
class QToolButton;

namespace zorvan {

class PlayerView;

// The thin bar under a player: play/pause, a seek slider with elapsed and
// total time, mute and volume. It follows the player it is bound to.
class ControlBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int barHeight = 26;

    explicit ControlBar(QWidget* parent = nullptr);
    void bind(PlayerView* view);
    PlayerView* view() const;

    QToolButton* playButton() const { return play_; }
    QSlider* seekSlider() const { return seek_; }
    QLabel* timeLabel() const { return time_; }

private:
    void showState();
    void showTiming();
    void showVolume();

    QPointer<PlayerView> view_;
    QToolButton* play_;
    QSlider* seek_;
    QLabel* time_;
    QToolButton* mute_;
    QSlider* volume_;
    QList<QMetaObject::Connection> links_;
};

// "1:05" (or "1:02:05" from an hour on).
QString playerTimeText(qint64 milliseconds);

}  // namespace zorvan
