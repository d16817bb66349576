#pragma once
// Windows drawn for a large screen still fit a small one.

class QWidget;

namespace keli {

// A window larger than the available area of its screen opens at that area instead (maximized), so
// no scroll bar or button lies off the screen. When stretch is given it follows every later change
// of the window's size, the children below it keep their distance from the bottom edge, and children
// that would stand over the right edge are moved in (and narrowed when wider than the window).
void fitToScreen(QWidget *window, QWidget *stretch = nullptr);

} // namespace keli
