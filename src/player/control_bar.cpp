#include "player/control_bar.h"

#include "player/player_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>

#include <functional>
#include <QToolButton>

namespace zorvan {

namespace {

// A slider that a left click beside the handle moves to the point clicked
// (a plain one steps a page), from where it may be dragged on.
class SeekSlider : public QSlider {
public:
    SeekSlider(QWidget* parent, std::function<void(int)> jumped)
        : QSlider(Qt::Horizontal, parent), jumped_(std::move(jumped)) {}

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && maximum() > minimum()) {
            QStyleOptionSlider option;
            initStyleOption(&option);
            const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
            if (!handle.contains(event->position().toPoint())) {
                const QRect groove =
                    style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
                const int span = std::max(1, groove.width() - handle.width());
                const int at = static_cast<int>(event->position().x()) - groove.x() - handle.width() / 2;
                setValue(QStyle::sliderValueFromPosition(minimum(), maximum(), at, span, option.upsideDown));
                if (jumped_) jumped_(value());
            }
        }
        QSlider::mousePressEvent(event);
    }

private:
    std::function<void(int)> jumped_;
};

}  // namespace

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
    play_->setToolTip(tr("播放/暂停（空格）"));
    seek_ = new SeekSlider(this, [this](int ms) {
        if (view_) view_->setPosition(ms);
    });
    seek_->setToolTip(tr("点击或拖动以跳转（左右方向键：5 秒）"));
    // The keys stay with the picture (space, arrows) after the bar was used.
    seek_->setFocusPolicy(Qt::NoFocus);
    time_ = new QLabel(playerTimeText(0) + " / " + playerTimeText(0), this);
    mute_ = new QToolButton(this);
    mute_->setAutoRaise(true);
    mute_->setToolTip(tr("静音"));
    volume_ = new QSlider(Qt::Horizontal, this);
    volume_->setRange(0, 100);
    volume_->setFixedWidth(60);
    volume_->setToolTip(tr("音量"));
    volume_->setFocusPolicy(Qt::NoFocus);
    play_->setFocusPolicy(Qt::NoFocus);
    mute_->setFocusPolicy(Qt::NoFocus);
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
    connect(seek_, &QSlider::sliderReleased, this, [this] {
        if (view_) view_->setPosition(seek_->value());
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
