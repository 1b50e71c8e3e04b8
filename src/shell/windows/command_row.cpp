#include "shell/windows/command_row.h"

#include "shell/windows.h"
#include "shell/windows/main_window.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace zorvan {

QHBoxLayout* commandRow(QWidget* owner, std::initializer_list<const char*> texts, std::vector<QPushButton*>& buttons,
                        std::function<void(const QString&)> chosen) {
    auto* row = new QHBoxLayout;
    for (const char* text : texts) {
        auto* b = new QPushButton(QCoreApplication::translate("zorvan", text), owner);
        // The source text is the command, whatever language the label is in.
        QObject::connect(b, &QPushButton::clicked, owner,
                         [chosen, command = QString::fromUtf8(text)] { chosen(command); });
        row->addWidget(b);
        buttons.push_back(b);
    }
    return row;
}

QPushButton* buttonWithText(const std::vector<QPushButton*>& buttons, const QString& text) {
    for (QPushButton* b : buttons)
        if (b->text() == text) return b;
    return nullptr;
}

void placeBesideMainWindow(QWidget& view, int rise) {
    QWidget* main = mainWindow();
    if (!main) return;
    const QRect frame = main->frameGeometry();
    const QRect screen = main->screen()->availableGeometry();
    const int right = frame.right() + 8;
    view.move(right + view.width() <= screen.right() ? right : std::max(screen.left(), frame.left() - 8 - view.width()),
              std::clamp(frame.top() - rise, screen.top(), std::max(screen.top(), screen.bottom() - view.height())));
}

}  // namespace zorvan
