#include "ui/hex_field.h"

namespace zm {

namespace {

int digitValue(QChar c)
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

QString digitsOnly(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (!c.isSpace())
            out.append(c);
    return out;
}

} // namespace

bool isHexDigitChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

QString padHexLeft(const QString &text, int width)
{
    const QString d = digitsOnly(text);
    return d.size() >= width ? d : QString(width - d.size(), QChar('0')) + d;
}

uint32_t hexFieldNumber(const QString &text)
{
    const QString d = padHexLeft(text, 8).right(8);
    uint32_t v = 0;
    for (QChar c : d)
        v = (v << 4) | uint32_t(digitValue(c));
    return v;
}

QByteArray hexFieldBytes(const QString &text, int maxBytes)
{
    QString d = digitsOnly(text);
    if (d.size() % 2)
        d.prepend(QChar('0'));
    int n = int(d.size() / 2);
    if (maxBytes >= 0 && n > maxBytes)
        n = maxBytes;
    QByteArray out(n, '\0');
    for (int i = 0; i < n; ++i)
        out[i] = char((digitValue(d[2 * i]) << 4) | digitValue(d[2 * i + 1]));
    return out;
}

QString formatHex(uint32_t value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QChar('0')).toUpper();
}

QString hexByteText(const uint8_t *bytes, int n)
{
    static const char kDigits[] = "0123456789ABCDEF";
    QString out(2 * n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i) {
        out[2 * i] = QChar(kDigits[bytes[i] >> 4]);
        out[2 * i + 1] = QChar(kDigits[bytes[i] & 15]);
    }
    return out;
}

} // namespace zm
