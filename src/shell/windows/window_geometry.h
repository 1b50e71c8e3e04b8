#pragma once

class QWidget;

namespace zorvan {

// Window sizes and positions in this program are outer ones, frame and
// caption included, as the window designs give them. Where the platform has
// not framed a window yet (or never does, as offscreen), outer equals inner.

int outerLeft(const QWidget* window);
int outerTop(const QWidget* window);
int outerWidth(const QWidget* window);
int outerHeight(const QWidget* window);

void moveOuter(QWidget* window, int left, int top);

// Sizes the window so its outer size is width x height. A window the user
// may not resize stays fixed at the new size.
void setOuterSize(QWidget* window, int width, int height);
void setOuterWidth(QWidget* window, int width);

// Places the window in the middle of the screen it is on.
void centreOnScreen(QWidget* window);

// Gives a new window its design (outer) size now and again once it is first
// shown, when the platform's frame is known; a centred window is centred
// each time.
void applyDesignSize(QWidget* window, int width, int height, bool centred);
// Drops what applyDesignSize would still do at the first showing: the
// window keeps the place and size it was given since (remembered ones).
void keepGivenGeometry(QWidget* window);

}  // namespace zorvan
