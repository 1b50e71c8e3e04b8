#include "shell/windows/escape_closes.h"

#include <QKeyEvent>
#include <QWidget>

namespace zorvan {

namespace {

// Sees the window's own key presses and those its units leave unhandled.
class EscapeCloses : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
            static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
            static_cast<QWidget*>(watched)->close();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

void closeOnEscape(QWidget* window) { window->installEventFilter(new EscapeCloses(window)); }

}  // namespace zorvan
