#include "player/flash_host.h"

#include "player/control_bar.h"
#include "player/file_hooks.h"
#include "player/memory_movies.h"
#include "player/player_address.h"
#include "player/player_view.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

namespace zorvan {

std::vector<FlashHostRecord>& flashHostRecords() {
    // Never destroyed: a host may outlive the other statics at exit.
    static auto* records = new std::vector<FlashHostRecord>;
    return *records;
}

namespace {

FlashHostRecord* recordOf(const QWidget* controlWindow) {
    auto& records = flashHostRecords();
    const auto it = std::find_if(records.begin(), records.end(),
                                 [controlWindow](const FlashHostRecord& r) { return r.controlWindow == controlWindow; });
    return it == records.end() ? nullptr : &*it;
}

// The control's window procedure, before the control sees a message.
class HostProcedure : public QObject {
public:
    HostProcedure(QObject* parent, QWidget* controlWindow) : QObject(parent), controlWindow_(controlWindow) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const FlashHostRecord* record = recordOf(controlWindow_);
        return (record && hostSwallows(*record, event)) || QObject::eventFilter(watched, event);
    }

private:
    QWidget* controlWindow_;
};

}  // namespace

bool hostSwallows(const FlashHostRecord& record, QEvent* event) {
    const auto tell = [&record](FlashHostRecord::Routine routine, int first, int second, int state) {
        const HostNotification notify = record.routines[routine];
        return notify && !notify(first, second, state);  // true: swallowed
    };
    switch (event->type()) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint at = mouse->position().toPoint();
            const int state = static_cast<int>(mouse->buttons());
            const bool right = mouse->button() == Qt::RightButton;
            if (event->type() == QEvent::MouseMove) return tell(FlashHostRecord::MouseMove, at.x(), at.y(), state);
            if (event->type() == QEvent::MouseButtonDblClick)
                return !right && tell(FlashHostRecord::LeftDoubleClick, at.x(), at.y(), state);
            if (event->type() == QEvent::MouseButtonRelease)
                return tell(right ? FlashHostRecord::RightUp : FlashHostRecord::LeftUp, at.x(), at.y(), state);
            if (!right) return tell(FlashHostRecord::LeftDown, at.x(), at.y(), state);
            return tell(FlashHostRecord::RightDown, at.x(), at.y(), state) || record.suppressMenu;
        }
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (tell(FlashHostRecord::KeyDown, key->key(), static_cast<int>(key->nativeScanCode()), 0)) return true;
            return key->key() == Qt::Key_Menu && record.suppressMenu;
        }
        case QEvent::KeyRelease: {
            const auto* key = static_cast<QKeyEvent*>(event);
            return tell(FlashHostRecord::KeyUp, key->key(), static_cast<int>(key->nativeScanCode()), 0);
        }
        case QEvent::ContextMenu:
            return record.suppressMenu;
        default:
            return false;
    }
}

FlashHost::~FlashHost() { Destroy(); }

QWidget* FlashHost::Create(QWidget* parent, int left, int top, int width, int height, std::optional<int> menuMode) {
    if (IsCreated()) return host_;
    if (!parent) return nullptr;
    host_ = new PlayerView(parent);
    host_->setGeometry(left, top, width, height);
    controlWindow_ = host_->videoArea();
    bar_ = new ControlBar(parent);
    bar_->bind(host_);
    parent_ = parent;
    placeBar();
    host_->show();
    bar_->show();

    FlashHostRecord record;
    record.controlWindow = controlWindow_;
    recordKey_ = controlWindow_;
    flashHostRecords().push_back(record);
    // The host window takes the keys, the control window the mouse.
    auto* procedure = new HostProcedure(host_, controlWindow_);
    host_->installEventFilter(procedure);
    controlWindow_->installEventFilter(procedure);
    if (menuMode && (*menuMode == 2 || *menuMode == 3)) SetMenuMode(*menuMode);
    return host_;
}

void FlashHost::placeBar() {
    if (host_ && bar_) bar_->setGeometry(host_->x(), host_->y() + host_->height(), host_->width(), ControlBar::barHeight);
}

bool FlashHost::IsCreated() {
    if (host_ && controlWindow_ && bar_ && record()) return true;
    Destroy();
    return false;
}

void FlashHost::Destroy() {
    FlashHostRecord* found = record();
    if (!found) return;
    auto& records = flashHostRecords();
    records.erase(records.begin() + (found - records.data()));
    delete bar_.data();
    delete host_.data();
    parent_ = nullptr;
    controlWindow_ = nullptr;
    recordKey_ = nullptr;
}

FlashHostRecord* FlashHost::record() const { return recordKey_ ? recordOf(recordKey_) : nullptr; }

bool FlashHost::LoadMovie(const QString& address, std::optional<bool> noLoop, std::optional<bool> stop) {
    if (!IsCreated() || address.isEmpty()) return false;
    host_->play(QString::fromStdString(movieSource(address.toStdString())));
    host_->setLooping(!noLoop.value_or(false));
    if (stop.value_or(false)) host_->holdAtStart();
    return true;
}

bool FlashHost::LoadMovieFromMemory(std::string bytes, std::optional<bool> noLoop, std::optional<bool> stop) {
    if (!IsCreated()) return false;
    queueMemoryMovie(std::move(bytes));
    return LoadMovie(QString::fromUtf8(memoryMoviePath), noLoop, stop);
}

void FlashHost::StopMovie() {
    if (IsCreated()) host_->stop();
}

bool FlashHost::AllowFullScreen(std::optional<bool> value) {
    if (!IsCreated()) return false;
    if (value) host_->setFullScreenAllowed(*value);
    return host_->fullScreenAllowed();
}

int FlashHost::SetWidth(int width, bool apply) {
    if (!IsCreated()) return 0;
    if (!apply) return host_->width();
    host_->resize(width, host_->height());
    placeBar();
    return width;
}

int FlashHost::SetHeight(int height, bool apply) {
    if (!IsCreated()) return 0;
    if (!apply) return host_->height();
    host_->resize(host_->width(), height);
    placeBar();
    return height;
}

QWidget* FlashHost::HostWindow() const { return host_; }
PlayerView* FlashHost::control() const { return host_; }
ControlBar* FlashHost::controlBar() const { return bar_; }

int FlashHost::RecordIndex() const {
    const FlashHostRecord* found = record();
    return found ? static_cast<int>(found - flashHostRecords().data()) + 1 : 0;
}

void FlashHost::SetMenuMode(int mode) {
    if (FlashHostRecord* found = IsCreated() ? record() : nullptr) found->suppressMenu = mode == 3;
}

void FlashHost::SetNotifications(const std::array<HostNotification, FlashHostRecord::RoutineCount>& routines) {
    if (FlashHostRecord* found = IsCreated() ? record() : nullptr) found->routines = routines;
}

bool FlashHost::IsPlaying() { return IsCreated() && host_->isPlaying(); }
qint64 FlashHost::CurrentFrame() { return IsCreated() ? host_->position() : 0; }
qint64 FlashHost::TotalFrames() { return IsCreated() ? host_->duration() : 0; }

bool FlashHost::Loop(std::optional<bool> value) {
    if (!IsCreated()) return false;
    if (value) host_->setLooping(*value);
    return host_->looping();
}

QColor FlashHost::BackgroundColor(std::optional<QColor> value) {
    if (!IsCreated()) return {};
    if (value) {
        QPalette palette = host_->palette();
        palette.setColor(QPalette::Window, *value);
        host_->setPalette(palette);
    }
    return host_->palette().color(QPalette::Window);
}

bool FlashHost::Visible(std::optional<bool> value) {
    if (!IsCreated()) return false;
    if (value) {
        host_->setVisible(*value);
        bar_->setVisible(*value);
    }
    return host_->isVisible();
}

bool FlashHost::Enabled(std::optional<bool> value) {
    if (!IsCreated()) return false;
    if (value) {
        host_->setEnabled(*value);
        bar_->setEnabled(*value);
    }
    return host_->isEnabled();
}

int FlashHost::Left(std::optional<int> value) {
    if (!IsCreated()) return 0;
    if (value) host_->move(*value, host_->y());
    placeBar();
    return host_->x();
}

int FlashHost::Top(std::optional<int> value) {
    if (!IsCreated()) return 0;
    if (value) host_->move(host_->x(), *value);
    placeBar();
    return host_->y();
}

QString FlashHost::MovieSource() {
    if (!IsCreated()) return {};
    return host_->source() == QString::fromUtf8(memoryMoviePath) ? QStringLiteral("内存之中") : host_->source();
}

}  // namespace zorvan
