#pragma once
// The chip's picture controls: their registers, how a slider value becomes a register byte and
// back, the texts beside the sliders and in the register dump, the enable bits of the Control
// register, and the reads and writes the image-property window makes.

#include "link/commands.h"

#include <QString>

#include <array>
#include <cstdint>

namespace zm::picture {

inline constexpr uint16_t kControlRegister = 0x1A00;
inline constexpr uint16_t kBrightnessRegister = 0x1A10; // then contrast, off contrast
inline constexpr uint16_t kHueRegister = 0x1A14;        // then saturation

// Enable bits of the Control register; the other bits are the chip's and are kept.
inline constexpr uint8_t kEnContrast = 0x02;
inline constexpr uint8_t kEnBrightness = 0x04;
inline constexpr uint8_t kEnHue = 0x08;
inline constexpr uint8_t kEnSaturation = 0x10;
inline constexpr uint8_t kEnableBits = kEnContrast | kEnBrightness | kEnHue | kEnSaturation;

// The current Control value with its enable bits replaced by `enables`.
inline uint8_t withEnables(uint8_t control, uint8_t enables)
{
    return uint8_t((control & ~kEnableBits) | (enables & kEnableBits));
}

// Brightness: a signed byte. Hue: sign and magnitude, magnitude in bits 0-4, bit 7 negative.
inline uint8_t brightnessByte(int value) { return uint8_t(int8_t(value)); }
inline int brightnessValue(uint8_t byte) { return byte >= 128 ? byte - 256 : byte; }
uint8_t hueByte(int value);
inline int hueValue(uint8_t byte) { return byte >= 128 ? -(byte & 31) : byte & 31; }

// Texts beside the sliders.
QString brightnessLabel(int value); // "(0x%02X), %3d": the signed byte and the value
QString hueLabel(int value);        // "(0x%02X), %3d", the sign-and-magnitude byte
QString contrastLabel(uint8_t byte);   // "(0x%02X), %1.7f": bit 7 is worth 1.0
QString saturationLabel(uint8_t byte); // "(0x%02X), %2.6f": bit 7 is worth 3.0
QString offContrastLabel(uint8_t byte); // "(0x%02X), %3d": the byte twice

// The six registers in the order of the dump.
struct PictureControls {
    uint8_t control = 0;
    uint8_t brightness = 0;
    uint8_t contrast = 0x80;
    uint8_t offContrast = 0x80;
    uint8_t hue = 0;
    uint8_t saturation = 0x48;
};

// The picture-control record of the control info holds the five values the way the registers do:
// brightness, contrast, off contrast, hue, saturation.
using PictureRecord = std::array<uint8_t, 5>;

// "SetDefault": brightness, contrast, off contrast; then hue, saturation.
inline constexpr std::array<uint8_t, 3> kDefaultFirst{0x00, 0x80, 0x80};
inline constexpr std::array<uint8_t, 2> kDefaultSecond{0x00, 0x48};

// "Control      (0x1A00) = 0x1E" and so on, one line each.
QString registerDump(const PictureControls &c);
// The five values of the picture-control record of the control info, as the "E2prom Value" box
// shows them: "Address  = 0x%04X" and one "Brightness    = 0x%02X" line a value.
QString recordDump(uint16_t address, const PictureRecord &record);

// Reads Control, then brightness..off contrast, then hue and saturation: three commands; stops at
// the first failure and writes `out` only on success.
uint8_t readPictureControls(Commands &commands, PictureControls &out);
uint8_t readControl(Commands &commands, uint8_t &control);
// Reads brightness..off contrast, then hue and saturation (two commands): the values a record
// saved now should hold. Writes `out` only on success.
uint8_t readRecordRegisters(Commands &commands, PictureRecord &out);
// Writes bytes to consecutive chip registers in one command.
uint8_t writeRegisters(Commands &commands, uint16_t address, const uint8_t *bytes, int n);

} // namespace zm::picture
