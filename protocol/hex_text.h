#pragma once
// Hexadecimal text as the user types it: digits in either case, blanks ignored.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace zm {

// 0-9, A-F, a-f.
bool isHexDigit(QChar c);
// The digit's value; 0 for any other character.
int hexDigitValue(QChar c);
// The text with every blank taken out.
QString withoutBlanks(const QString &text);

// True when the text holds only hexadecimal digits and blanks.
bool isHexText(const QString &text);

// A number: blanks are dropped, an optional 0x prefix is taken off, and the rest is read as
// hexadecimal. Empty or too long texts (more than `maxDigits` digits) give nothing.
std::optional<uint32_t> parseHexNumber(const QString &text, int maxDigits = 8);

// Bytes, two digits a byte, first byte first; a text of odd length gets one "0" in front.
// Blanks are dropped first.
std::optional<QByteArray> parseHexBytes(const QString &text);

// "12 34 AB" (separator " ") or "1234AB" (separator "").
QString toHexText(const QByteArray &bytes, const QString &separator = QStringLiteral(" "));

// Hexadecimal text fields of the windows. Blanks may stand anywhere in a field (the input
// filters let them through); the conversions skip them. Text is assumed to have passed a hex
// filter; any other character reads as 0.
//
//     padHexLeft("1A", 4)          -> "001A"
//     hexFieldNumber("1A 10")      -> 0x1A10      ("" -> 0)
//     hexFieldBytes("ABC")         -> {0x0A, 0xBC}
//     formatHex(0x1A, 4)           -> "001A"

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

} // namespace zm
