#pragma once
// The gamma curve: 15 input break points X1..X15 and 17 output levels Y0..Y16 in 32 consecutive
// chip registers, the update register that makes the chip take a new table, and the curve the
// gamma window draws from it.

#include "link/commands.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace zm {

using GammaTable = std::array<uint8_t, 32>;

inline constexpr uint16_t kGammaRegister = 0x1940; // X1; Y0 at 0x194F
inline constexpr int kGammaXCount = 15;
inline constexpr int kGammaYCount = 17;
inline constexpr int kGammaYOffset = kGammaXCount;
inline constexpr uint16_t kGammaUpdateRegister = 0x1904;
inline constexpr uint8_t kGammaUpdate = 2;

extern const GammaTable kDefaultGamma;

inline uint8_t gammaX(const GammaTable &t, int n) { return t[size_t(n - 1)]; } // n = 1..15
inline uint8_t gammaY(const GammaTable &t, int n) { return t[size_t(kGammaYOffset + n)]; } // n = 0..16

// The 32 bytes through the block write, then the update byte. Stops at the first failure.
uint8_t writeGamma(Commands &commands, const GammaTable &table);
// The 32 registers through the block read; `table` changes only when all of them were read.
uint8_t readGamma(Commands &commands, GammaTable &table);

// The curve as (input, output) points: Y0 at input 0, Yn at Xn, Y16 at the full scale of 256.
inline constexpr double kGammaFullScale = 256.0;
QList<QPointF> gammaCurve(const GammaTable &table);
// A point of the curve in a plot area: input to the right, output upwards.
QPointF gammaPlotPoint(const QPointF &value, const QRectF &plot);

// 32 numbers, decimal or 0x hex, separated by blanks (line ends included) or commas, X1..X15 then
// Y0..Y16. On failure `error` names the bad token or the wrong count.
std::optional<GammaTable> parseGammaText(const QString &text, QString *error);
// Two lines, X1..X15 and Y0..Y16, decimal: the form parseGammaText() reads.
QString gammaRows(const GammaTable &table);

} // namespace zm
