#pragma once

#include <QString>

#include <functional>
#include <initializer_list>
#include <vector>

class QHBoxLayout;
class QPushButton;
class QWidget;

namespace zorvan {

// A view's row of command buttons: one per text (its label translated in
// context "zorvan"), each telling `chosen` its source text when clicked. The buttons are
// added to `buttons` in order.
QHBoxLayout* commandRow(QWidget* owner, std::initializer_list<const char*> texts, std::vector<QPushButton*>& buttons,
                        std::function<void(const QString&)> chosen);
// The button of that text among them, or null.
QPushButton* buttonWithText(const std::vector<QPushButton*>& buttons, const QString& text);

// Moves a view, the first time it is shown, beside the main window (right
// of it where the screen has room, else left), its top `rise` pixels above
// the main window's and within the screen.
void placeBesideMainWindow(QWidget& view, int rise);

}  // namespace zorvan
