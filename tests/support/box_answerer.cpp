#include "support/box_answerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

namespace zorvan::test {

BoxAnswerer::BoxAnswerer(QMessageBox::StandardButton answer, SeenCallback onSeen)
    : answer_(answer), onSeen_(std::move(onSeen)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start(10);
}

BoxAnswerer::~BoxAnswerer() { timer_.stop(); }

void BoxAnswerer::poll() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (!box || !box->isVisible()) continue;
        seen_ = SeenBox{box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                        box->parentWidget()};
        timer_.stop();
        if (onSeen_) onSeen_(*seen_);
        if (QAbstractButton* button = box->button(answer_))
            button->click();
        else
            box->reject();
        return;
    }
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

}  // namespace zorvan::test
