// zmctl: the on-screen display's character lines and character set.

#include "cli/cli.h"
#include "link/messages.h"
#include "osd/osd_char_set.h"
#include "osd/osd_registers.h"

namespace zm::cli {

namespace {

using osd::OsdCharSet;

int lineArgument(const Args &a)
{
    return toInt(a.positional[0], QStringLiteral("LINE"), 1, osd::CharChannel::kLines);
}

int osdText(Context &ctx, const Args &a)
{
    const int line = lineArgument(a);
    const QString text = a.positional[1];
    if (text.size() > osd::CharChannel::kMaxChars)
        usage(QStringLiteral("TEXT holds %1 characters; a line takes at most %2")
                  .arg(text.size())
                  .arg(osd::CharChannel::kMaxChars));
    const std::optional<QByteArray> indexes = OsdCharSet::toIndexes(text);
    if (!indexes) {
        QString wrong;
        for (QChar c : text) {
            if (!OsdCharSet::canType(c)) {
                wrong = c;
                break;
            }
        }
        usage(QStringLiteral("%1: \"%2\" is not in the OSD character set (see zmctl osd-charset)")
                  .arg(QString::fromLatin1(msg::kIncludeInvalidChar), wrong));
    }
    const uint8_t r = osd::writePieces(ctx.commands, osd::linePieces(line, *indexes), ctx.stop);
    return r ? ctx.failed(r) : kOk;
}

int osdClear(Context &ctx, const Args &a)
{
    const uint8_t r = osd::writePieces(ctx.commands, osd::clearPieces(lineArgument(a)), ctx.stop);
    return r ? ctx.failed(r) : kOk;
}

int osdCharset(Context &, const Args &)
{
    for (int row = 0; row < OsdCharSet::kListRows; ++row) {
        QStringList pairs;
        for (int k = 0; k < OsdCharSet::kListPairs; ++k) {
            const int index = OsdCharSet::listIndex(row, k);
            pairs << OsdCharSet::indexText(index) + ' ' + OsdCharSet::charText(index);
        }
        print(pairs.join(QStringLiteral("    ")));
    }
    return kOk;
}

} // namespace

void addOsdCommands(Table &table)
{
    QStringList lines;
    for (int i = 1; i <= osd::CharChannel::kLines; ++i)
        lines << QString::number(i);
    Command text{"osd-text", "osd-text LINE TEXT",
                 "writes TEXT (at most 32 characters of the OSD character set) into\n"
                 "character line LINE (1..4) from its first cell, 14 characters a command;\n"
                 "TEXT is taken as it is, also when it starts with -",
                 "zmctl --port /dev/ttyUSB0 osd-text 1 -5C", 2, 2, {}, osdText};
    text.textFrom = 1;
    text.choices << Choice{"LINE", lines};
    Command clear{"osd-clear", "osd-clear LINE", "fills character line LINE (1..4) with 32 spaces",
                  "zmctl --port /dev/ttyUSB0 osd-clear 1", 1, 1, {}, osdClear};
    clear.choices << Choice{"LINE", lines};
    table.commands << text << clear
                   << Command{"osd-charset", "osd-charset",
                              "prints the 80 OSD characters with their indexes, four columns of 20",
                              "zmctl osd-charset", 0, 0, {}, osdCharset, false};
}

} // namespace zm::cli
