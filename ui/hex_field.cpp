#include "ui/hex_field.h"

#include "link/hex_text.h"

namespace zm {

bool isHexDigitChar(QChar c)
{
    return isHexDigit(c);
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

QString hexByteText(const uint8_t *bytes, int n)
{
    return toHexText(QByteArray(reinterpret_cast<const char *>(bytes), n), QString());
}

} // namespace zm
