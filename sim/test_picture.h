#pragma once
// The built-in frame-buffer pictures: 640x480 JPEG files made at build time.

#include <QByteArray>

namespace zm::sim {

// Frame 0 fills the current frame buffer, frame 1 the next one; they differ in a marker.
QByteArray testPicture(int frame);

} // namespace zm::sim
