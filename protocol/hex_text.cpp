#include "protocol/hex_text.h"

namespace zm {

bool isHexDigit(QChar c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return 0;
}

QString withoutBlanks(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (!c.isSpace())
            out.append(c);
    return out;
}

bool isHexText(const QString &text)
{
    for (QChar c : text)
        if (!isHexDigit(c) && c != ' ')
            return false;
    return true;
}

std::optional<uint32_t> parseHexNumber(const QString &text, int maxDigits)
{
    QString t = withoutBlanks(text);
    if (t.startsWith("0x", Qt::CaseInsensitive))
        t = t.mid(2);
    if (t.isEmpty() || t.size() > maxDigits || maxDigits > 8)
        return std::nullopt;
    uint32_t v = 0;
    for (QChar c : t) {
        if (!isHexDigit(c))
            return std::nullopt;
        v = (v << 4) | uint32_t(hexDigitValue(c));
    }
    return v;
}

std::optional<QByteArray> parseHexBytes(const QString &text)
{
    QString t = withoutBlanks(text);
    if (t.size() % 2)
        t.prepend('0');
    QByteArray out;
    out.reserve(t.size() / 2);
    for (int i = 0; i < t.size(); i += 2) {
        if (!isHexDigit(t[i]) || !isHexDigit(t[i + 1]))
            return std::nullopt;
        out.append(char((hexDigitValue(t[i]) << 4) | hexDigitValue(t[i + 1])));
    }
    return out;
}

QString toHexText(const QByteArray &bytes, const QString &separator)
{
    static const char digits[] = "0123456789ABCDEF";
    QString out;
    out.reserve(bytes.size() * (2 + separator.size()));
    for (int i = 0; i < bytes.size(); ++i) {
        if (i)
            out += separator;
        const auto b = uint8_t(bytes[i]);
        out += QChar(digits[b >> 4]);
        out += QChar(digits[b & 15]);
    }
    return out;
}

QString padHexLeft(const QString &text, int width)
{
    const QString d = withoutBlanks(text);
    return d.size() >= width ? d : QString(width - d.size(), QChar('0')) + d;
}

uint32_t hexFieldNumber(const QString &text)
{
    const QString d = padHexLeft(text, 8).right(8);
    uint32_t v = 0;
    for (QChar c : d)
        v = (v << 4) | uint32_t(hexDigitValue(c));
    return v;
}

QByteArray hexFieldBytes(const QString &text, int maxBytes)
{
    QString d = withoutBlanks(text);
    if (d.size() % 2)
        d.prepend(QChar('0'));
    int n = int(d.size() / 2);
    if (maxBytes >= 0 && n > maxBytes)
        n = maxBytes;
    QByteArray out(n, '\0');
    for (int i = 0; i < n; ++i)
        out[i] = char((hexDigitValue(d[2 * i]) << 4) | hexDigitValue(d[2 * i + 1]));
    return out;
}

QString formatHex(uint32_t value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QChar('0')).toUpper();
}

} // namespace zm
