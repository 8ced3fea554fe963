#pragma once
// The Fbuf window's arithmetic, kept apart from its widgets: the compression ratio of a TCR value,
// the size a preview is drawn at, and how the encryption register changes.

#include <QSize>
#include <QString>

#include <cstdint>
#include <optional>

namespace zm {

// Chip registers of the frame buffer.
inline constexpr uint16_t kFbufCryptRegister = 0x1318; // bit 7: encryption on
inline constexpr uint16_t kFbufKeyRegister = 0x131D;
inline constexpr uint16_t kTcrRegister = 0x1204;
inline constexpr uint8_t kDefaultTcr = 0x35;

// "%.2f" of 0 for t = 0, otherwise (t - 1) * 0.25.
QString tcrRatioText(uint8_t tcr);

// Drawn at most 640 pixels wide; a wider picture keeps its aspect, the height cut to a whole
// number.
QSize previewSize(QSize picture);

// The value to write back to the encryption register so that bit 7 says `enable`, or nothing
// when it already does.
std::optional<uint8_t> cryptRegisterUpdate(uint8_t current, bool enable);

// "0x00" .. "0xFF", the entries of the key and TCR lists.
QString byteEntry(int value);

} // namespace zm
