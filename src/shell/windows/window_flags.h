#pragma once

#include <Qt>

class QWidget;

namespace zorvan {

// Sets or clears one window flag. Changing a flag hides a window; a visible
// one is shown again where it was.
void setWindowFlagInPlace(QWidget* window, Qt::WindowType flag, bool on);

}  // namespace zorvan
