#include "shell/windows/command_row.h"

#include "shell/windows.h"
#include "shell/windows/main_window.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <string_view>

namespace zorvan {

QBoxLayout* commandRow(QWidget* owner, std::initializer_list<const char*> texts, std::vector<QPushButton*>& buttons,
                       std::function<void(const QString&)> chosen) {
    const bool severalLines = std::find(texts.begin(), texts.end(), std::string_view()) != texts.end();
    auto* lines = new QVBoxLayout;
    auto* line = new QHBoxLayout;
    lines->addLayout(line);
    for (const char* text : texts) {
        if (std::string_view(text).empty()) {
            line->addStretch();
            line = new QHBoxLayout;
            lines->addLayout(line);
            continue;
        }
        auto* b = new QPushButton(QCoreApplication::translate("zorvan", text), owner);
        // The source text is the command, whatever language the label is in.
        QObject::connect(b, &QPushButton::clicked, owner,
                         [chosen, command = QString::fromUtf8(text)] { chosen(command); });
        line->addWidget(b);
        buttons.push_back(b);
    }
    if (!severalLines) {
        lines->removeItem(line);
        delete lines;
        return line;
    }
    line->addStretch();
    return lines;
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
