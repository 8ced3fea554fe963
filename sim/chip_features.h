#pragma once
// The values the chip's feature commands set and report, with their start values.

#include <array>
#include <cstdint>

namespace zm::sim {

struct ChipFeatures {
    // Control source bytes: 0 GPIO, 1 UART.
    uint8_t mirrorSource = 1;
    uint8_t mirrorMode = 0;
    uint8_t colorSource = 1;
    uint8_t colorMode = 0;
    uint8_t colorExtra = 1; // third byte of get-color: the picture is in colour now
    struct Ae {
        uint8_t source = 1;
        uint8_t mode = 0;
    };
    std::array<Ae, 3> ae{{{1, 0}, {1, 0}, {1, 1}}}; // flicker, indoor/outdoor, back light
    uint8_t powerSaveSource = 1;
    uint8_t powerSaveState = 0; // 1: in power save
    uint8_t powerSaveFlags = 0;
    uint16_t powerSaveTime = 0;
    uint8_t motionSource = 1;
    uint8_t motionFlags = 0; // bit 0 detection enabled
    // Bit 4 of the detection flags: -1, the scene moves for half a second once per motion
    // interval; 0 or 1, it stays still or moving.
    int motionDetected = -1;
    uint8_t alarmFlags = 0;
    uint16_t alarmTime = 100;
    uint8_t alarmEnabled = 0;
    uint8_t alarmOpen = 0;
    uint8_t dacOpen = 0;
    uint16_t sourceWidth = 640;
    uint16_t sourceHeight = 480;
    uint16_t zoomWidth = 640;
    uint16_t zoomHeight = 480;
    uint16_t hStart = 0;
    uint16_t vStart = 0;
    uint8_t downSize = 0; // vertical index << 4 | horizontal index
    uint16_t mcuBaudValue = 0x2AF2;
    uint16_t huartFrac = 0x0298;
    uint16_t huartInter = 0x000E;
    uint16_t spiDivider = 0x000D;
    uint16_t spiSs = 0x0200;
    // Last logo-control and bitmap-control requests.
    uint8_t logoFunction = 0;
    uint16_t logoValue = 0;
    uint32_t logoAddress = 0;
    uint8_t bitmapFunction = 0;
    uint16_t bitmapValue = 0;
    uint32_t bitmapAddress = 0;
    int commFormulaRuns = 0;
    // Character memory of the four OSD lines, 32 cells each; 79 is the space.
    std::array<uint8_t, 128> osdCharacters = [] {
        std::array<uint8_t, 128> cells{};
        cells.fill(79);
        return cells;
    }();
};

} // namespace zm::sim
