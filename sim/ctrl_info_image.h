#pragma once
// The control info a freshly programmed chip carries in its serial memory.

#include "sim/chip_config.h"

#include <QByteArray>

#include <cstdint>

namespace zm::sim {

// Addresses inside the image, for tests that look at it.
inline constexpr uint16_t kCtrlInfoLength = 0x0180;
inline constexpr uint16_t kExternTableAddress = 0x0040;
inline constexpr uint16_t kImagePropertyAddress = 0x0100;

// The image for the given memory: the base block (signature 0xAA55, or 0xAA56 on the flash; data
// length; the ISP word with the four picture-control enable bits; the extension table address),
// the extension table and its records, Image Property among them. Empty for CtrlInfoPlace::None.
QByteArray ctrlInfoImage(CtrlInfoPlace place);

} // namespace zm::sim
