#include "osd/osd_char_set.h"

#include <QStringDecoder>

namespace zm::osd {

namespace {

constexpr char kMarks[] = "-_:./*()[]@!+|\\#";
static_assert(sizeof(kMarks) - 1 == 16);

// The chip's tables name the block symbol by its two-byte GB2312 code.
constexpr char kBlockCode[] = "\xA1\xF6";

QString blockSymbol()
{
    QStringDecoder decoder("GB2312");
    if (decoder.isValid()) {
        const QString s = decoder.decode(QByteArray(kBlockCode));
        if (!decoder.hasError() && s.size() == 1)
            return s;
    }
    // A Qt without that code page: the character the code stands for.
    return QString(QChar(0x25A0));
}

} // namespace

int OsdCharSet::indexOf(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'Z')
        return 10 + (u - 'A');
    if (u >= 'a' && u <= 'z')
        return 36 + (u - 'a');
    if (u == ' ')
        return kSpace;
    for (int i = 0; i < 16; ++i)
        if (u == char16_t(kMarks[i]))
            return 62 + i;
    return -1;
}

std::optional<QByteArray> OsdCharSet::toIndexes(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text) {
        const int i = indexOf(c);
        if (i < 0)
            return std::nullopt;
        out.append(char(i));
    }
    return out;
}

QString OsdCharSet::character(int index)
{
    if (index < 0 || index >= kSize)
        return {};
    if (index < 10)
        return QString(QChar('0' + index));
    if (index < 36)
        return QString(QChar('A' + index - 10));
    if (index < 62)
        return QString(QChar('a' + index - 36));
    if (index < kBlock)
        return QString(QChar(kMarks[index - 62]));
    if (index == kBlock) {
        static const QString block = blockSymbol();
        return block;
    }
    return QStringLiteral(" ");
}

} // namespace zm::osd
