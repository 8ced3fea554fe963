#pragma once
// Hexadecimal text fields: what the user typed turned into numbers and bytes, and back.
// Blanks may stand anywhere in a field (the input filters let them through); the conversions
// skip them. Text is assumed to have passed a hex filter; any other character reads as 0.
//
//     padHexLeft("1A", 4)          -> "001A"
//     hexFieldNumber("1A 10")      -> 0x1A10      ("" -> 0)
//     hexFieldBytes("ABC")         -> {0x0A, 0xBC}
//     formatHex(0x1A, 4)           -> "001A"
//     hexByteText(bytes, 3)        -> "12AB00"    (first byte first, no separators)

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace zm {

// The text without blanks, padded on the left with "0" to `width` characters.
QString padHexLeft(const QString &text, int width);

// The field's value: padded to 8 digits and read digit by digit; digits beyond the last 8 are
// ignored.
uint32_t hexFieldNumber(const QString &text);

// The field's bytes, two digits a byte, first byte first; a text of odd length gets one "0" in
// front. At most `maxBytes` bytes are taken from the front (-1: all).
QByteArray hexFieldBytes(const QString &text, int maxBytes = -1);

// A number with `digits` upper-case hexadecimal digits ("%02X", "%04X", "%08X").
QString formatHex(uint32_t value, int digits);

// `n` bytes as upper-case hex pairs without separators.
QString hexByteText(const uint8_t *bytes, int n);

// True for 0-9, A-F, a-f.
bool isHexDigitChar(QChar c);

} // namespace zm
