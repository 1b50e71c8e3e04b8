#include "player/control_bar.h"

#include "player/player_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

namespace zorvan {

QString playerTimeText(qint64 milliseconds) {
    const qint64 seconds = std::max<qint64>(0, milliseconds) / 1000;
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

ControlBar::ControlBar(QWidget* parent) : QWidget(parent) {
    setFixedHeight(barHeight);
    setAttribute(Qt::WA_StyledBackground);  // so a style sheet may colour the bar
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 4, 1);
    layout->setSpacing(4);

    play_ = new QToolButton(this);
    play_->setAutoRaise(true);
    play_->setToolTip(QStringLiteral("播放/暂停（空格）"));
    seek_ = new QSlider(Qt::Horizontal, this);
    seek_->setToolTip(QStringLiteral("拖动以跳转（左右方向键：5 秒）"));
    time_ = new QLabel(playerTimeText(0) + " / " + playerTimeText(0), this);
    mute_ = new QToolButton(this);
    mute_->setAutoRaise(true);
    mute_->setToolTip(QStringLiteral("静音"));
    volume_ = new QSlider(Qt::Horizontal, this);
    volume_->setRange(0, 100);
    volume_->setFixedWidth(60);
    volume_->setToolTip(QStringLiteral("音量"));
    layout->addWidget(play_);
    layout->addWidget(seek_, 1);
    layout->addWidget(time_);
    layout->addWidget(mute_);
    layout->addWidget(volume_);

    connect(play_, &QToolButton::clicked, this, [this] {
        if (view_) view_->togglePause();
    });
    connect(seek_, &QSlider::sliderMoved, this, [this](int ms) {
        if (view_) view_->setPosition(ms);
    });
    connect(mute_, &QToolButton::clicked, this, [this] {
        if (view_) view_->setMuted(!PlayerView::muted());
    });
    connect(volume_, &QSlider::valueChanged, this, [this](int value) {
        if (view_ && value != PlayerView::volume()) view_->setVolume(value);
    });
    showState();
    showVolume();
}

PlayerView* ControlBar::view() const { return view_; }

void ControlBar::bind(PlayerView* view) {
    for (const auto& link : links_) disconnect(link);
    links_.clear();
    view_ = view;
    if (view) {
        links_ << connect(view, &PlayerView::stateChanged, this, &ControlBar::showState)
               << connect(view, &PlayerView::timingChanged, this, &ControlBar::showTiming)
               << connect(view, &PlayerView::volumeChanged, this, &ControlBar::showVolume);
    }
    showState();
    showTiming();
    showVolume();
}

void ControlBar::showState() {
    const bool playing = view_ && view_->isPlaying();
    play_->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
}

void ControlBar::showTiming() {
    const qint64 position = view_ ? view_->position() : 0;
    const qint64 duration = view_ ? view_->duration() : 0;
    seek_->setRange(0, static_cast<int>(std::max<qint64>(duration, 0)));
    if (!seek_->isSliderDown()) seek_->setValue(static_cast<int>(position));
    time_->setText(playerTimeText(position) + " / " + playerTimeText(duration));
}

void ControlBar::showVolume() {
    mute_->setIcon(style()->standardIcon(PlayerView::muted() ? QStyle::SP_MediaVolumeMuted : QStyle::SP_MediaVolume));
    volume_->setValue(PlayerView::volume());
}

}  // namespace zorvan
