#include "features/image_property.h"

#include <algorithm>
#include <cstdlib>

namespace zm::picture {

uint8_t hueByte(int value)
{
    const int magnitude = std::min(std::abs(value), 31);
    return uint8_t(value < 0 ? 0x80 | magnitude : magnitude);
}

QString brightnessLabel(int value)
{
    return QString::asprintf("(0x%02X), %3d", brightnessByte(value), value);
}

QString hueLabel(int value)
{
    return QString::asprintf("(0x%02X), %3d", hueByte(value), value);
}

QString contrastLabel(uint8_t byte)
{
    return QString::asprintf("(0x%02X), %1.7f", byte, byte / 128.0);
}

QString saturationLabel(uint8_t byte)
{
    return QString::asprintf("(0x%02X), %2.6f", byte, byte * 3.0 / 128.0);
}

QString offContrastLabel(uint8_t byte)
{
    return QString::asprintf("(0x%02X), %3d", byte, byte);
}

namespace {

QString line(const char *name, uint8_t value)
{
    return QString::asprintf("%s = 0x%02X\n", name, value);
}

} // namespace

QString registerDump(const PictureControls &c)
{
    return line("Control      (0x1A00)", c.control) + line("Brightness   (0x1A10)", c.brightness)
        + line("Contrast     (0x1A11)", c.contrast) + line("Off_contrast (0x1A12)", c.offContrast)
        + line("Hue          (0x1A14)", c.hue) + line("Saturation   (0x1A15)", c.saturation);
}

QString recordDump(uint16_t address, const PictureRecord &r)
{
    return QString::asprintf("Address  = 0x%04X\n", address) + line("Brightness   ", r[0]) + line("Contrast     ", r[1])
        + line("Off_contrast ", r[2]) + line("Hue          ", r[3]) + line("Saturation   ", r[4]);
}

uint8_t readPictureControls(Commands &commands, PictureControls &out)
{
    uint8_t control = 0;
    PictureRecord r{};
    if (const uint8_t result = readControl(commands, control))
        return result;
    if (const uint8_t result = readRecordRegisters(commands, r))
        return result;
    out = PictureControls{control, r[0], r[1], r[2], r[3], r[4]};
    return 0;
}

uint8_t readRecordRegisters(Commands &commands, PictureRecord &out)
{
    PictureRecord r{};
    if (const uint8_t result = commands.readRegisters(kBrightnessRegister, r.data(), 3))
        return result;
    if (const uint8_t result = commands.readRegisters(kHueRegister, r.data() + 3, 2))
        return result;
    out = r;
    return 0;
}

uint8_t readControl(Commands &commands, uint8_t &control)
{
    return commands.readRegisters(kControlRegister, &control, 1);
}

uint8_t writeRegisters(Commands &commands, uint16_t address, const uint8_t *bytes, int n)
{
    return commands.writeRegisters(address, bytes, n);
}

} // namespace zm::picture
