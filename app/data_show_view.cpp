#include "app/data_show_view.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace zm {

namespace {
constexpr int kMargin = 4;
}

DataShowView::DataShowView(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    relayout();
}

void DataShowView::appendBytes(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    m_data.append(bytes);
    updateScrollBar(true);
    viewport()->update();
}

void DataShowView::clear()
{
    m_data.clear();
    updateScrollBar(true);
    viewport()->update();
}

void DataShowView::setHexShow(bool hex)
{
    if (hex == m_hex)
        return;
    m_hex = hex;
    updateScrollBar(true);
    viewport()->update();
}

qint64 DataShowView::lineCount() const
{
    return m_hex ? m_data.hexLineCount(m_bytesPerHexLine) : m_data.charLineCount();
}

int DataShowView::visibleLines() const
{
    return std::max(1, (viewport()->height() - 2 * kMargin) / m_lineHeight);
}

void DataShowView::relayout()
{
    const QFontMetricsF fm(font());
    m_lineHeight = std::max(1, int(std::ceil(fm.lineSpacing())));
    // A character's advance is rarely a whole pixel: counting columns by the rounded width would
    // let the last character of a long row fall under the scroll bar.
    const qreal advance = std::max<qreal>(1.0, fm.horizontalAdvance(QString(64, QLatin1Char('0'))) / 64.0);
    m_charWidth = std::max(1, int(std::ceil(advance)));
    const int columns = std::max(1, int((viewport()->width() - 2 * kMargin) / advance));
    m_bytesPerHexLine = std::max(1, columns / 3);
    m_data.setCharColumns(columns);
    updateScrollBar(true);
}

void DataShowView::updateScrollBar(bool toEnd)
{
    QScrollBar *bar = verticalScrollBar();
    const int page = visibleLines();
    const qint64 top = std::max<qint64>(0, lineCount() - page);
    bar->setRange(0, int(std::min<qint64>(top, INT_MAX)));
    bar->setPageStep(page);
    bar->setSingleStep(1);
    if (toEnd)
        bar->setValue(bar->maximum());
}

void DataShowView::paintEvent(QPaintEvent *)
{
    ++m_paints;
    QPainter p(viewport());
    p.setFont(font());
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
    const QFontMetrics fm(font());
    const qint64 first = verticalScrollBar()->value();
    const qint64 last = std::min(lineCount(), first + visibleLines() + 1);
    int y = kMargin + fm.ascent();
    for (qint64 line = first; line < last; ++line, y += m_lineHeight) {
        const QString text = m_hex ? m_data.hexLine(line, m_bytesPerHexLine) : m_data.charLine(line);
        p.drawText(kMargin, y, text);
    }
}

void DataShowView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

void DataShowView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        relayout();
}

void DataShowView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *copy = menu.addAction(tr("Copy All"));
    copy->setEnabled(m_data.size() > 0);
    if (menu.exec(event->globalPos()) == copy)
        QApplication::clipboard()->setText(shownText());
}

} // namespace zm
