#pragma once
// The zoom window's arithmetic: the remembered zoom record, the down-size byte, the step lists of
// the pan controls and what each pan or zoom button makes of the rectangle, and where the
// drawing puts the source frame and the rectangle.
//
// The pan rules keep the chip's own asymmetries: Zoom Out limits the height by SH - zv but the
// width by SW; Right stops at its limit while Dwon does not move at all once it would pass it.
// Limits are worked out in signed arithmetic and taken as 0 when the rectangle is larger than
// the source, so a typed rectangle that does not fit can never wrap a position round to 65535.

#include "protocol/frame_builders.h"

#include <QRectF>
#include <QSizeF>
#include <QStringList>

#include <cstdint>

namespace zm {

// Down-size choices: index 0 "1", 1 "1/2", 2 "1/4".
QStringList downSizeNames();
// The set-down-size byte: vertical index in bits 4-5, horizontal in bits 0-1.
inline uint8_t downSizeByte(int horizontal, int vertical) { return uint8_t((vertical & 3) << 4 | (horizontal & 3)); }
inline int downSizeHorizontal(uint8_t byte) { return byte & 3; }
inline int downSizeVertical(uint8_t byte) { return (byte >> 4) & 3; }

struct ZoomRecord {
    int hDownSize = 0;
    int vDownSize = 0;
    uint16_t sourceWidth = 640;
    uint16_t sourceHeight = 480;
    ZoomRect zoom{640, 480, 0, 0};
};

// One drop-down of "Zoom Config Pan": entries first, first + step, ... as "%03d".
struct StepList {
    int first = 0;
    int step = 1;
    int count = 1;
    int startIndex = 0;

    int value(int index) const { return first + index * step; }
    QStringList entries() const;
};

// "Hor Pixel per Zoom:", "Ver Pixel per Zoom:", "Hor Pixel per Move:", "Ver Pixel per Move:".
inline constexpr StepList kHorZoomSteps{16, 16, 45, 1};
inline constexpr StepList kVerZoomSteps{8, 8, 60, 2};
inline constexpr StepList kHorMoveSteps{0, 2, 360, 16};
inline constexpr StepList kVerMoveSteps{0, 8, 60, 3};

// Pixels per step, as the window holds them while it is open.
struct ZoomSteps {
    int zoomH = kHorZoomSteps.value(kHorZoomSteps.startIndex);
    int zoomV = kVerZoomSteps.value(kVerZoomSteps.startIndex);
    int moveH = kHorMoveSteps.value(kHorMoveSteps.startIndex);
    int moveV = kVerMoveSteps.value(kVerMoveSteps.startIndex);
};

enum class Pan { ZoomIn, ZoomOut, Up, Down, Left, Right, Center };

// The rectangle after one press, for a source of `sourceWidth` x `sourceHeight`.
ZoomRect pan(const ZoomRect &z, uint16_t sourceWidth, uint16_t sourceHeight, Pan how, const ZoomSteps &steps);

// Where the drawing of the zoom window puts things inside an area: the source frame as large as
// fits with its aspect kept, centred, and the zoom rectangle in it to the same scale. `fits` is
// false when the rectangle reaches outside the source (it is drawn as a warning then); the
// frame is empty for a source without size.
struct ZoomPicture {
    QRectF frame;
    QRectF zoom;
    double scale = 0;
    bool fits = true;
};
ZoomPicture zoomPicture(const QSizeF &area, uint16_t sourceWidth, uint16_t sourceHeight, const ZoomRect &z);
// Whether the rectangle lies inside the source; the chip refuses one that does not.
bool zoomFits(uint16_t sourceWidth, uint16_t sourceHeight, const ZoomRect &z);

} // namespace zm
