#pragma once

#include <QString>

class QWidget;

namespace zorvan {

// The title marker of a window kept on top.
inline constexpr const char* stayOnTopMarker = QT_TRANSLATE_NOOP("zorvan", "     已置顶");
// The marker in the window's language.
QString stayOnTopMarkerText();

// "置顶": acts on the check mark its menu command has just been given by
// its click. The main window goes on top with the marker in its title, or
// back with the marker removed.
void toggleStayOnTop();

// The rule the other windows follow when they appear: on top with the
// marker while "置顶" is checked, else not on top.
void applyStayOnTop(QWidget* window);
// Takes a window out of the topmost band; its title stays.
void releaseStayOnTop(QWidget* window);

// A new title for the main window, with the marker while "置顶" is checked.
QString withStayOnTopMarker(const QString& title);

}  // namespace zorvan
