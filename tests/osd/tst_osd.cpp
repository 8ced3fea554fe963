// The OSD: palette conversions, the character set, the register blocks and the character
// pieces as tables; the register runs and the chip's own OSD commands against the simulated
// chip; zmctl's OSD commands as a user runs them; and each window's opening Get, its Set, its own
// commands and typing rules, and how it fits the screen.

#include "protocol/hex_text.h"
#include "link/messages.h"
#include "osd/logo_dlg.h"
#include "osd/mosaic_dlg.h"
#include "osd/osd_bitmap_dlg.h"
#include "osd/osd_char_channel_dlg.h"
#include "osd/osd_char_list_dlg.h"
#include "osd/osd_char_set.h"
#include "osd/osd_config_dlg.h"
#include "osd/osd_palette.h"
#include "osd/osd_registers.h"
#include "tests/common/window_test.h"
#include "tests/common/zmctl_run.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTableWidget>
#include <QTimer>

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

} // namespace

class TestOsd : public test::WindowTest
{
    Q_OBJECT

    QColor m_pick{0, 0, 0}; // what the colour chooser answers

    QComboBox *combo(const char *name) const { return child<QComboBox>(name); }
    QCheckBox *check(const char *name) const { return child<QCheckBox>(name); }
    QByteArray regs(uint16_t address, int n) const { return m_chip->readMemory(MemoryType::Chip, address, n); }
    QByteArray lastFrame() const { return m_chip->frames().value(m_chip->frames().size() - 1); }
    QByteArray cells(int first, int n) const
    {
        const auto memory = m_chip->features().osdCharacters;
        return QByteArray(reinterpret_cast<const char *>(memory.data()) + first, n);
    }
    test::ZmctlRun zmctl(const QStringList &args) const { return test::runZmctl(m_chip->slavePath(), args); }

    // Opens the window as the user does: shown, its opening Get done.
    template <typename Dlg>
    Dlg *open()
    {
        auto dlg = std::make_unique<Dlg>(*m_session);
        if constexpr (requires { dlg->setColorChooser(ColorChooser{}); })
            dlg->setColorChooser([this](const QColor &) { return std::optional<QColor>(m_pick); });
        return showWindow(std::move(dlg));
    }

    static bool hasColour(const QImage &image, const QColor &c)
    {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == c)
                    return true;
        return false;
    }

private slots:
    void init() { QVERIFY2(startChip(), qPrintable(m_error)); }
    void cleanup() { closeWindow(); }

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
        for (const char *bad : {"50%", "a\tb", "caf\xc3\xa9", "x\"", "~"})
            QVERIFY2(!OsdCharSet::toIndexes(QString::fromUtf8(bad)), bad);
        for (int i = 0; i < OsdCharSet::kSize; ++i) {
            const QString c = OsdCharSet::character(i);
            QCOMPARE(c.size(), 1);
            QCOMPARE(OsdCharSet::indexOf(c.at(0)), i == OsdCharSet::kBlock ? -1 : i);
        }
        QVERIFY(OsdCharSet::character(80).isEmpty());
    }

    void pieces_data()
    {
        QTest::addColumn<std::vector<CharPiece>>("pieces");
        QTest::addColumn<std::vector<CharPiece>>("expected");
        const QByteArray full = pattern(32);
        QTest::newRow("32 on line 3") << linePieces(3, full)
                                      << std::vector<CharPiece>{{64, full.left(14)}, {78, full.mid(14, 14)},
                                                                {92, full.mid(28)}};
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

    // Channel 3's flicker bit and 0x2502 bits 5-7 are never written; every other bit read comes
    // back (where each field lies, the window's Set shows).
    void controlBlock()
    {
        const QByteArray read = pattern(33);
        QByteArray expected = read;
        expected[1] = char(read[1] & ~0x04);
        expected[2] = char(read[2] & 0x1F);
        QCOMPARE(OsdControl::fromBytes(read).toBytes().toHex(' '), expected.toHex(' '));
    }

    // Every bit of the 28 bytes has a field, so a block read comes back byte for byte; and each
    // field lands where the chip has it.
    void channelRoundTrip()
    {
        const QByteArray read = pattern(28);
        const CharChannel c = CharChannel::fromBytes(read);
        QCOMPARE(c.toBytes().toHex(' '), read.toHex(' '));
        QCOMPARE(c.lines[2].posY, int(uint8_t(read[5])));
        QCOMPARE(int(c.lines[1].color), uint8_t(read[12]) | uint8_t(read[13]) << 8);
        QCOMPARE(c.lines[1].charNumber, uint8_t(read[23]) >> 1); // size and number share a register per line
        QCOMPARE(int(c.background), uint8_t(read[18]) | uint8_t(read[19]) << 8);
        QCOMPARE(c.lines[3].display, bool(uint8_t(read[20]) & 0x08));
        QCOMPARE(c.lines[0].flicker, bool(uint8_t(read[20]) & 0x10));
        QCOMPARE(int(c.foil), uint8_t(read[26]) | uint8_t(read[27]) << 8);
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

    // A run that fails stops the read and leaves the caller's bytes as they were; a failed write
    // stops at that run; too few bytes for the runs are refused before anything goes out; and
    // a stop asked for before a piece ends the pieces there.
    void failedRuns()
    {
        Commands c(*m_session);
        QVERIFY(m_chip->addFault("status=5,cmd=0x30"));
        QByteArray bytes("kept");
        QCOMPARE(int(readRuns(c, CharChannel::kRuns, bytes)), 5);
        QCOMPARE(bytes, QByteArray("kept"));
        m_chip->clearFaults();
        m_chip->clearFrames();
        QVERIFY(m_chip->addFault("status=4,cmd=0x31"));
        QCOMPARE(int(writeRuns(c, CharChannel::kRuns, QByteArray(28, 0))), 4);
        QCOMPARE(m_chip->frames().size(), 1);
        QCOMPARE(int(writeRuns(c, CharChannel::kRuns, QByteArray(27, 0))), int(rc::InvalidParameter));
        std::stop_source stop;
        stop.request_stop();
        QCOMPARE(int(writePieces(c, linePieces(1, QByteArray(3, 1)), stop.get_token())), int(rc::Stopped));
        QCOMPARE(m_chip->frames().size(), 1);
    }

    // The chip refuses with a status what its character memory cannot take, and logo and bitmap
    // requests it does not know.
    void chipCommands_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("status");
        QTest::newRow("cells past 127") << 0x45 << QByteArray::fromHex("027f0101") << 3;
        QTest::newRow("last cell") << 0x45 << QByteArray::fromHex("017f01") << 0;
        QTest::newRow("bitmap sub-function 4") << 0x71 << QByteArray::fromHex("04") << 3;
    }
    void chipCommands()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, data);
        QFETCH(int, status);
        Commands c(*m_session);
        AnswerRecord answer;
        const QByteArray before = cells(0, 128);
        const uint8_t r = c.rawCommand(uint8_t(code), reinterpret_cast<const uint8_t *>(data.constData()),
                                       int(data.size()), answer);
        QCOMPARE(int(r), status);
        if (status != 0)
            QCOMPARE(cells(0, 128), before);
    }

    void zmctlText()
    {
        m_session->close(); // the port is zmctl's now
        test::ZmctlRun r = zmctl({"osd-text", "1", "Cam-01"});
        QCOMPARE(r.code, 0);
        QCOMPARE(cells(0, 7).toHex(' '), QByteArray("0c 24 30 3e 00 01 4f"));
        r = zmctl({"osd-clear", "1"});
        QCOMPARE(r.code, 0);
        QCOMPARE(cells(0, 32), QByteArray(32, char(OsdCharSet::kSpace)));
        m_chip->clearFrames();

        // Refused before anything is sent, as usage errors: a character outside the set as much
        // as a text too long.
        r = zmctl({"osd-text", "2", "50%"});
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.startsWith("zmctl: Include invalid char") && r.err.contains("\"%\""), qPrintable(r.err));
        for (const QStringList &bad : {QStringList{"osd-text", "5", "x"}, QStringList{"osd-text", "0", "x"},
                                       QStringList{"osd-text", "1", QString(33, 'x')}, QStringList{"osd-clear", "x"}}) {
            r = zmctl(bad);
            QCOMPARE(r.code, 2);
            QVERIFY2(r.err.startsWith("zmctl: "), qPrintable(r.err));
        }
        QVERIFY(m_chip->frames().isEmpty());

        // A chip that refuses the piece: exit 1 with its result text.
        QVERIFY(m_chip->addFault("status=5,cmd=0x45"));
        r = zmctl({"osd-clear", "1"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.startsWith("zmctl: Cmd recept, but execute failed\nzmctl: write-osd-characters"), qPrintable(r.err));
        QCOMPARE(m_chip->frames().size(), 1);
    }

    // The opening Get shows the chip's registers; Set writes the five runs of the block; the
    // colour chooser's black is 0x0210. A logo bit width the list has no item for is written
    // back as it was read.
    void osdConfig()
    {
        m_chip->setReg(0x2502, 0x04);
        open<COsdConfigDlg>();
        checkFit("osd_config");
        QVERIFY(check("enable1")->isChecked());
        QCOMPARE(combo("logoBitWidthCombo")->currentIndex(), -1);
        const QByteArray entry1 = regs(0x2503, 2);
        QCOMPARE(text("palette1"), formatHex(uint8_t(entry1[1]) << 8 | uint8_t(entry1[0]), 4));
        QVERIFY(!check("flicker3")->isEnabled());

        check("enable2")->setChecked(true);
        combo("inputMode4")->setCurrentIndex(1);
        combo("location1")->setCurrentIndex(1);
        check("flicker4")->setChecked(true);
        type("palette2", "1F");
        click("swatch4");
        QCOMPARE(text("palette4"), QString("0210"));
        type("palette15", "ABCD");
        press("setButton");
        QCOMPARE(regs(0x2500, 3).toHex(' '), QByteArray("83 18 04"));
        QCOMPARE(regs(0x2505, 2).toHex(' ') + ' ' + regs(0x2509, 2).toHex(' '), QByteArray("1f 00 10 02"));
        QCOMPARE(regs(0x258C, 2).toHex(' '), QByteArray("cd ab"));
        QVERIFY(m_messages->texts().isEmpty());
    }

    // Each detail button opens its window.
    void detailWindows()
    {
        open<COsdConfigDlg>();
        const std::pair<const char *, QString> buttons[] = {{"charConfigButton", "Osd Char Channel Config"},
                                                            {"logoConfigButton", "Logo"},
                                                            {"mosaicConfigButton", "Mosaic Config"},
                                                            {"bitmapConfigButton", "OSD Bitmap"}};
        for (const auto &[button, title] : buttons) {
            QString seen;
            QTimer::singleShot(0, this, [&] {
                QWidget *modal = QApplication::activeModalWidget();
                QVERIFY(WorkerRunner::waitForAll(20000));
                seen = modal ? modal->windowTitle() : QString();
                if (modal)
                    modal->close();
            });
            child<QPushButton>(button)->click();
            QCOMPARE(seen, title);
        }
        QVERIFY(m_messages->texts().isEmpty());
    }

    // The opening Get shows the chip's lines; Set writes them, and values the lists cannot show
    // go back unchanged. Typing keeps to the character set; Add Char sends the line's text and
    // Clear Line spaces, but not while another command holds the line. The preview paints the
    // line's colour on the chip's background colour.
    void charChannel()
    {
        auto *dlg = open<COsdCharChannelDlg>();
        checkFit("osd_char_channel");
        QCOMPARE(combo("posY2")->currentIndex(), int(m_chip->reg(0x2523)));
        QCOMPARE(combo("charNumber3")->currentIndex(), m_chip->reg(0x2539) >> 1);
        combo("charSize1")->setCurrentIndex(1);
        combo("charNumber1")->setCurrentIndex(5);
        press("setButton");
        QCOMPARE(int(m_chip->reg(0x2537)), 0x0B);
        m_chip->setReg(0x2538, 40 << 1);
        m_chip->setReg(0x2523, 200);
        press("getButton");
        QCOMPARE(combo("charNumber2")->currentIndex(), -1);
        QCOMPARE(combo("posY2")->currentIndex(), -1);
        press("setButton");
        QCOMPARE(int(m_chip->reg(0x2538)), 40 << 1);
        QCOMPARE(int(m_chip->reg(0x2523)), 200);

        QTest::keyClicks(edit("lineEdit1"), "Cam-01%");
        QCOMPARE(text("lineEdit1"), QString("Cam-01"));
        QCOMPARE(child<QLabel>("lengthLabel1")->text(), QString("( 6)"));
        m_chip->clearFrames();
        press("addChar1");
        QCOMPARE(m_chip->frames(), QList<QByteArray>{QByteArray::fromHex("5600450806000c24303e0001")});
        QTest::keyClicks(edit("lineEdit4"), "x");
        QVERIFY(m_session->tryAcquire());
        click("clearLine4");
        m_session->release();
        QCOMPARE(text("lineEdit4"), QString("x"));
        QCOMPARE(m_messages->headlines(), QStringList{msg::kBusy});
        press("clearLine4");
        QCOMPARE(text("lineEdit4"), QString());
        QCOMPARE(m_chip->frames().size(), 5);

        const uint16_t background = uint16_t(m_chip->reg(0x2532) | m_chip->reg(0x2533) << 8);
        QCOMPARE(dlg->preview(1).pixelColor(1, 1), paletteColor(background));
        QVERIFY(hasColour(dlg->preview(1), dlg->colorField(1)->color()));
        m_pick = QColor(255, 0, 0);
        click("charSwatch1");
        QCOMPARE(text("charColor1"), QString("4D5F"));
        QVERIFY(hasColour(dlg->preview(1), paletteColor(0x4D5F)));
        QVERIFY(!hasColour(dlg->preview(2), paletteColor(0x4D5F)));
    }

    // All 80 characters in view at once.
    void charList()
    {
        showWindow(std::make_unique<COsdCharListDlg>());
        checkFit("osd_char_list");
        auto *table = child<QTableWidget>("charTable");
        QVERIFY(table->viewport()->rect().contains(table->visualItemRect(table->item(19, 7))));
    }

    // The opening Get fails: the window keeps its start values, which Set then writes. Start
    // and Stop Bitmap send their sub-functions.
    void bitmap()
    {
        QVERIFY(m_chip->addFault("status=5,cmd=0x30,times=1"));
        m_chip->writeMemory(MemoryType::Chip, 0x2570, QByteArray(11, '\0'));
        open<COsdBitmapDlg>();
        checkFit("osd_bitmap");
        QCOMPARE(m_messages->headlines(), QStringList{QString(msg::kReadRegisterFailed) + resultText(5)});
        press("setButton");
        QCOMPARE(regs(0x2570, 11).toHex(' '), QByteArray("12 10 32 00 00 a0 78 00 00 ff ff"));
        type("addressEdit", "10000");
        type("lengthEdit", "400");
        press("startButton");
        QCOMPARE(lastFrame(), QByteArray::fromHex("56007107020400000100 00"));
        press("stopButton");
        QCOMPARE(lastFrame(), QByteArray::fromHex("5600710101"));
        QCOMPARE(m_messages->count(), 1);
    }

    // Set writes the six fields in register order and Get shows them; Read Logo sends where
    // the logo is and how long.
    void logo()
    {
        open<CLogoDlg>();
        checkFit("logo");
        type("widthEdit", "1A");
        type("flickerFreqEdit", "7");
        press("setButton");
        QCOMPARE(regs(0x2540, 6).toHex(' '), QByteArray("00 00 1a 06 00 07"));
        m_chip->setReg(0x2543, 0x44);
        press("getButton");
        QCOMPARE(text("heightEdit"), QString("44"));
        type("logoAddrEdit", "2000");
        type("logoSizeEdit", "240");
        press("readLogoButton");
        QCOMPARE(lastFrame(), QByteArray::fromHex("56007007030240000020 00"));
        QVERIFY(m_messages->texts().isEmpty());
    }

    // Each sub-block field shows the register it is written to.
    void mosaic()
    {
        open<CMosaicDlg>();
        checkFit("mosaic");
        type("subbWidthEdit", "08");
        type("subbHeightEdit", "10");
        press("setButton");
        QCOMPARE(regs(0x2565, 2).toHex(' '), QByteArray("08 10"));
        m_chip->writeMemory(MemoryType::Chip, 0x2565, QByteArray::fromHex("0306"));
        press("getButton");
        QCOMPARE(text("subbWidthEdit"), QString("03"));
        QCOMPARE(text("subbHeightEdit"), QString("06"));
    }
};

QTEST_MAIN(TestOsd)
#include "tst_osd.moc"
