#include "support/box_answerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

namespace zorvan::test {

BoxAnswerer::BoxAnswerer(std::vector<QMessageBox::StandardButton> answers) : answers_(std::move(answers)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start(10);
}

BoxAnswerer::BoxAnswerer(QMessageBox::StandardButton answer, SeenCallback onSeen)
    : answers_{answer}, onSeen_(std::move(onSeen)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start(10);
}

BoxAnswerer::~BoxAnswerer() { timer_.stop(); }

void BoxAnswerer::poll() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (!box || !box->isVisible()) continue;
        if (answers_.empty()) return;
        QStringList buttonTexts;
        for (QAbstractButton* button : box->buttons()) buttonTexts << button->text();
        seen_ = SeenBox{box->windowTitle(), box->text(), box->icon(), box->standardButtons(), buttonTexts,
                        box->parentWidget()};
        all_.push_back(*seen_);
        const QMessageBox::StandardButton answer = answers_.front();
        answers_.erase(answers_.begin());
        if (answers_.empty()) timer_.stop();
        if (onSeen_) onSeen_(*seen_);
        if (QAbstractButton* button = box->button(answer))
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

void settleFor(int ms) { waitUntil([] { return false; }, ms); }

}  // namespace zorvan::test
