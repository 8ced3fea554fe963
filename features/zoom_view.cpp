#include "features/zoom_view.h"

#include <QPainter>

namespace zm {

namespace {
constexpr int kMargin = 6;
constexpr int kTextLine = 18;
} // namespace

ZoomView::ZoomView(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ZoomView::setZoom(uint16_t sourceWidth, uint16_t sourceHeight, const ZoomRect &zoom)
{
    m_sourceWidth = sourceWidth;
    m_sourceHeight = sourceHeight;
    m_zoom = zoom;
    update();
}

QRectF ZoomView::area() const
{
    // A line of text under the frame says what is drawn.
    return QRectF(kMargin, kMargin, width() - 2 * kMargin, height() - 2 * kMargin - kTextLine);
}

ZoomPicture ZoomView::picture() const
{
    const QRectF a = area();
    ZoomPicture p = zoomPicture(a.size(), m_sourceWidth, m_sourceHeight, m_zoom);
    p.frame.translate(a.topLeft());
    p.zoom.translate(a.topLeft());
    return p;
}

void ZoomView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const ZoomPicture p = picture();
    if (!p.frame.isEmpty()) {
        painter.fillRect(p.frame, QColor(70, 70, 70));
        painter.setPen(QPen(palette().text().color(), 1));
        painter.drawRect(p.frame);
        painter.setClipRect(rect().adjusted(1, 1, -1, -1));
        const QColor edge = p.fits ? QColor(40, 200, 90) : QColor(230, 40, 40);
        QColor fill = edge;
        fill.setAlpha(70);
        painter.fillRect(p.zoom, fill);
        painter.setPen(QPen(edge, 2));
        painter.drawRect(p.zoom);
        painter.setClipping(false);
    }
    painter.setPen(palette().text().color());
    const QString text = QStringLiteral("%1x%2 of %3x%4 at %5,%6%7")
                             .arg(m_zoom.width).arg(m_zoom.height).arg(m_sourceWidth).arg(m_sourceHeight)
                             .arg(m_zoom.hStart).arg(m_zoom.vStart)
                             .arg(p.fits ? QString() : QStringLiteral(" (outside the source)"));
    painter.drawText(QRectF(kMargin, height() - kMargin - kTextLine, width() - 2 * kMargin, kTextLine),
                     Qt::AlignCenter, text);
}

} // namespace zm
