#include "player/player_view.h"

#include "player/control_bar.h"
#include "player/file_layer.h"
#include "web/fetch_workers.h"
#include "web/server_check.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QVideoSink>
#include <QVideoWidget>

#include <unistd.h>

#include <algorithm>
#include <memory>
#include <thread>

namespace zorvan {

namespace {

// Kept for the run, across players.
int runVolume = 100;
bool runMuted = false;

constexpr qint64 seekStepMs = 5000;

bool isRemote(const QString& source) {
    return source.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
           source.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

// Why an address that the player could not play fails, in a few words: the
// server's status, no server at all, or content that is no video (empty
// when `onlyFaults` and the server answers fine).
QString failureOf(const std::string& address, bool onlyFaults) {
    const int status = answerStatus(address);
    if (status == 0) return PlayerView::tr("无法播放：无法连接服务器");
    if (status >= 400) return PlayerView::tr("无法播放：服务器回答 %1").arg(status);
    if (onlyFaults) return {};
    return PlayerView::tr("无法播放：文件格式不支持");
}

// A remote source not loaded by then is looked into: a media backend may
// take half a minute to give up on a server that is not there.
constexpr int slowLoadMs = 2500;
// The full-screen control bar hides after the mouse has been still this long.
constexpr int barShownMs = 2000;

}  // namespace

PlayerView::PlayerView(QWidget* parent) : QWidget(parent), explainers_(std::make_unique<FetchWorkers>()) {
    setAutoFillBackground(true);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setFocusPolicy(Qt::StrongFocus);

    video_ = new QVideoWidget(this);
    video_->setFocusPolicy(Qt::NoFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(video_);

    overlay_ = new QLabel(this);
    overlay_->setAlignment(Qt::AlignCenter);
    overlay_->setWordWrap(true);
    overlay_->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    overlay_->setAttribute(Qt::WA_TransparentForMouseEvents);
    overlay_->hide();

    player_ = new QMediaPlayer(this);
    player_->setVideoOutput(video_);
    // Without a sound device some media backends fail; play silently then.
    if (!QMediaDevices::audioOutputs().isEmpty()) {
        audio_ = new QAudioOutput(this);
        audio_->setVolume(static_cast<float>(runVolume) / 100.0f);
        audio_->setMuted(runMuted);
        player_->setAudioOutput(audio_);
    }
    player_->setLoops(QMediaPlayer::Infinite);

    connect(player_, &QMediaPlayer::playbackStateChanged, this, &PlayerView::stateChanged);
    connect(player_, &QMediaPlayer::positionChanged, this, &PlayerView::timingChanged);
    connect(player_, &QMediaPlayer::durationChanged, this, &PlayerView::timingChanged);
    connect(player_, &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error, const QString& detail) { onError(detail); });
    connect(player_, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::LoadingMedia) showMessage(tr("正在载入…"));
        if (status == QMediaPlayer::StalledMedia) showMessage(tr("正在缓冲…"));
        if (status == QMediaPlayer::LoadedMedia || status == QMediaPlayer::BufferedMedia) showMessage(QString());
    });
}

PlayerView::~PlayerView() {
    releaseSource();  // before the media player, a child, goes after this body
    delete fullScreenFrame_;
}

void PlayerView::showMessage(const QString& text, bool failure) {
    overlay_->setText(text);
    overlay_->setVisible(!text.isEmpty());
    overlay_->raise();
    // Where the video surface is a window of its own (X11) nothing is drawn
    // over it: a source that cannot be played leaves the black ground to
    // the reason.
    video_->setVisible(!failure);
    // A source that failed is not playing, whatever state the media
    // player was left in: the control bar shows "play", not "pause".
    if (failure != failed_) {
        failed_ = failure;
        emit stateChanged();
    }
}

QString PlayerView::message() const { return overlay_->isVisible() ? overlay_->text() : QString(); }

void PlayerView::onError(const QString& detail) {
    if (source_.isEmpty()) return;
    showMessage(tr("无法播放：") + detail, true);
    explainFailure(source_);
}

// A remote source's failure is looked into on a worker, so the reason can
// name what the server said; a newer play() makes the answer moot.
void PlayerView::explainFailure(const QString& source, bool onlyFaults) {
    if (!isRemote(source)) return;
    QPointer<PlayerView> self(this);
    const int attempt = attempt_;
    explainers_->start([self = std::move(self), attempt, onlyFaults,
                        address = source.toStdString()](const std::stop_token& stop) mutable {
        const QString reason = failureOf(address, onlyFaults);
        if (stop.stop_requested()) return;  // cut short by a newer look: no answer
        QMetaObject::invokeMethod(QCoreApplication::instance(), [self = std::move(self), attempt, reason] {
            if (self && self->attempt_ == attempt && !reason.isEmpty()) self->showMessage(reason, true);
        }, Qt::QueuedConnection);
    });
}

bool PlayerView::openLocal(const QString& path) {
    const std::string name = path.toStdString();
    if (fileAttributes(name.c_str()) == invalidFileAttributes) return false;
    FoundFile found;
    if (!fileFind(name.c_str(), &found)) return false;
    const int fd = fileOpen(found.path.c_str());
    if (fd < 0) return false;
    // The media backend reads the open file by its descriptor's name, so it
    // can seek in it (a stream device could not) and a memory movie plays
    // like any file.
    localFile_ = std::make_unique<QFile>();
    if (!localFile_->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        localFile_.reset();
        return false;
    }
    player_->setSource(QUrl::fromLocalFile(QStringLiteral("/proc/self/fd/%1").arg(fd)));
    return true;
}

void PlayerView::play(const QString& source) {
    stop();
    source_ = source;
    if (source.isEmpty()) return;
    const QUrl url(source);
    const bool local = url.isLocalFile() || url.scheme().size() <= 1;  // "C:" style or no scheme: a path
    if (local) {
        const QString path = url.isLocalFile() ? url.toLocalFile() : source;
        if (!openLocal(path)) {
            showMessage(tr("无法播放：找不到这个文件"), true);
            return;
        }
    } else {
        player_->setSource(url);
        const int attempt = attempt_;
        QTimer::singleShot(slowLoadMs, this, [this, attempt] {
            const auto status = player_->mediaStatus();
            const bool waiting = status == QMediaPlayer::LoadingMedia || status == QMediaPlayer::NoMedia ||
                                 status == QMediaPlayer::StalledMedia;
            if (attempt == attempt_ && waiting) explainFailure(source_, true);
        });
    }
    player_->play();
}

void PlayerView::stop() {
    ++attempt_;
    releaseSource();
    source_.clear();
    showMessage(QString());
}

// The media player lets go of its source before an open local file closes.
void PlayerView::releaseSource() {
    player_->stop();
    player_->setSource(QUrl());
    localFile_.reset();
}

void PlayerView::holdAtStart() { player_->pause(); }

void PlayerView::togglePause() {
    if (player_->playbackState() == QMediaPlayer::PlayingState)
        player_->pause();
    else if (!source_.isEmpty())
        player_->play();
}

void PlayerView::seekBy(qint64 milliseconds) { setPosition(player_->position() + milliseconds); }

void PlayerView::setPosition(qint64 milliseconds) {
    const qint64 end = player_->duration();
    player_->setPosition(std::clamp<qint64>(milliseconds, 0, end > 0 ? end : 0));
}

void PlayerView::setLooping(bool loop) {
    looping_ = loop;
    player_->setLoops(loop ? QMediaPlayer::Infinite : QMediaPlayer::Once);
}

bool PlayerView::isPlaying() const { return !failed_ && player_->playbackState() == QMediaPlayer::PlayingState; }
qint64 PlayerView::position() const { return player_->position(); }
qint64 PlayerView::duration() const { return player_->duration(); }

int PlayerView::volume() { return runVolume; }
bool PlayerView::muted() { return runMuted; }

void PlayerView::setVolume(int volume) {
    runVolume = std::clamp(volume, 0, 100);
    if (audio_) audio_->setVolume(static_cast<float>(runVolume) / 100.0f);
    emit volumeChanged();
}

void PlayerView::setMuted(bool muted) {
    runMuted = muted;
    if (audio_) audio_->setMuted(muted);
    emit volumeChanged();
}

QVideoSink* PlayerView::videoSink() const { return video_->videoSink(); }
QWidget* PlayerView::videoArea() const { return video_; }

bool PlayerView::isFullScreenShown() const { return fullScreenFrame_ != nullptr; }

void PlayerView::toggleFullScreen() {
    if (fullScreenFrame_) {
        leaveFullScreen();
        return;
    }
    if (!fullScreenAllowed_) return;
    // A child cannot fill the screen; a frame of its own can, and it comes
    // back to its place afterwards.
    homeParent_ = parentWidget();
    homeGeometry_ = geometry();
    fullScreenFrame_ = new QWidget;
    fullScreenFrame_->setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(fullScreenFrame_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(this);
    // Its own control bar, there while the mouse moves.
    fullScreenBar_ = new ControlBar(fullScreenFrame_);
    fullScreenBar_->bind(this);
    layout->addWidget(fullScreenBar_);
    barTimer_ = new QTimer(fullScreenFrame_);
    barTimer_->setSingleShot(true);
    barTimer_->setInterval(barShownMs);
    connect(barTimer_, &QTimer::timeout, fullScreenBar_, &QWidget::hide);
    barTimer_->start();
    // The video surface may take the mouse's events itself: watched for
    // the whole program while the screen is filled.
    QCoreApplication::instance()->installEventFilter(this);
    fullScreenFrame_->showFullScreen();
    setFocus();
}

bool PlayerView::eventFilter(QObject* watched, QEvent* event) {
    if (fullScreenBar_ && event->type() == QEvent::MouseMove) {
        fullScreenBar_->show();
        barTimer_->start();
    }
    return QWidget::eventFilter(watched, event);
}

void PlayerView::leaveFullScreen() {
    if (!fullScreenFrame_) return;
    QCoreApplication::instance()->removeEventFilter(this);
    fullScreenBar_ = nullptr;  // the frame's child: goes with it
    barTimer_ = nullptr;
    setParent(homeParent_);
    setGeometry(homeGeometry_);
    show();
    fullScreenFrame_->deleteLater();
    fullScreenFrame_ = nullptr;
    setFocus();
}

void PlayerView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Space: togglePause(); break;
        case Qt::Key_Left: seekBy(-seekStepMs); break;
        case Qt::Key_Right: seekBy(seekStepMs); break;
        case Qt::Key_F: toggleFullScreen(); break;
        case Qt::Key_Escape:
            if (!fullScreenFrame_) return QWidget::keyPressEvent(event);  // the window may close on it
            leaveFullScreen();
            break;
        default: return QWidget::keyPressEvent(event);
    }
    event->accept();
}

void PlayerView::mouseDoubleClickEvent(QMouseEvent* event) {
    toggleFullScreen();
    event->accept();
}

void PlayerView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    overlay_->setGeometry(rect().adjusted(8, 8, -8, -8));
}

}  // namespace zorvan
