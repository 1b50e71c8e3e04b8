#pragma once

class QWidget;

namespace zorvan {

// Makes the Esc key send the window a close request, as its close button does.
void closeOnEscape(QWidget* window);

}  // namespace zorvan
