#pragma once
// One button of the console's "Comm Command" column. The column is built from a list of these,
// sorted by `order`, the place of the button in the console's full column:
//
//   1 Config        2 Get Version   3 R/W Data      4 Color Ctrl    5 Mirror Ctrl   6 Power Ctrl
//   7 Timer Ctrl    8 AE Ctrl       9 Motion Ctrl  10 OSD Config   11 Image Property 12 Gamma
//  13 Spi Flash    14 Other Ctrl   15 Up/Down Load 16 System Reset 17 Fbuf Ctrl     18 Zoom Ctrl
//
// so a window that arrives later adds its entry with its number and lands in its place.

#include <QString>

#include <functional>

namespace zm {

struct ConsoleButton {
    int order = 0;
    QString label;
    // Refuses with "Comm port not be opened!" while the port is closed.
    bool checksPort = true;
    std::function<void()> run;
};

} // namespace zm
