#pragma once
// Where a window that works beside another one opens (the traffic log beside the console): to
// its right when the screen has room there, else to its left, else where it hides the least of
// it. Never off the screen; narrower than asked when the room beside is narrower but still
// at least `least` wide.

#include <QRect>
#include <QSize>

namespace zm {

QRect besideRect(const QRect &available, const QRect &anchor, const QSize &wanted, int least);

} // namespace zm
