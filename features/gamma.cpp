#include "features/gamma.h"

#include "protocol/hex_text.h"

#include <QRegularExpression>
#include <QStringList>

namespace zm {

const GammaTable kDefaultGamma = {8,   16,  24,  32,  40,  48,  56,  64,  80,  96,  112, 128, 160, 192, 224, 0,
                                  16,  35,  57,  76,  93,  106, 117, 127, 144, 159, 172, 184, 204, 221, 239, 255};

uint8_t writeGamma(Commands &commands, const GammaTable &table)
{
    GammaTable copy = table;
    BlockDescriptor block{uint8_t(MemoryType::Chip), kGammaRegister, uint16_t(copy.size()), copy.data()};
    if (const uint8_t r = commands.blockWrite(&block, 1))
        return r;
    return commands.writeRegister(kGammaUpdateRegister, kGammaUpdate);
}

uint8_t readGamma(Commands &commands, GammaTable &table)
{
    // Read into a copy: a read that fails half-way must not leave half a new table behind.
    GammaTable read{};
    BlockDescriptor block{uint8_t(MemoryType::Chip), kGammaRegister, uint16_t(read.size()), read.data()};
    const uint8_t r = commands.blockRead(&block, 1);
    if (r == 0)
        table = read;
    return r;
}

QList<QPointF> gammaCurve(const GammaTable &t)
{
    QList<QPointF> points;
    points << QPointF(0, gammaY(t, 0));
    for (int n = 1; n <= kGammaXCount; ++n)
        points << QPointF(gammaX(t, n), gammaY(t, n));
    points << QPointF(kGammaFullScale, gammaY(t, kGammaYCount - 1));
    return points;
}

QPointF gammaPlotPoint(const QPointF &value, const QRectF &plot)
{
    return QPointF(plot.left() + value.x() / kGammaFullScale * plot.width(),
                   plot.bottom() - value.y() / 255.0 * plot.height());
}

namespace {

// A token as a message quotes it: a file that is no table may hold one of megabytes.
QString quoted(const QString &token)
{
    constexpr int kQuoted = 40;
    return QLatin1Char('"') + (token.size() > kQuoted ? token.left(kQuoted) + QStringLiteral("...") : token)
        + QLatin1Char('"');
}

} // namespace

std::optional<GammaTable> parseGammaText(const QString &text, QString *error)
{
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    const QStringList tokens = text.split(separators, Qt::SkipEmptyParts);
    GammaTable table{};
    int n = 0;
    for (const QString &token : tokens) {
        bool ok = false;
        const bool hex = token.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
        const uint value = hex ? token.mid(2).toUInt(&ok, 16) : token.toUInt(&ok, 10);
        // toUInt() takes a sign and blanks; a table entry is digits only.
        const QString digits = hex ? token.mid(2) : token;
        for (QChar c : digits)
            ok = ok && (hex ? isHexDigit(c) : c >= QChar('0') && c <= QChar('9'));
        if (!ok || value > 255) {
            if (error)
                *error = QStringLiteral("%1 is not a number from 0 to 255").arg(quoted(token));
            return std::nullopt;
        }
        if (n == int(table.size())) {
            if (error)
                *error = QStringLiteral("more than 32 numbers (%1 is the 33rd)").arg(quoted(token));
            return std::nullopt;
        }
        table[size_t(n++)] = uint8_t(value);
    }
    if (n != int(table.size())) {
        if (error)
            *error = QStringLiteral("%1 numbers where X1..X15 and Y0..Y16 take 32").arg(n);
        return std::nullopt;
    }
    return table;
}

QString gammaRows(const GammaTable &t)
{
    QStringList x, y;
    for (int n = 1; n <= kGammaXCount; ++n)
        x << QString::number(gammaX(t, n));
    for (int n = 0; n < kGammaYCount; ++n)
        y << QString::number(gammaY(t, n));
    return x.join(' ') + '\n' + y.join(' ');
}

} // namespace zm
