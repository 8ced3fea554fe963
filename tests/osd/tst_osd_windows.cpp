// The OSD windows against the simulated chip: each window's opening Get, its Set, its own
// commands and typing rules, and how it fits the screen.

#include "link/hex_text.h"
#include "link/messages.h"
#include "osd/logo_dlg.h"
#include "osd/mosaic_dlg.h"
#include "osd/osd_bitmap_dlg.h"
#include "osd/osd_char_channel_dlg.h"
#include "osd/osd_char_list_dlg.h"
#include "osd/osd_config_dlg.h"
#include "tests/common/window_test.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTableWidget>
#include <QTimer>

using namespace zm;

class TestOsdWindows : public test::WindowTest
{
    Q_OBJECT

    QColor m_pick{0, 0, 0}; // what the colour chooser answers

    QComboBox *combo(const char *name) const { return child<QComboBox>(name); }
    QCheckBox *check(const char *name) const { return child<QCheckBox>(name); }
    QByteArray regs(uint16_t address, int n) const { return m_chip->readMemory(MemoryType::Chip, address, n); }
    QByteArray lastFrame() const { return m_chip->frames().value(m_chip->frames().size() - 1); }

    // Opens the window as the user does: shown, its opening Get done.
    template <typename Dlg>
    Dlg *open()
    {
        auto dlg = std::make_unique<Dlg>(*m_layer);
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

    // The opening Get shows the chip's registers; Set writes the five runs of the block. A
    // character past F clears a colour and its swatch follows; the colour chooser's black is
    // 0x0210. A logo bit width the list has no item for is written back as it was read.
    void osdConfig()
    {
        m_chip->setReg(0x2502, 0x04);
        auto *dlg = open<COsdConfigDlg>();
        checkFit("osd_config");
        QVERIFY(check("enable1")->isChecked());
        QVERIFY(!check("enable2")->isChecked());
        QCOMPARE(combo("logoBitWidthCombo")->currentIndex(), -1);
        const QByteArray entry1 = regs(0x2503, 2);
        QCOMPARE(text("palette1"), formatHex(uint8_t(entry1[1]) << 8 | uint8_t(entry1[0]), 4));
        QVERIFY(!check("flicker3")->isEnabled());

        check("enable2")->setChecked(true);
        combo("inputMode4")->setCurrentIndex(1);
        combo("location1")->setCurrentIndex(1);
        check("flicker4")->setChecked(true);
        type("palette2", "1F");
        type("palette3", "G1");
        QCOMPARE(text("palette3"), QString("0000"));
        QCOMPARE(dlg->paletteField(3)->color(), QColor(0, 135, 0));
        click("swatch4");
        QCOMPARE(text("palette4"), QString("0210"));
        QCOMPARE(dlg->paletteField(4)->color(), QColor(0, 0, 0));
        type("palette15", "ABCD");
        press("setButton");
        QCOMPARE(regs(0x2500, 3).toHex(' '), QByteArray("83 18 04"));
        QCOMPARE(regs(0x2505, 6).toHex(' '), QByteArray("1f 00 00 00 10 02"));
        QCOMPARE(regs(0x258C, 2).toHex(' '), QByteArray("cd ab"));
        QVERIFY(m_messages->texts().isEmpty());
    }

    // Each detail button opens its window.
    void detailWindows_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("title");
        QTest::newRow("char") << "charConfigButton" << "Osd Char Channel Config";
        QTest::newRow("logo") << "logoConfigButton" << "Logo";
        QTest::newRow("mosaic") << "mosaicConfigButton" << "Mosaic Config";
        QTest::newRow("bitmap") << "bitmapConfigButton" << "OSD Bitmap";
    }
    void detailWindows()
    {
        QFETCH(QString, button);
        QFETCH(QString, title);
        open<COsdConfigDlg>();
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
        QVERIFY(m_layer->tryAcquire());
        click("clearLine4");
        m_layer->release();
        QCOMPARE(text("lineEdit4"), QString("x"));
        QCOMPARE(m_messages->texts(), QStringList{msg::kBusy});
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

    // All 80 characters in view at once, the block symbol as itself.
    void charList()
    {
        showWindow(std::make_unique<COsdCharListDlg>());
        checkFit("osd_char_list");
        auto *table = child<QTableWidget>("charTable");
        QCOMPARE(table->item(18, 6)->text(), QString("78"));
        QCOMPARE(table->item(18, 7)->text(), QString("'") + QChar(0x25A0) + "'");
        QVERIFY(table->viewport()->rect().contains(table->visualItemRect(table->item(19, 7))));
    }

    // The opening Get fails: the window keeps its start values, which Set then writes. Start
    // and Stop Bitmap send their sub-functions; a letter past F in a hex field clears it.
    void bitmap()
    {
        QVERIFY(m_chip->addFault("status=5,cmd=0x30,times=1"));
        m_chip->writeMemory(MemoryType::Chip, 0x2570, QByteArray(11, '\0'));
        open<COsdBitmapDlg>();
        checkFit("osd_bitmap");
        QCOMPARE(m_messages->texts(), QStringList{QString(msg::kReadRegisterFailed) + resultText(5)});
        press("setButton");
        QCOMPARE(regs(0x2570, 11).toHex(' '), QByteArray("12 10 32 00 00 a0 78 00 00 ff ff"));
        type("addressEdit", "10000");
        type("lengthEdit", "400");
        press("startButton");
        QCOMPARE(lastFrame(), QByteArray::fromHex("56007107020400000100 00"));
        press("stopButton");
        QCOMPARE(lastFrame(), QByteArray::fromHex("5600710101"));
        QTest::keyClicks(edit("addressEdit"), "G");
        QCOMPARE(text("addressEdit"), QString("0000"));
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
        QCOMPARE(text("flickerFreqEdit"), QString("07"));
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

QTEST_MAIN(TestOsdWindows)
#include "tst_osd_windows.moc"
