#include "ui/placement.h"

#include <algorithm>

namespace zm {

QRect besideRect(const QRect &available, const QRect &anchor, const QSize &wanted, int least)
{
    const int height = std::min(wanted.height(), available.height());
    const int top = std::clamp(anchor.top(), available.top(), available.bottom() + 1 - height);
    const int right = available.right() - anchor.right();  // room right of the anchor
    const int left = anchor.left() - available.left();     // room left of it
    const int width = std::min(wanted.width(), available.width());
    if (right >= std::min(width, least) && right >= left)
        return QRect(anchor.right() + 1, top, std::min(width, right), height);
    if (left >= std::min(width, least))
        return QRect(anchor.left() - std::min(width, left), top, std::min(width, left), height);
    // No room beside: against the edge with more room, covering as little of the anchor as can be.
    const int x = right >= left ? available.right() + 1 - width : available.left();
    return QRect(x, top, width, height);
}

} // namespace zm
