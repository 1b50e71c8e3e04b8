#include "player/media_player.h"

#include "player/control_bar.h"
#include "player/player_address.h"
#include "player/player_view.h"

namespace zorvan {

namespace {
// Where the engine not shown waits, out of the way.
const QRect awayFromView(-10000, -10000, 1, 1);
}

MediaPlayer::MediaPlayer(QWidget* window) : QObject(window), window_(window) {}

void MediaPlayer::Create(int left, int top, int width, int height) {
    geometry_ = QRect(left, top, width, height);
    flash_ = new PlayerView(window_);
    media_ = new PlayerView(window_);
    for (PlayerView* engine : {flash_, media_}) {
        engine->setGeometry(geometry_);
        engine->setFullScreenAllowed(true);
        engine->hide();
    }
    setFlashVariable(QStringLiteral("playvolume"), QString::number(PlayerView::volume()));
    bar_ = new ControlBar(window_);
    bar_->setGeometry(left, top + height, width, ControlBar::barHeight);
    bar_->show();
}

void MediaPlayer::Open(const QString& address) {
    if (!flash_) return;
    if (engineFor(address.toStdString()) == PlayerEngine::FlashMovie) {
        mode_ = 0;
        setFlashVariable(QStringLiteral("flvurl"), address);
    } else {
        mode_ = 1;
        setMediaUrl(address);
    }
    show(mode_ == 0 ? Shown::FlashMovieEngine : Shown::MediaPlayerEngine);
}

void MediaPlayer::show(Shown engine) {
    if (engine == shown_) return;
    PlayerView* chosen = engine == Shown::FlashMovieEngine ? flash_ : media_;
    PlayerView* other = chosen == flash_ ? media_ : flash_;
    other->stop();
    other->setGeometry(awayFromView);
    other->hide();
    chosen->setGeometry(geometry_);
    chosen->show();
    chosen->setFocus();
    bar_->bind(chosen);
    shown_ = engine;
}

void MediaPlayer::setFlashVariable(const QString& name, const QString& value) {
    if (!flash_) return;
    if (name == QLatin1String("flvurl")) flash_->play(value);
    if (name == QLatin1String("playkz") && value == QLatin1String("play") && !flash_->isPlaying()) flash_->togglePause();
    if (name == QLatin1String("playkz") && value == QLatin1String("stop") && flash_->isPlaying()) flash_->togglePause();
    if (name == QLatin1String("playvolume")) flash_->setVolume(value.toInt());
}

void MediaPlayer::setMediaUrl(const QString& url) {
    if (media_) media_->play(url);
}

PlayerView* MediaPlayer::shownView() const {
    if (shown_ == Shown::FlashMovieEngine) return flash_;
    if (shown_ == Shown::MediaPlayerEngine) return media_;
    return nullptr;
}

}  // namespace zorvan
