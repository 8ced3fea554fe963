#pragma once
// The 15-colour palette of the on-screen display. An entry is a YCbCr colour in 16 bits:
// Y >> 2 in bits 15-10, Cb >> 3 in bits 9-5, Cr >> 3 in bits 4-0.
//
// Plain C++ without Qt, so that the simulated chip paints its start-up palette with the very
// conversion the windows use.
//
//     paletteToRgb(0x0000)      -> {0, 135, 0}
//     rgbToPalette({0, 0, 0})   -> 0x0210

#include <algorithm>
#include <cstdint>

namespace zm::osd {

struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
    friend bool operator==(const Rgb &, const Rgb &) = default;
};

// The colour the chip paints for an entry. Integer arithmetic that truncates toward zero, as the
// chip's own converter does, so a swatch shows what the camera overlays.
inline Rgb paletteToRgb(uint16_t entry)
{
    const int y = (entry >> 10) << 2;
    const int cb = ((entry >> 5) & 31) << 3;
    const int cr = (entry & 31) << 3;
    auto clamp = [](int v) { return std::clamp(v, 0, 255); };
    return {clamp(y + (cr - 128) * 358 / 256), clamp(y - (cb * 88 + cr * 183 - 34688) / 256),
            clamp(y + (cb - 128) * 454 / 256)};
}

// The entry nearest below a screen colour: each component computed in double precision,
// clamped, truncated, then cut to the bits the entry keeps.
inline uint16_t rgbToPalette(const Rgb &c)
{
    auto clamp = [](double v) { return int(std::clamp(v, 0.0, 255.0)); };
    const int y = clamp(0.299 * c.r + 0.587 * c.g + 0.114 * c.b);
    const int cb = clamp(0.5 * c.b - (0.169 * c.r + 0.331 * c.g) + 128);
    const int cr = clamp(0.5 * c.r - 0.419 * c.g - 0.081 * c.b + 128);
    return uint16_t((y >> 2) << 10 | (cb >> 3) << 5 | (cr >> 3));
}

} // namespace zm::osd
