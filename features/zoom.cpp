#include "features/zoom.h"

#include <algorithm>

namespace zm {

QStringList downSizeNames()
{
    return {QStringLiteral("1"), QStringLiteral("1/2"), QStringLiteral("1/4")};
}

QStringList StepList::entries() const
{
    QStringList list;
    list.reserve(count);
    for (int i = 0; i < count; ++i)
        list << QString::asprintf("%03d", value(i));
    return list;
}

ZoomRect pan(const ZoomRect &z, uint16_t sourceWidth, uint16_t sourceHeight, Pan how, const ZoomSteps &s)
{
    // int holds every sum of two 16-bit values; positions come back into 16 bits below.
    const int sw = sourceWidth, sh = sourceHeight;
    int w = z.width, h = z.height, x = z.hStart, y = z.vStart;
    switch (how) {
    case Pan::ZoomIn:
        w = w > s.zoomH + 16 ? w - s.zoomH : 16;
        h = h > s.zoomV + 8 ? h - s.zoomV : 8;
        break;
    case Pan::ZoomOut: {
        w = std::min(w + s.zoomH, sw);
        const int limit = std::max(sh - s.zoomV, 0);
        h = h + s.zoomV > limit ? sh : h + s.zoomV;
        if (x + w > sw)
            x = sw - w;
        if (y + h > limit)
            y = std::max(limit - h, 0);
        break;
    }
    case Pan::Up:
        y = y > s.moveV ? y - s.moveV : 0;
        break;
    case Pan::Left:
        x = x > s.moveH ? x - s.moveH : 0;
        break;
    case Pan::Right: {
        const int limit = std::max(sw - w, 0);
        x = x + s.moveH >= limit ? limit : x + s.moveH;
        break;
    }
    case Pan::Down:
        if (y + s.moveV < sh - h)
            y += s.moveV;
        break;
    case Pan::Center:
        x = std::max(sw - w, 0) / 2;
        y = std::max(sh - h, 0) / 2;
        break;
    }
    return ZoomRect{uint16_t(w), uint16_t(h), uint16_t(x), uint16_t(y)};
}

bool zoomFits(uint16_t sourceWidth, uint16_t sourceHeight, const ZoomRect &z)
{
    return uint32_t(z.hStart) + z.width <= sourceWidth && uint32_t(z.vStart) + z.height <= sourceHeight;
}

ZoomPicture zoomPicture(const QSizeF &area, uint16_t sourceWidth, uint16_t sourceHeight, const ZoomRect &z)
{
    ZoomPicture p;
    p.fits = zoomFits(sourceWidth, sourceHeight, z);
    if (sourceWidth == 0 || sourceHeight == 0 || area.width() <= 0 || area.height() <= 0)
        return p;
    p.scale = std::min(area.width() / sourceWidth, area.height() / sourceHeight);
    const QSizeF frame(sourceWidth * p.scale, sourceHeight * p.scale);
    p.frame = QRectF(QPointF((area.width() - frame.width()) / 2, (area.height() - frame.height()) / 2), frame);
    p.zoom = QRectF(p.frame.left() + z.hStart * p.scale, p.frame.top() + z.vStart * p.scale, z.width * p.scale,
                    z.height * p.scale);
    return p;
}

} // namespace zm
