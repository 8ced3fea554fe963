// The OSD without a window: palette conversions, the character set, the register blocks and the
// character pieces as tables; the register runs and the chip's own OSD commands against the
// simulated chip; and zmctl's OSD commands as a user runs them.

#include "osd/osd_char_set.h"
#include "osd/osd_palette.h"
#include "osd/osd_registers.h"
#include "sim/pty_chip.h"
#include "tests/common/zmctl_run.h"

#include <QTest>

using namespace zm;
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

QString shown(const std::vector<CharPiece> &pieces)
{
    QStringList s;
    for (const CharPiece &p : pieces)
        s << QString::number(p.start) + ": " + QString::fromLatin1(p.indexes.toHex(' '));
    return s.join(" | ");
}

// One line of the character channels and the registers it shares with the others.
struct ChannelLine {
    int line, charSize, charNumber, horStep, sizeRegister, stepRegister;
};

// The simulated chip and a command layer open on it.
struct Chip {
    sim::PtyChip chip;
    CommandLayer layer;
    Commands c{layer};
    Chip()
    {
        if (!layer.open(chip.slavePath(), "38400,n,8,1"))
            qFatal("cannot open %s", qPrintable(chip.slavePath()));
    }
    QByteArray cells(int first, int n) const
    {
        const auto memory = chip.features().osdCharacters;
        return QByteArray(reinterpret_cast<const char *>(memory.data()) + first, n);
    }
    test::ZmctlRun zmctl(const QStringList &args) const { return test::runZmctl(chip.slavePath(), args); }
};

} // namespace

Q_DECLARE_METATYPE(ChannelLine)

class TestOsd : public QObject
{
    Q_OBJECT

private slots:

    // An entry as the screen shows it, and a picked colour as the entry that keeps it.
    void palette_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<Rgb>("rgb");
        QTest::addColumn<bool>("toScreen");
        QTest::addColumn<bool>("toEntry");
        QTest::newRow("black") << 0x0210 << Rgb{0, 0, 0} << true << true;
        // Y = Cb = Cr = 0 lies outside the colours a screen shows: red and blue clamp at 0.
        QTest::newRow("entry 0x0000") << 0x0000 << Rgb{0, 135, 0} << true << false;
        // Y 252 with neutral chroma stays grey; a strong Cr clamps red at 255.
        QTest::newRow("grey 252") << 0xFE10 << Rgb{252, 252, 252} << true << false;
        QTest::newRow("Cr high") << 0xFE1F << Rgb{255, 167, 252} << true << false;
        QTest::newRow("white") << 0xFE10 << Rgb{255, 255, 255} << false << true;
        // Pure red: Y 76, Cb 84, Cr 255 (clamped from 255.5).
        QTest::newRow("red") << (76 >> 2 << 10 | 84 >> 3 << 5 | 255 >> 3) << Rgb{255, 0, 0} << false << true;
    }
    void palette()
    {
        QFETCH(int, entry);
        QFETCH(Rgb, rgb);
        QFETCH(bool, toScreen);
        QFETCH(bool, toEntry);
        if (toScreen)
            QCOMPARE(paletteToRgb(uint16_t(entry)), rgb);
        if (toEntry)
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

    // Text becomes indexes, or nothing when one character is outside the set; every index but
    // the block symbol is the index of its own character.
    void charSet()
    {
        QCOMPARE(OsdCharSet::toIndexes("Zz9 #"), std::optional<QByteArray>(QByteArray::fromHex("233d094f4d")));
        QCOMPARE(OsdCharSet::toIndexes(""), std::optional<QByteArray>(QByteArray()));
        for (const char *bad : {"50%", "a\tb", "caf\xc3\xa9", "x\"", "~"})
            QVERIFY2(!OsdCharSet::toIndexes(QString::fromUtf8(bad)), bad);
        for (int i = 0; i < OsdCharSet::kSize; ++i) {
            const QString c = OsdCharSet::character(i);
            QCOMPARE(c.size(), 1);
            QCOMPARE(OsdCharSet::indexOf(c.at(0)), i == OsdCharSet::kBlock ? -1 : i);
        }
        QVERIFY(OsdCharSet::character(80).isEmpty());
        QVERIFY(OsdCharSet::character(-1).isEmpty());
    }

    void pieces_data()
    {
        QTest::addColumn<std::vector<CharPiece>>("pieces");
        QTest::addColumn<std::vector<CharPiece>>("expected");
        const QByteArray full = pattern(32);
        QTest::newRow("Cam-01 on line 1") << linePieces(1, *OsdCharSet::toIndexes("Cam-01"))
                                          << std::vector<CharPiece>{{0, QByteArray::fromHex("0c24303e0001")}};
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
        const QByteArray spaces(8, char(OsdCharSet::kSpace));
        QTest::newRow("clear line 4") << clearPieces(4)
                                      << std::vector<CharPiece>{{96, spaces}, {104, spaces}, {112, spaces},
                                                                {120, spaces}};
    }
    void pieces()
    {
        QFETCH(std::vector<CharPiece>, pieces);
        QFETCH(std::vector<CharPiece>, expected);
        QCOMPARE(shown(pieces), shown(expected));
    }

    // Register bytes 0x2500-0x2502, then the palette, low byte first. Channel 3's flicker bit
    // and 0x2502 bits 5-7 are never written; every other bit read comes back.
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
        const QByteArray b = c.toBytes();
        QCOMPARE(b.size(), 33);
        QCOMPARE(b.left(5).toHex(' '), QByteArray("a5 9b 1a 1f 00"));
        const QByteArray read = pattern(33);
        QByteArray expected = read;
        expected[1] = char(read[1] & ~0x04);
        expected[2] = char(read[2] & 0x1F);
        QCOMPARE(OsdControl::fromBytes(read).toBytes().toHex(' '), expected.toHex(' '));
    }

    // The size and number of a line share one register per line from 0x2537 on, the steps of
    // all four share 0x2536, and a line's colour is at 0x252A + 2(n - 1).
    void channelBlock_data()
    {
        QTest::addColumn<ChannelLine>("c");
        QTest::newRow("line 1 32*32, 5") << ChannelLine{1, 1, 5, 3, 0x0B, 0x03};
        QTest::newRow("line 2 16*16, 32") << ChannelLine{2, 0, 32, 1, 0x40, 0x04};
        QTest::newRow("line 4 32*32, 0") << ChannelLine{4, 1, 0, 2, 0x01, 0x80};
    }
    void channelBlock()
    {
        QFETCH(ChannelLine, c);
        CharChannel channel;
        channel.lines[c.line - 1] = {.horStep = c.horStep, .charSize = c.charSize, .charNumber = c.charNumber, .color = 0x1234};
        const QByteArray b = channel.toBytes();
        QCOMPARE(b.size(), 28);
        QCOMPARE(int(uint8_t(b[22 + c.line - 1])), c.sizeRegister); // 0x2535 is byte 20
        QCOMPARE(int(uint8_t(b[21])), c.stepRegister);
        QCOMPARE(b.mid(10 + 2 * (c.line - 1), 2).toHex(), QByteArray("3412"));
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

    // The drop-downs hold the register's value at its item index: Pos X runs to 716 in steps of
    // 4 and starts again at 0; alpha goes on past Pos Y's 180 items in steps of 1.
    void channelLabels()
    {
        const QStringList posX = CharChannel::posXLabels();
        QCOMPARE(posX.size(), 300);
        QCOMPARE(posX.mid(179, 2), QStringList({"716 (0x2CC)", "000 (0x000)"}));
        QCOMPARE(CharChannel::posYLabels().size(), 180);
        QCOMPARE(CharChannel::alphaLabels().size(), 555);
        QCOMPARE(CharChannel::alphaLabels().at(180 + 254), QString("254 (0xFE)"));
        QCOMPARE(CharChannel::charNumberLabels().size(), 33);
    }

    // 0x2570 bits 5-7 have no field and are written 0; the threshold is high byte first.
    void bitmapBlock()
    {
        const QByteArray read = pattern(11);
        const BitmapBlock b = BitmapBlock::fromBytes(read);
        QByteArray expected = read;
        expected[0] = char(read[0] & 0x1F);
        QCOMPARE(b.toBytes().toHex(' '), expected.toHex(' '));
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

    // A run that fails stops the read and leaves the caller's bytes as they were; a failed write
    // stops at that run; too few bytes for the runs are refused before anything goes out; and
    // a stop asked for before a piece ends the pieces there.
    void failedRuns()
    {
        Chip k;
        QVERIFY(k.chip.addFault("status=5,cmd=0x30"));
        QByteArray bytes("kept");
        QCOMPARE(int(readRuns(k.c, CharChannel::kRuns, bytes)), 5);
        QCOMPARE(bytes, QByteArray("kept"));
        k.chip.clearFaults();
        k.chip.clearFrames();
        QVERIFY(k.chip.addFault("status=4,cmd=0x31"));
        QCOMPARE(int(writeRuns(k.c, CharChannel::kRuns, QByteArray(28, 0))), 4);
        QCOMPARE(k.chip.frames().size(), 1);
        QCOMPARE(int(writeRuns(k.c, CharChannel::kRuns, QByteArray(27, 0))), int(rc::InvalidParameter));
        std::stop_source stop;
        stop.request_stop();
        QCOMPARE(int(writePieces(k.c, linePieces(1, QByteArray(3, 1)), stop.get_token())), int(rc::Stopped));
        QCOMPARE(k.chip.frames().size(), 1);
    }

    // The chip refuses with a status what its character memory cannot take, and logo and bitmap
    // requests it does not know.
    void chipCommands_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("status");
        QTest::newRow("15 characters") << 0x45 << QByteArray::fromHex("0f00" + QByteArray(28, '0')) << 3;
        QTest::newRow("cells past 127") << 0x45 << QByteArray::fromHex("027f0101") << 3;
        QTest::newRow("last cell") << 0x45 << QByteArray::fromHex("017f01") << 0;
        QTest::newRow("count and length disagree") << 0x45 << QByteArray::fromHex("030001") << 2;
        QTest::newRow("index 80") << 0x45 << QByteArray::fromHex("010050") << 3;
        QTest::newRow("logo location short") << 0x70 << QByteArray::fromHex("030240") << 2;
        QTest::newRow("bitmap sub-function 4") << 0x71 << QByteArray::fromHex("04") << 3;
    }
    void chipCommands()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, data);
        QFETCH(int, status);
        Chip k;
        AnswerRecord answer;
        const QByteArray before = k.cells(0, 128);
        const uint8_t r = k.c.rawCommand(uint8_t(code), reinterpret_cast<const uint8_t *>(data.constData()),
                                       int(data.size()), answer);
        QCOMPARE(int(r), status);
        if (status != 0)
            QCOMPARE(k.cells(0, 128), before);
    }

    void zmctlText()
    {
        Chip k;
        k.layer.close(); // the port is zmctl's now
        test::ZmctlRun r = k.zmctl({"osd-text", "1", "Cam-01"});
        QCOMPARE(r.code, 0);
        QCOMPARE(k.cells(0, 7).toHex(' '), QByteArray("0c 24 30 3e 00 01 4f"));
        r = k.zmctl({"osd-text", "4", "0123456789abcdefghijklmnopqrstuv"});
        QCOMPARE(r.code, 0);
        QCOMPARE(k.cells(96, 32), *OsdCharSet::toIndexes("0123456789abcdefghijklmnopqrstuv"));
        r = k.zmctl({"osd-clear", "4"});
        QCOMPARE(r.code, 0);
        QCOMPARE(k.cells(96, 32), QByteArray(32, char(OsdCharSet::kSpace)));
        k.chip.clearFrames();

        // Refused before anything is sent.
        r = k.zmctl({"osd-text", "2", "50%"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.startsWith("Include invalid char\n") && r.err.contains("\"%\""), qPrintable(r.err));
        for (const QStringList &bad : {QStringList{"osd-text", "5", "x"}, QStringList{"osd-text", "0", "x"},
                                       QStringList{"osd-text", "1", QString(33, 'x')}, QStringList{"osd-clear", "x"}}) {
            r = k.zmctl(bad);
            QCOMPARE(r.code, 2);
            QVERIFY2(r.err.startsWith("zmctl: "), qPrintable(r.err));
        }
        QVERIFY(k.chip.frames().isEmpty());

        // A chip that refuses the piece: exit 1 with its result text.
        QVERIFY(k.chip.addFault("status=5,cmd=0x45"));
        r = k.zmctl({"osd-clear", "1"});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QString("Cmd recept, but execute failed\n"));
        QCOMPARE(k.chip.frames().size(), 1);
    }

    // The character list in the columns of the window's list, with the block symbol at 78.
    void zmctlCharset()
    {
        Chip k;
        const test::ZmctlRun r = k.zmctl({"osd-charset"});
        QCOMPARE(r.code, 0);
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 20);
        QCOMPARE(lines[0].split(' ', Qt::SkipEmptyParts), QStringList({"00", "'0'", "20", "'K'", "40", "'e'", "60", "'y'"}));
        QVERIFY(lines[18].endsWith(QString("78 '") + QChar(0x25A0) + "'"));
        QVERIFY(lines[19].endsWith("79 ' '"));
        QVERIFY(k.chip.frames().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestOsd)
#include "tst_osd.moc"
