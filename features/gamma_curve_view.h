#pragma once
// The gamma window's drawing: the curve of the table (its 17 levels over the 15 break points)
// with the default curve faint behind it.

#include "features/gamma.h"

#include <QWidget>

namespace zm {

class GammaCurveView : public QWidget
{
    Q_OBJECT

public:
    explicit GammaCurveView(QWidget *parent = nullptr);

    void setTable(const GammaTable &table);
    const GammaTable &table() const { return m_table; }
    // The plot area inside the widget, where input 0..256 and output 0..255 are drawn.
    QRectF plotArea() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    GammaTable m_table = kDefaultGamma;
};

} // namespace zm
