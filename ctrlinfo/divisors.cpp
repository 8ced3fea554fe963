#include "ctrlinfo/divisors.h"

#include <QtGlobal>

#include <array>

namespace zm {

namespace {

constexpr std::array<int, 2> kClocks = {27'000'000, 36'000'000};
constexpr std::array<int, 5> kMcuBauds = {9600, 19200, 38400, 57600, 115200};
constexpr std::array<int, 5> kHighSpeedBauds = {38400, 57600, 115200, 460800, 921600};
// The chip's own table, by clock then baud: 16 x clock / baud - 256.
constexpr uint16_t kMcuValues[2][5] = {
    {0xAEC8, 0x56E4, 0x2AF2, 0x1C4C, 0x0DA6},
    {0xE960, 0x7430, 0x3998, 0x2610, 0x1288},
};

int clamp(int index, int count) { return qBound(0, index, count - 1); }

QStringList numbers(const auto &values)
{
    QStringList texts;
    for (int v : values)
        texts << QString::number(v);
    return texts;
}

} // namespace

QStringList clockTexts() { return {QStringLiteral("27M"), QStringLiteral("36M")}; }
int clockHz(int clockIndex) { return kClocks[clamp(clockIndex, 2)]; }

QStringList mcuBaudTexts() { return numbers(kMcuBauds); }
int mcuBaud(int baudIndex) { return kMcuBauds[clamp(baudIndex, 5)]; }
uint16_t mcuUartValue(int clockIndex, int baudIndex) { return kMcuValues[clamp(clockIndex, 2)][clamp(baudIndex, 5)]; }

QStringList highSpeedBaudTexts() { return numbers(kHighSpeedBauds); }
int highSpeedBaud(int baudIndex) { return kHighSpeedBauds[clamp(baudIndex, 5)]; }

int mcuBaudOf(int clockIndex, uint16_t value)
{
    const qint64 divisor = qint64(value) + 256;
    return int((16LL * clockHz(clockIndex) + divisor / 2) / divisor);
}

int highSpeedBaudOf(const HighSpeedDivisor &d)
{
    const double q = d.inter + d.frac / 1024.0;
    return q > 0 ? int(27'000'000.0 / (16.0 * q) + 0.5) : 0;
}

HighSpeedDivisor highSpeedDivisor(int baudIndex)
{
    const double q = 27'000'000.0 / (16.0 * highSpeedBaud(baudIndex));
    const int inter = int(q);
    return {uint16_t(int((q - inter) * 1024)), uint16_t(inter)};
}

int spiDivision(int rateIndex) { return 128 >> clamp(rateIndex, kSpiRateCount); }

QStringList spiRateTexts(int clockIndex)
{
    const qint64 c = clockHz(clockIndex);
    QStringList texts;
    for (int i = 0; i < kSpiRateCount; ++i) {
        // Thousandths of a megahertz, halves rounded up (printf would round 0.5625 to even).
        const qint64 d = spiDivision(i);
        const qint64 thousandths = (2 * c + d * 1000) / (2 * d * 1000);
        texts << QString::asprintf("%lld.%03lld Mhz", thousandths / 1000, thousandths % 1000);
    }
    return texts;
}

uint16_t spiDivider(int clockIndex, int rateIndex)
{
    const int c = clockHz(clockIndex);
    return uint16_t(c / (2 * (c / spiDivision(rateIndex))) - 1);
}

} // namespace zm
