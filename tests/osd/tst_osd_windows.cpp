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

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "tests/common/chip_test.h"
#include "tests/common/window_check.h"

using namespace zm;

class TestOsdWindows : public test::ChipTest
{
    Q_OBJECT

    std::unique_ptr<QDialog> m_dlg;
    QColor m_pick{0, 0, 0}; // what the colour chooser answers

    template <typename T = QWidget>
    T *child(const char *name) const
    {
        T *w = m_dlg->findChild<T *>(QString::fromLatin1(name));
        if (!w)
            qFatal("no %s", name);
        return w;
    }
    QLineEdit *edit(const char *name) const { return child<QLineEdit>(name); }
    QComboBox *combo(const char *name) const { return child<QComboBox>(name); }
    void click(const char *button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }
    static bool settle() { return WorkerRunner::waitForAll(20000); }
    void type(const char *name, const QString &text)
    {
        edit(name)->clear();
        QTest::keyClicks(edit(name), text);
    }
    QByteArray regs(uint16_t address, int n) const { return m_chip->readMemory(MemoryType::Chip, address, n); }
    QByteArray lastFrame() const { return m_chip->frames().value(m_chip->frames().size() - 1); }

    // Opens the window as the user does: shown, its opening Get done.
    template <typename Dlg>
    Dlg *open()
    {
        auto *dlg = new Dlg(*m_layer);
        m_dlg.reset(dlg);
        if constexpr (requires { dlg->setColorChooser(ColorChooser{}); })
            dlg->setColorChooser([this](const QColor &) { return std::optional<QColor>(m_pick); });
        dlg->show();
        if (!QTest::qWaitForWindowExposed(dlg) || !settle())
            qFatal("window did not open");
        return dlg;
    }

    void checkFit(const QString &name)
    {
        const QStringList problems = test::windowFitProblems(m_dlg.get());
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        test::saveScreenshot(m_dlg.get(), name);
    }

private slots:
    void init() { QVERIFY2(startChip(), qPrintable(m_error)); }
    void cleanup()
    {
        QVERIFY(settle());
        m_dlg.reset();
        QVERIFY(stopChip());
    }

    void osdConfig()
    {
        open<COsdConfigDlg>();
        checkFit("osd_config");
        // The opening Get shows the chip's registers.
        QVERIFY(child<QCheckBox>("enable1")->isChecked());
        QVERIFY(!child<QCheckBox>("enable2")->isChecked());
        QCOMPARE(combo("logoBitWidthCombo")->currentText(), QString("4   Bits"));
        const QByteArray entry1 = regs(0x2503, 2);
        QCOMPARE(edit("palette1")->text(), formatHex(uint8_t(entry1[1]) << 8 | uint8_t(entry1[0]), 4));
        QVERIFY(!child<QCheckBox>("flicker3")->isEnabled());

        child<QCheckBox>("enable2")->setChecked(true);
        combo("inputMode4")->setCurrentIndex(1);
        combo("location1")->setCurrentIndex(1);
        child<QCheckBox>("flicker4")->setChecked(true);
        type("palette2", "1F");
        // A character past F clears the colour; the swatch follows.
        type("palette3", "G1");
        QCOMPARE(edit("palette3")->text(), QString("0000"));
        QCOMPARE(static_cast<COsdConfigDlg *>(m_dlg.get())->paletteField(3)->color(), QColor(0, 135, 0));
        // Black from the colour chooser.
        click("swatch4");
        QCOMPARE(edit("palette4")->text(), QString("0210"));
        QCOMPARE(static_cast<COsdConfigDlg *>(m_dlg.get())->paletteField(4)->color(), QColor(0, 0, 0));

        click("setButton");
        QVERIFY(settle());
        QCOMPARE(regs(0x2500, 3).toHex(' '), QByteArray("83 18 08"));
        QCOMPARE(regs(0x2505, 6).toHex(' '), QByteArray("1f 00 00 00 10 02"));
        QVERIFY(m_messages->texts().isEmpty());
    }

    // A logo bit width the list cannot show leaves it empty, and Set writes the field back.
    // A failed Get changes nothing on screen.
    void osdConfigUnlistedValuesAndFailure()
    {
        open<COsdConfigDlg>();
        m_chip->setReg(0x2502, 0x04);
        click("getButton");
        QVERIFY(settle());
        QCOMPARE(combo("logoBitWidthCombo")->currentIndex(), -1);
        QVERIFY(!child<QCheckBox>("foilCheck")->isChecked());
        click("setButton");
        QVERIFY(settle());
        QCOMPARE(int(m_chip->reg(0x2502)), 0x04);
        // Field 0 too: not turned into 1 by a Set that nobody asked to change it.
        m_chip->setReg(0x2502, 0x00);
        click("getButton");
        QVERIFY(settle());
        click("setButton");
        QVERIFY(settle());
        QCOMPARE(int(m_chip->reg(0x2502)), 0x00);

        m_chip->setReg(0x2502, 0x1C);
        QVERIFY(m_chip->addFault("status=5,cmd=0x30"));
        click("getButton");
        QVERIFY(settle());
        QCOMPARE(m_messages->texts(), QStringList{QString(msg::kReadRegisterFailed) + resultText(5)});
        QCOMPARE(combo("logoBitWidthCombo")->currentIndex(), -1);
        QVERIFY(m_dlg->isEnabled());
    }

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
            QVERIFY(settle());
            seen = modal ? modal->windowTitle() : QString();
            if (modal)
                modal->close();
        });
        child<QPushButton>(qPrintable(button))->click();
        QCOMPARE(seen, title);
        QVERIFY(m_messages->texts().isEmpty());
    }

    void charChannel()
    {
        auto *dlg = open<COsdCharChannelDlg>();
        QCOMPARE(combo("posY2")->currentIndex(), int(m_chip->reg(0x2523)));
        QCOMPARE(combo("charNumber3")->currentIndex(), m_chip->reg(0x2539) >> 1);

        combo("charSize1")->setCurrentIndex(1);
        combo("charNumber1")->setCurrentIndex(5);
        combo("horStep3")->setCurrentIndex(2);
        child<QCheckBox>("flicker2")->setChecked(true);
        type("foilColorEdit", "ABCD");
        click("setButton");
        QVERIFY(settle());
        QCOMPARE(int(m_chip->reg(0x2537)), 0x0B);
        QCOMPARE(int(m_chip->reg(0x2536)), 0x20);
        QCOMPARE(int(m_chip->reg(0x2535)), 0x21);
        QCOMPARE(regs(0x253E, 2).toHex(), QByteArray("cdab"));
        // A character number past the list's 32 and a Pos Y past its 180 items go back unchanged.
        m_chip->setReg(0x2538, 40 << 1);
        m_chip->setReg(0x2523, 200);
        click("getButton");
        QVERIFY(settle());
        QCOMPARE(combo("charNumber2")->currentIndex(), -1);
        QCOMPARE(combo("posY2")->currentIndex(), -1);
        click("setButton");
        QVERIFY(settle());
        QCOMPARE(int(m_chip->reg(0x2538)), 40 << 1);
        QCOMPARE(int(m_chip->reg(0x2523)), 200);

        // A mark outside the set is undone as it is typed.
        QTest::keyClicks(edit("lineEdit1"), "Cam-01%");
        QCOMPARE(edit("lineEdit1")->text(), QString("Cam-01"));
        QCOMPARE(child<QLabel>("lengthLabel1")->text(), QString("( 6)"));
        m_chip->clearFrames();
        click("addChar1");
        QVERIFY(settle());
        QCOMPARE(m_chip->frames(), QList<QByteArray>{QByteArray::fromHex("5600450806000c24303e0001")});
        checkFit("osd_char_channel");

        // Clear Line refused while another command is in flight keeps the typed text.
        QTest::keyClicks(edit("lineEdit4"), "x");
        QVERIFY(m_layer->tryAcquire());
        click("clearLine4");
        m_layer->release();
        QCOMPARE(edit("lineEdit4")->text(), QString("x"));
        QCOMPARE(m_messages->texts(), QStringList{msg::kBusy});
        m_messages->clear();
        m_chip->clearFrames();
        click("clearLine4");
        QVERIFY(settle());
        QCOMPARE(edit("lineEdit4")->text(), QString());
        QStringList starts;
        for (const QByteArray &f : m_chip->frames())
            starts << QString::number(uint8_t(f[5])) + (f.mid(6) == QByteArray(8, char(79)) ? "" : " not spaces");
        QCOMPARE(starts, QStringList({"96", "104", "112", "120"}));

        // The preview: the line's colour on the chip's background colour.
        const QImage preview = dlg->preview(1);
        const uint16_t background = uint16_t(m_chip->reg(0x2532) | m_chip->reg(0x2533) << 8);
        QCOMPARE(preview.pixelColor(1, 1), paletteColor(background));
        auto hasColour = [](const QImage &image, const QColor &c) {
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixelColor(x, y) == c)
                        return true;
            return false;
        };
        QVERIFY(hasColour(preview, dlg->colorField(1)->color()));
        // Red from the chooser: Y 76, Cb 84, Cr 255. The preview paints what the entry keeps.
        m_pick = QColor(255, 0, 0);
        click("charSwatch1");
        QCOMPARE(edit("charColor1")->text(), QString("4D5F"));
        QVERIFY(hasColour(dlg->preview(1), paletteColor(0x4D5F)));
        QVERIFY(!hasColour(dlg->preview(2), paletteColor(0x4D5F)));
        QVERIFY(m_messages->texts().isEmpty());
    }

    void charList()
    {
        m_dlg = std::make_unique<COsdCharListDlg>();
        m_dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
        checkFit("osd_char_list");
        auto *table = child<QTableWidget>("charTable");
        QCOMPARE(table->rowCount(), 20);
        QCOMPARE(table->columnCount(), 8);
        QCOMPARE(table->horizontalHeaderItem(6)->text(), QString("Index"));
        QCOMPARE(table->horizontalHeaderItem(7)->text(), QString("Char"));
        QCOMPARE(table->item(0, 4)->text(), QString("40"));
        QCOMPARE(table->item(0, 5)->text(), QString("'e'"));
        QCOMPARE(table->item(18, 6)->text(), QString("78"));
        QCOMPARE(table->item(18, 7)->text(), QString("'") + QChar(0x25A0) + "'");
        // All 80 in view at once.
        QVERIFY(table->viewport()->rect().contains(table->visualItemRect(table->item(19, 7))));
    }

    void bitmap()
    {
        // The opening Get fails: the window keeps its start values, which Set then writes.
        QVERIFY(m_chip->addFault("status=5,cmd=0x30,times=1"));
        m_chip->writeMemory(MemoryType::Chip, 0x2570, QByteArray(11, '\0'));
        open<COsdBitmapDlg>();
        checkFit("osd_bitmap");
        QCOMPARE(m_messages->texts(), QStringList{QString(msg::kReadRegisterFailed) + resultText(5)});
        click("setButton");
        QVERIFY(settle());
        QCOMPARE(regs(0x2570, 11).toHex(' '), QByteArray("12 10 32 00 00 a0 78 00 00 ff ff"));

        type("thresholdEdit", "1");
        combo("colorIndex3")->setCurrentIndex(15);
        click("setButton");
        QVERIFY(settle());
        QCOMPARE(regs(0x2579, 2).toHex(' '), QByteArray("00 01"));
        edit("thresholdEdit")->clear();
        combo("colorIndex3")->setCurrentIndex(0);
        click("getButton");
        QVERIFY(settle());
        QCOMPARE(edit("thresholdEdit")->text(), QString("0001"));
        QCOMPARE(combo("colorIndex3")->currentText(), QString("0x0F"));

        type("addressEdit", "10000");
        type("lengthEdit", "400");
        click("startButton");
        QVERIFY(settle());
        QCOMPARE(lastFrame(), QByteArray::fromHex("56007107020400000100 00"));
        click("stopButton");
        QVERIFY(settle());
        QCOMPARE(lastFrame(), QByteArray::fromHex("5600710101"));
        QTest::keyClicks(edit("addressEdit"), "G");
        QCOMPARE(edit("addressEdit")->text(), QString("0000"));
        QCOMPARE(m_messages->count(), 1);
    }

    void logo()
    {
        open<CLogoDlg>();
        checkFit("logo");
        type("widthEdit", "1A");
        type("flickerFreqEdit", "7");
        click("setButton");
        QVERIFY(settle());
        QCOMPARE(regs(0x2540, 6).toHex(' '), QByteArray("00 00 1a 06 00 07"));
        m_chip->setReg(0x2543, 0x44);
        click("getButton");
        QVERIFY(settle());
        QCOMPARE(edit("heightEdit")->text(), QString("44"));
        QCOMPARE(edit("flickerFreqEdit")->text(), QString("07"));

        type("logoAddrEdit", "2000");
        type("logoSizeEdit", "240");
        click("readLogoButton");
        QVERIFY(settle());
        QCOMPARE(lastFrame(), QByteArray::fromHex("56007007030240000020 00"));
        QTest::keyClicks(edit("logoAddrEdit"), "G");
        QCOMPARE(edit("logoAddrEdit")->text(), QString("0000"));

        // A chip that refuses the location: the result text alone.
        QVERIFY(m_chip->addFault("status=4,cmd=0x70"));
        click("readLogoButton");
        QVERIFY(settle());
        QCOMPARE(m_messages->texts(), QStringList{resultText(4)});
    }

    // Each sub-block field shows the register it is written to.
    void mosaicRoundTrip()
    {
        open<CMosaicDlg>();
        checkFit("mosaic");
        QCOMPARE(edit("widthEdit")->text(), QString("28"));
        type("subbWidthEdit", "08");
        type("subbHeightEdit", "10");
        click("setButton");
        QVERIFY(settle());
        QCOMPARE(regs(0x2565, 2).toHex(' '), QByteArray("08 10"));
        type("subbWidthEdit", "00");
        type("subbHeightEdit", "00");
        click("getButton");
        QVERIFY(settle());
        QCOMPARE(edit("subbWidthEdit")->text(), QString("08"));
        QCOMPARE(edit("subbHeightEdit")->text(), QString("10"));
    }
};

QTEST_MAIN(TestOsdWindows)
#include "tst_osd_windows.moc"
