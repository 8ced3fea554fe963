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

} // namespace zm
