#include "sim/ctrl_info_image.h"

#include "protocol/protocol.h"

namespace zm::sim {

namespace {

// Records carried by the image, by section id (their position in the extension table).
struct Record {
    int section;
    uint16_t address;
    int length;
};
constexpr Record kRecords[] = {
    {0, 0x0070, 64},  // Sensor Config
    {2, 0x00B0, 32},  // AE Parameter
    {9, 0x00D0, 32},  // Gamma
    {16, kImagePropertyAddress, 5},
    {17, 0x0110, 48}, // OSD Config
    {19, 0x0140, 64}, // Comm Formula
};

} // namespace

QByteArray ctrlInfoImage(CtrlInfoPlace place)
{
    if (place == CtrlInfoPlace::None)
        return {};
    QByteArray image(kCtrlInfoLength, '\0');
    auto *p = reinterpret_cast<uint8_t *>(image.data());
    // Settings the chip reads at start and the tools only carry: a fixed pattern stands in.
    for (int i = 0; i < kCtrlInfoLength; ++i)
        p[i] = uint8_t(i * 37 + 11);

    putBe16(p, place == CtrlInfoPlace::SpiFlash ? 0xAA56 : 0xAA55);
    putBe16(p + 2, 0x0100);
    putBe16(p + 4, kCtrlInfoLength);
    putBe16(p + 35, 0x001E); // ISP word 3: contrast, brightness, hue and saturation enabled
    putBe16(p + 51, kExternTableAddress);

    for (int n = 0; n < 21; ++n)
        putBe16(p + kExternTableAddress + 2 * n, 0);
    for (const Record &r : kRecords)
        putBe16(p + kExternTableAddress + 2 * r.section, r.address);

    const uint8_t gamma[32] = {8,   16,  24,  32,  40,  48,  56,  64,  80,  96,  112,
                               128, 160, 192, 224, 0,   16,  35,  57,  76,  93,  106,
                               117, 127, 144, 159, 172, 184, 204, 221, 239, 255};
    std::memcpy(p + 0x00D0, gamma, sizeof gamma);
    const uint8_t property[5] = {0x00, 0x80, 0x80, 0x00, 0x48};
    std::memcpy(p + kImagePropertyAddress, property, sizeof property);
    return image;
}

} // namespace zm::sim
