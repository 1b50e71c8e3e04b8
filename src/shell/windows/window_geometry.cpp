#include "shell/windows/window_geometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QEvent>
#include <QWidget>

namespace zorvan {

namespace {

QSize frameExtra(const QWidget* window) {
    return window->frameGeometry().size() - window->size();
}

bool userResizable(const QWidget* window) {
    return window->minimumSize() != window->maximumSize();
}

class DesignSizeOnFirstShow : public QObject {
public:
    DesignSizeOnFirstShow(QWidget* window, QSize size, bool centred)
        : QObject(window), size_(size), centred_(centred), placedAt_(window->pos()) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            auto* window = static_cast<QWidget*>(watched);
            setOuterSize(window, size_.width(), size_.height());
            // Centred again with the frame known, unless someone placed it meanwhile.
            if (centred_ && window->pos() == placedAt_) centreOnScreen(window);
            window->removeEventFilter(this);
            deleteLater();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QSize size_;
    bool centred_;
    QPoint placedAt_;
};

}  // namespace

int outerLeft(const QWidget* window) { return window->frameGeometry().x(); }
int outerTop(const QWidget* window) { return window->frameGeometry().y(); }
int outerWidth(const QWidget* window) { return window->frameGeometry().width(); }
int outerHeight(const QWidget* window) { return window->frameGeometry().height(); }

void moveOuter(QWidget* window, int left, int top) { window->move(left, top); }

void setOuterSize(QWidget* window, int width, int height) {
    const QSize inner = QSize(width, height) - frameExtra(window);
    if (userResizable(window))
        window->resize(inner);
    else
        window->setFixedSize(inner);
}

void setOuterWidth(QWidget* window, int width) { setOuterSize(window, width, outerHeight(window)); }

void centreOnScreen(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    moveOuter(window, area.x() + (area.width() - outerWidth(window)) / 2,
              area.y() + (area.height() - outerHeight(window)) / 2);
}

}  // namespace zorvan

namespace zorvan {

void applyDesignSize(QWidget* window, int width, int height, bool centred) {
    setOuterSize(window, width, height);
    if (centred) centreOnScreen(window);
    window->installEventFilter(new DesignSizeOnFirstShow(window, QSize(width, height), centred));
}

void keepGivenGeometry(QWidget* window) {
    for (QObject* child : window->children())
        if (auto* pending = dynamic_cast<DesignSizeOnFirstShow*>(child)) {
            window->removeEventFilter(pending);
            pending->deleteLater();
        }
}

}  // namespace zorvan
