#pragma once
// The zoom window's drawing: the source frame, to scale, with the zoom rectangle in it. A
// rectangle that reaches outside the source is drawn in red.

#include "features/zoom.h"

#include <QWidget>

namespace zm {

class ZoomView : public QWidget
{
    Q_OBJECT

public:
    explicit ZoomView(QWidget *parent = nullptr);

    void setZoom(uint16_t sourceWidth, uint16_t sourceHeight, const ZoomRect &zoom);
    // What the last paint drew from (for tests).
    ZoomPicture picture() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRectF area() const;

    uint16_t m_sourceWidth = 640;
    uint16_t m_sourceHeight = 480;
    ZoomRect m_zoom{640, 480, 0, 0};
};

} // namespace zm
