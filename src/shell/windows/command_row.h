#pragma once

#include <QString>

#include <functional>
#include <initializer_list>
#include <vector>

class QBoxLayout;
class QPushButton;
class QWidget;

namespace zorvan {

// A view's row of command buttons: one per text (its label translated in
// context "zorvan"), each telling `chosen` its source text when clicked; an
// empty text starts a second line of them. The buttons are
// added to `buttons` in order.
QBoxLayout* commandRow(QWidget* owner, std::initializer_list<const char*> texts, std::vector<QPushButton*>& buttons,
                       std::function<void(const QString&)> chosen);
// The button of that text among them, or null.
QPushButton* buttonWithText(const std::vector<QPushButton*>& buttons, const QString& text);

// Moves a view, the first time it is shown, beside the main window (right
// of it where the screen has room, else left), its top `rise` pixels above
// the main window's and within the screen.
void placeBesideMainWindow(QWidget& view, int rise);

}  // namespace zorvan
