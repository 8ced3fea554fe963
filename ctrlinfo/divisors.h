#pragma once
// The values set-baud-rate carries for the chip's three ports, worked out from the rate the user
// picks, and the texts of the lists the rates are picked from.
//
//     mcuUartValue(1, 4)        -> 0x1288   (36M, 115200)
//     highSpeedDivisor(4)       -> {Frac 0x0353, Inter 0x0001}   (921600)
//     spiDivider(0, 0)          -> 0x003F   (27M, 0.211 Mhz)

#include <QStringList>

#include <cstdint>

namespace zm {

// "27M", "36M": the UART clock and the SPI clock lists.
QStringList clockTexts();
int clockHz(int clockIndex); // 27,000,000 or 36,000,000

// MCU UART: "9600" .. "115200"; value = 16 x clock / baud - 256, kept as the chip's table.
QStringList mcuBaudTexts();
int mcuBaud(int baudIndex);
uint16_t mcuUartValue(int clockIndex, int baudIndex);
// The rate a value gives the MCU UART, to the nearest bit a second: 16 x clock / (value + 256).
int mcuBaudOf(int clockIndex, uint16_t value);

// High-speed UART: "38400" .. "921600"; always from a 27 MHz clock whatever clock is chosen.
struct HighSpeedDivisor {
    uint16_t frac = 0;
    uint16_t inter = 0;
};
QStringList highSpeedBaudTexts();
int highSpeedBaud(int baudIndex);
HighSpeedDivisor highSpeedDivisor(int baudIndex);
// The rate a divisor gives the high-speed UART, to the nearest bit a second; 0 for no divisor.
int highSpeedBaudOf(const HighSpeedDivisor &d);

// SPI: the clock divided by 128, 64, ..., 2 ("%2.3f Mhz", halves rounded up); Divider = d / 2 - 1.
inline constexpr int kSpiRateCount = 7;
inline constexpr uint16_t kSpiSs = 0x0200;
int spiDivision(int rateIndex); // 128 .. 2
QStringList spiRateTexts(int clockIndex);
uint16_t spiDivider(int clockIndex, int rateIndex);

} // namespace zm
