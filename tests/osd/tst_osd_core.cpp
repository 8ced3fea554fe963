// The OSD's widget-free core: palette conversions, the character set, the register blocks and
// the character pieces.

#include "osd/osd_blocks.h"
#include "osd/osd_char_set.h"
#include "osd/osd_palette.h"

#include <QTest>

using namespace zm::osd;

Q_DECLARE_METATYPE(Rgb)
Q_DECLARE_METATYPE(std::vector<CharPiece>)

namespace {

// A block's bytes with every byte different, so that a field read from or written to the wrong
// place shows.
QByteArray pattern(int n)
{
    QByteArray b;
    for (int i = 0; i < n; ++i)
        b.append(char(0x11 * (i % 15 + 1) ^ i));
    return b;
}

QByteArray setAt(QByteArray bytes, int offset, uint8_t value)
{
    bytes[offset] = char(value);
    return bytes;
}

} // namespace

class TestOsdCore : public QObject
{
    Q_OBJECT

private slots:
    void entryToScreen_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<Rgb>("rgb");
        // Y = Cb = Cr = 0 lies outside the colours a screen shows: red and blue clamp at 0.
        QTest::newRow("0x0000") << 0x0000 << Rgb{0, 135, 0};
        QTest::newRow("black") << 0x0210 << Rgb{0, 0, 0};
        // Y 252 with neutral chroma stays grey; a strong Cr clamps red at 255.
        QTest::newRow("grey 252") << 0xFE10 << Rgb{252, 252, 252};
        QTest::newRow("Cr high") << 0xFE1F << Rgb{255, 167, 252};
    }
    void entryToScreen()
    {
        QFETCH(int, entry);
        QFETCH(Rgb, rgb);
        QCOMPARE(paletteToRgb(uint16_t(entry)), rgb);
    }

    void screenToEntry_data()
    {
        QTest::addColumn<Rgb>("rgb");
        QTest::addColumn<int>("entry");
        QTest::newRow("black") << Rgb{0, 0, 0} << 0x0210;
        QTest::newRow("white") << Rgb{255, 255, 255} << 0xFE10;
        // Pure red: Y 76, Cb 84, Cr 255 (clamped from 255.5).
        QTest::newRow("red") << Rgb{255, 0, 0} << (76 >> 2 << 10 | 84 >> 3 << 5 | 255 >> 3);
    }
    void screenToEntry()
    {
        QFETCH(Rgb, rgb);
        QFETCH(int, entry);
        QCOMPARE(int(rgbToPalette(rgb)), entry);
    }

    // A picked colour comes back as the swatch shows it within what the entry keeps: Y in steps of
    // 4 and Cb, Cr in steps of 8, which the largest coefficient (454/256) spreads to about 18.
    void colourRoundTrip()
    {
        int worst = 0;
        for (int r = 0; r < 256; r += 15)
            for (int g = 0; g < 256; g += 15)
                for (int b = 0; b < 256; b += 15) {
                    const Rgb back = paletteToRgb(rgbToPalette({r, g, b}));
                    worst = std::max({worst, std::abs(back.r - r), std::abs(back.g - g), std::abs(back.b - b)});
                }
        QVERIFY2(worst <= 20, qPrintable(QString::number(worst)));
    }

    void charSet()
    {
        QCOMPARE(OsdCharSet::toIndexes("Cam-01"), std::optional<QByteArray>(QByteArray::fromHex("0c24303e0001")));
        QCOMPARE(OsdCharSet::toIndexes("Zz9 #"), std::optional<QByteArray>(QByteArray::fromHex("233d094f4d")));
        QCOMPARE(OsdCharSet::toIndexes(""), std::optional<QByteArray>(QByteArray()));
        for (const char *bad : {"50%", "a\tb", "caf\xc3\xa9", "x\"", "~"})
            QVERIFY2(!OsdCharSet::toIndexes(QString::fromUtf8(bad)), bad);
        // Every index but the block symbol is the index of its own character.
        for (int i = 0; i < OsdCharSet::kSize; ++i) {
            const QString c = OsdCharSet::character(i);
            QCOMPARE(c.size(), 1);
            QCOMPARE(OsdCharSet::indexOf(c.at(0)), i == OsdCharSet::kBlock ? -1 : i);
        }
        // The block symbol's two-byte code, decoded.
        QCOMPARE(OsdCharSet::character(OsdCharSet::kBlock), QString(QChar(0x25A0)));
        QVERIFY(OsdCharSet::character(80).isEmpty());
        QVERIFY(OsdCharSet::character(-1).isEmpty());
    }

    // The list shows each index once, in columns of 20.
    void charList()
    {
        QList<int> seen;
        for (int k = 0; k < OsdCharSet::kListPairs; ++k)
            for (int r = 0; r < OsdCharSet::kListRows; ++r)
                seen << OsdCharSet::listIndex(r, k);
        for (int i = 0; i < OsdCharSet::kSize; ++i)
            QCOMPARE(seen.at(i), i);
        QCOMPARE(OsdCharSet::listIndex(18, 3), 78);
        QCOMPARE(OsdCharSet::indexText(7), QString("07"));
        QCOMPARE(OsdCharSet::charText(79), QString("' '"));
    }

    void pieces_data()
    {
        QTest::addColumn<std::vector<CharPiece>>("pieces");
        QTest::addColumn<std::vector<CharPiece>>("expected");
        const QByteArray cam = *OsdCharSet::toIndexes("Cam-01");
        const QByteArray full = pattern(32);
        QTest::newRow("Cam-01 on line 1") << linePieces(1, cam) << std::vector<CharPiece>{{0, cam}};
        QTest::newRow("32 on line 3") << linePieces(3, full)
                                      << std::vector<CharPiece>{{64, full.left(14)}, {78, full.mid(14, 14)},
                                                                {92, full.mid(28)}};
        QTest::newRow("14 is one piece") << linePieces(2, full.left(14)) << std::vector<CharPiece>{{32, full.left(14)}};
        QTest::newRow("15 is two") << linePieces(4, full.left(15))
                                   << std::vector<CharPiece>{{96, full.left(14)}, {110, full.mid(14, 1)}};
        QTest::newRow("empty sends nothing") << linePieces(1, {}) << std::vector<CharPiece>{};
        QTest::newRow("past 32 stays in the line") << linePieces(4, pattern(40))
                                                   << std::vector<CharPiece>{{96, full.left(14)},
                                                                             {110, full.mid(14, 14)},
                                                                             {124, full.mid(28)}};
        const QByteArray spaces(8, char(79));
        QTest::newRow("clear line 4") << clearPieces(4)
                                      << std::vector<CharPiece>{{96, spaces}, {104, spaces}, {112, spaces},
                                                                {120, spaces}};
    }
    void pieces()
    {
        QFETCH(std::vector<CharPiece>, pieces);
        QFETCH(std::vector<CharPiece>, expected);
        QCOMPARE(pieces.size(), expected.size());
        for (size_t i = 0; i < pieces.size(); ++i) {
            QCOMPARE(int(pieces[i].start), int(expected[i].start));
            QCOMPARE(pieces[i].indexes.toHex(' '), expected[i].indexes.toHex(' '));
        }
    }

    // Register bytes 0x2500-0x2502 and the palette; byte 3 onwards is the palette, low byte first.
    void controlBlock()
    {
        OsdControl c;
        c.enabled = {true, false, true, false};
        c.fieldMode = {false, true, false, true};
        c.flicker = {true, true, true, true};
        c.afterScalar = {true, false, false, true};
        c.logoResolution = 2;
        c.logoBitWidth = 2;
        c.charFoil = true;
        c.palette[0] = 0x001F;
        c.palette[14] = 0xABCD;
        const QByteArray b = c.toBytes();
        QCOMPARE(b.size(), 33);
        QCOMPARE(b.left(5).toHex(' '), QByteArray("a5 9b 1a 1f 00"));
        QCOMPARE(b.right(2).toHex(' '), QByteArray("cd ab"));
        // Channel 3's flicker bit and 0x2502 bits 5-7 are never written; the rest comes back.
        const QByteArray read = pattern(33);
        QByteArray expected = read;
        expected[1] = char(read[1] & ~0x04);
        expected[2] = char(read[2] & 0x1F);
        QCOMPARE(OsdControl::fromBytes(read).toBytes().toHex(' '), expected.toHex(' '));
        // A logo bit width the list has no item for (1) is written back as read: 1 << 2 = 4.
        QCOMPARE(int(OsdControl::fromBytes(setAt(QByteArray(33, 0), 2, 0x04)).toBytes()[2]), 4);
    }

    void channelBlock_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("charSize");
        QTest::addColumn<int>("charNumber");
        QTest::addColumn<int>("horStep");
        QTest::addColumn<int>("sizeRegister");
        QTest::addColumn<int>("stepRegister");
        QTest::newRow("line 1 32*32, 5") << 1 << 1 << 5 << 3 << 0x0B << 0x03;
        QTest::newRow("line 2 16*16, 32") << 2 << 0 << 32 << 1 << 0x40 << 0x04;
        QTest::newRow("line 4 32*32, 0") << 4 << 1 << 0 << 2 << 0x01 << 0x80;
    }
    void channelBlock()
    {
        QFETCH(int, line);
        QFETCH(int, charSize);
        QFETCH(int, charNumber);
        QFETCH(int, horStep);
        QFETCH(int, sizeRegister);
        QFETCH(int, stepRegister);
        CharChannel c;
        c.lines[line - 1].charSize = charSize;
        c.lines[line - 1].charNumber = charNumber;
        c.lines[line - 1].horStep = horStep;
        c.lines[line - 1].color = 0x1234;
        const QByteArray b = c.toBytes();
        QCOMPARE(b.size(), 28);
        // 0x2535-0x253A lie from byte 20 on; the colour of line n at 0x252A + 2(n - 1).
        QCOMPARE(int(uint8_t(b[20 + 2 + line - 1])), sizeRegister);
        QCOMPARE(int(uint8_t(b[20 + 1])), stepRegister);
        QCOMPARE(b.mid(10 + 2 * (line - 1), 2).toHex(), QByteArray("3412"));
    }

    // Every bit of the 28 bytes has a field, so a block read comes back byte for byte; and each
    // field lands where the chip has it.
    void channelRoundTrip()
    {
        const QByteArray read = pattern(28);
        const CharChannel c = CharChannel::fromBytes(read);
        QCOMPARE(c.toBytes().toHex(' '), read.toHex(' '));
        QCOMPARE(c.lines[2].posX, int(uint8_t(read[4])));
        QCOMPARE(c.lines[2].posY, int(uint8_t(read[5])));
        QCOMPARE(c.alpha, int(uint8_t(read[8])));
        QCOMPARE(c.flickerFrequency, int(uint8_t(read[9])));
        QCOMPARE(int(c.background), uint8_t(read[18]) | uint8_t(read[19]) << 8);
        QCOMPARE(c.lines[3].display, bool(uint8_t(read[20]) & 0x08));
        QCOMPARE(c.lines[0].flicker, bool(uint8_t(read[20]) & 0x10));
        QCOMPARE(int(c.foil), uint8_t(read[26]) | uint8_t(read[27]) << 8);
    }

    void channelLabels()
    {
        QCOMPARE(CharChannel::posXLabels().size(), 300);
        QCOMPARE(CharChannel::posXLabels().at(179), QString("716 (0x2CC)"));
        QCOMPARE(CharChannel::posXLabels().at(180), QString("000 (0x000)"));
        QCOMPARE(CharChannel::posYLabels().size(), 180);
        QCOMPARE(CharChannel::alphaLabels().size(), 555);
        QCOMPARE(CharChannel::alphaLabels().at(180 + 254), QString("254 (0xFE)"));
        QCOMPARE(CharChannel::charNumberLabels().size(), 33);
        QCOMPARE(CharChannel::charNumberLabels().at(32), QString("32 (0x20)"));
        const CharChannel opening = CharChannel::opening();
        QCOMPARE(opening.lines[3].posY, 48);
        QCOMPARE(int(opening.lines[1].color), 0x94A2);
    }

    void bitmapBlock()
    {
        QCOMPARE(BitmapBlock{}.toBytes().toHex(' '), QByteArray("12 10 32 00 00 a0 78 00 00 ff ff"));
        // 0x2570 bits 5-7 have no field and are written 0.
        const QByteArray read = pattern(11);
        const BitmapBlock b = BitmapBlock::fromBytes(read);
        QCOMPARE(b.toBytes().toHex(' '), setAt(read, 0, read[0] & 0x1F).toHex(' '));
        QCOMPARE(b.colorIndex[1], uint8_t(read[1]) >> 4);
        QCOMPARE(int(b.threshold), uint8_t(read[9]) << 8 | uint8_t(read[10]));
    }

    void hexOrZerosRule_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("digits") << "1f" << "1f";
        QTest::newRow("a letter past F") << "G1" << "0000";
        QTest::newRow("a blank") << "1 2" << "0000";
        QTest::newRow("too long") << "12345" << "1234";
    }
    void hexOrZerosRule()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QCOMPARE(hexOrZeros("1234", typed, 4), kept);
    }
};

QTEST_APPLESS_MAIN(TestOsdCore)
#include "tst_osd_core.moc"
