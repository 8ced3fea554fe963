#include "features/gamma_curve_view.h"

#include <QPainter>
#include <QPainterPath>

namespace zm {

namespace {

constexpr int kMargin = 10;
constexpr int kAxisText = 28;

QPolygonF plotted(const GammaTable &table, const QRectF &plot)
{
    QPolygonF polygon;
    for (const QPointF &p : gammaCurve(table))
        polygon << gammaPlotPoint(p, plot);
    return polygon;
}

} // namespace

GammaCurveView::GammaCurveView(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void GammaCurveView::setTable(const GammaTable &table)
{
    if (table == m_table)
        return;
    m_table = table;
    update();
}

QRectF GammaCurveView::plotArea() const
{
    // Square, so that the identity line runs at 45 degrees; room on the left and below for the
    // scale.
    const double side = std::max(0, std::min(width() - kAxisText - 2 * kMargin, height() - kAxisText - 2 * kMargin));
    return QRectF(kMargin + kAxisText, kMargin, side, side);
}

void GammaCurveView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), palette().base());
    const QRectF plot = plotArea();
    if (plot.isEmpty())
        return;
    const QColor text = palette().text().color();
    QColor grid = text;
    grid.setAlpha(40);
    painter.setPen(QPen(grid, 1));
    for (int v = 0; v <= 256; v += 64) {
        const double x = gammaPlotPoint(QPointF(v, 0), plot).x();
        const double y = gammaPlotPoint(QPointF(0, std::min(v, 255)), plot).y();
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    painter.setPen(text);
    painter.drawRect(plot);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    painter.setFont(small);
    for (int v : {0, 128, 255}) {
        const QPointF x = gammaPlotPoint(QPointF(v, 0), plot);
        painter.drawText(QRectF(x.x() - 20, plot.bottom() + 2, 40, kAxisText / 2), Qt::AlignCenter, QString::number(v));
        const QPointF y = gammaPlotPoint(QPointF(0, v), plot);
        painter.drawText(QRectF(plot.left() - kAxisText, y.y() - 8, kAxisText - 3, 16), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(v));
    }

    painter.setClipRect(plot.adjusted(-4, -4, 4, 4));
    QColor faint = text;
    faint.setAlpha(70);
    painter.setPen(QPen(faint, 1.5, Qt::DashLine));
    painter.drawPolyline(plotted(kDefaultGamma, plot));

    const QPolygonF curve = plotted(m_table, plot);
    const QColor ink(30, 110, 220);
    painter.setPen(QPen(ink, 2));
    painter.drawPolyline(curve);
    painter.setBrush(ink);
    for (const QPointF &p : curve)
        painter.drawEllipse(p, 2.5, 2.5);
}

} // namespace zm
