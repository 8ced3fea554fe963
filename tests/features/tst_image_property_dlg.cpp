// The Image Property Page against the simulated chip: what opening reads and shows, what a
// slider writes and when, the function control bits, SetDefault, the picture-control record of
// the control info (read, saved from the registers, enable bits saved from the boxes) and the
// failures.

#include "features/image_property_dlg.h"

#include "ctrlinfo/config_settings.h"
#include "sim/ctrl_info_image.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "tests/features/feature_window_test.h"

using namespace zm;
using sim::CtrlInfoPlace;

Q_DECLARE_METATYPE(CtrlInfoPlace)

class TestImagePropertyDlg : public test::FeatureWindowTest
{
    Q_OBJECT

    void open() { show(std::make_unique<CImagePropertyDlg>(*m_layer)); }
    QList<int> sliders()
    {
        QList<int> v;
        for (const char *s : {"brightnessSlider", "contrastSlider", "offContrastSlider", "hueSlider", "saturationSlider"})
            v << child<QSlider>(s)->value();
        return v;
    }
    // A drag of the handle: pressed, moved, let go.
    void drag(const char *slider, int to)
    {
        auto *s = child<QSlider>(slider);
        s->setSliderDown(true);
        s->setValue(to);
        QVERIFY(m_chip->frames().isEmpty() || !m_layer->isBusy()); // nothing written while held
        s->setSliderDown(false);
        settle();
    }
    static QString readFrame(int count, int address) { return QString::asprintf("56003004010%X%04X", count, address); }
    static QString writeFrame(int address, const char *bytes)
    {
        const int n = int(strlen(bytes)) / 2;
        return QString::asprintf("560031%02X010%X%04X%s", 4 + n, n, address, bytes);
    }

    // A fresh chip whose control info lies in `place`, the layer open on it.
    void useChip(CtrlInfoPlace place)
    {
        m_layer->close();
        sim::PtyChip::Options o;
        o.chip.ctrlInfo = place;
        m_chip = std::make_unique<sim::PtyChip>(o);
        QVERIFY2(m_layer->open(m_chip->slavePath(), QStringLiteral("38400,n,8,1"), &m_error), qPrintable(m_error));
    }
    static MemoryType memoryOf(CtrlInfoPlace place) { return MemoryType(uint8_t(place) + 3); }
    void pokeBe16(CtrlInfoPlace place, uint16_t address, uint16_t value)
    {
        m_chip->writeMemory(memoryOf(place), address, QByteArray::fromHex(QByteArray::number(value, 16).rightJustified(4, '0')));
    }
    void setRecordAddress(CtrlInfoPlace place, uint16_t record)
    {
        pokeBe16(place, sim::kExternTableAddress + 2 * 16, record);
    }
    // The write-data frames sent to the memory of `place`.
    QStringList deviceWrites(CtrlInfoPlace place)
    {
        QStringList writes;
        for (const QString &f : frames())
            if (f.mid(4, 2) == "31" && f.mid(8, 2).toInt(nullptr, 16) == int(place) + 3)
                writes << f;
        return writes;
    }
    // No worker holds the link and the window takes presses again.
    void checkIdle()
    {
        QVERIFY(!m_layer->isBusy());
        QVERIFY(m_dlg->isEnabled());
    }
    QString e2promText() { return child<QPlainTextEdit>("e2promText")->toPlainText(); }
    void checkEnables(uint8_t bits)
    {
        child<QCheckBox>("enContrastCheck")->setChecked(bits & 0x02);
        child<QCheckBox>("enBrightnessCheck")->setChecked(bits & 0x04);
        child<QCheckBox>("enHueCheck")->setChecked(bits & 0x08);
        child<QCheckBox>("enSaturationCheck")->setChecked(bits & 0x10);
    }

private slots:
    void init() { QVERIFY2(startChip(), qPrintable(m_error)); }
    void cleanup() { closeWindow(); }

    // Opening reads the six registers once and shows them: sliders (signed brightness, hue
    // from sign and magnitude), the enable boxes, the labels and the dump.
    void opensWithTheChipsValues()
    {
        m_chip->writeMemory(MemoryType::Chip, 0x1A00, QByteArray::fromHex("A6"));
        m_chip->writeMemory(MemoryType::Chip, 0x1A10, QByteArray::fromHex("FB8081"));
        m_chip->writeMemory(MemoryType::Chip, 0x1A14, QByteArray::fromHex("9E40"));
        open();
        checkLook("features_image_property");
        QCOMPARE(frames(), QStringList({readFrame(1, 0x1A00), readFrame(3, 0x1A10), readFrame(2, 0x1A14)}));
        QCOMPARE(sliders(), QList<int>({-5, 128, 129, -30, 64}));
        QCOMPARE(child<QLabel>("hueValueLabel")->text(), QString("(0x9E), -30"));
        QCOMPARE(child<QLabel>("contrastValueLabel")->text(), QString("(0x80), 1.0000000"));
        QCOMPARE(child<QLabel>("saturationValueLabel")->text(), QString("(0x40), 1.500000"));
        QCOMPARE(child<QLabel>("brightnessValueLabel")->text(), QString("(0xFB),  -5"));
        // 0xA6: brightness and contrast enabled, hue and saturation not.
        QVERIFY(child<QCheckBox>("enContrastCheck")->isChecked() && child<QCheckBox>("enBrightnessCheck")->isChecked());
        QVERIFY(!child<QCheckBox>("enHueCheck")->isChecked() && !child<QCheckBox>("enSaturationCheck")->isChecked());
        QVERIFY(child<QPlainTextEdit>("registerText")->toPlainText().startsWith("Control      (0x1A00) = 0xA6\n"));
    }

    // A drag writes once, when let go; a keyboard step writes at once; the label follows.
    void slidersWriteTheirRegister_data()
    {
        QTest::addColumn<QByteArray>("slider");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("label");
        QTest::newRow("hue -5") << QByteArray("hueSlider") << -5 << writeFrame(0x1A14, "85") << "(0x85),  -5";
        QTest::newRow("hue +5") << QByteArray("hueSlider") << 5 << writeFrame(0x1A14, "05") << "(0x05),   5";
        QTest::newRow("brightness -128") << QByteArray("brightnessSlider") << -128 << writeFrame(0x1A10, "80") << "(0x80), -128";
        QTest::newRow("off contrast") << QByteArray("offContrastSlider") << 200 << writeFrame(0x1A12, "C8") << "(0xC8), 200";
        QTest::newRow("saturation") << QByteArray("saturationSlider") << 255 << writeFrame(0x1A15, "FF") << "(0xFF), 5.976563";
    }
    void slidersWriteTheirRegister()
    {
        QFETCH(QByteArray, slider);
        QFETCH(int, to);
        QFETCH(QString, frame);
        QFETCH(QString, label);
        open();
        m_chip->clearFrames();
        drag(slider.constData(), to);
        QCOMPARE(frames(), QStringList{frame});
        QCOMPARE(m_dlg->findChild<QLabel *>(QString::fromLatin1(slider).replace("Slider", "ValueLabel"))->text(), label);
        QVERIFY(m_dlg->isEnabled());

        // One step from the keyboard writes the next value without a release.
        m_chip->clearFrames();
        auto *s = child<QSlider>(slider.constData());
        s->setFocus();
        QTest::keyClick(s, s->value() == s->maximum() ? Qt::Key_Down : Qt::Key_Up);
        settle();
        QCOMPARE(frames().size(), 1);
        QVERIFY(frames().first().startsWith(frame.left(16)));
    }

    // Function control: Get shows the Control bits; Set changes only bits 1-4 of what it reads.
    void functionControl()
    {
        open();
        m_chip->setReg(0x1A00, 0xFF);
        click("functionGetButton");
        for (const char *c : {"enContrastCheck", "enBrightnessCheck", "enHueCheck", "enSaturationCheck"}) {
            QVERIFY(child<QCheckBox>(c)->isChecked());
            child<QCheckBox>(c)->setChecked(false);
        }
        child<QCheckBox>("enHueCheck")->setChecked(true);
        m_chip->clearFrames();
        click("functionSetButton");
        QCOMPARE(frames(), QStringList({readFrame(1, 0x1A00), writeFrame(0x1A00, "E9")}));
        QCOMPARE(m_chip->reg(0x1A00), uint8_t(0xE9));
        QVERIFY(m_messages->texts().isEmpty());
    }

    // SetDefault writes both halves; when the first write fails it is reported, the second is
    // still made, and only the sliders whose registers took the defaults move.
    void setDefault()
    {
        m_chip->writeMemory(MemoryType::Chip, 0x1A10, QByteArray::fromHex("10203040"));
        m_chip->writeMemory(MemoryType::Chip, 0x1A14, QByteArray::fromHex("8501"));
        open();
        QCOMPARE(sliders(), QList<int>({16, 32, 48, -5, 1}));
        m_chip->clearFrames();
        QVERIFY(m_chip->addFault("status=5,cmd=0x31,times=1"));
        click("setDefaultButton");
        QCOMPARE(m_messages->texts(), QStringList{"Write chip register failed!:Cmd recept, but execute failed"});
        QCOMPARE(frames(), QStringList({writeFrame(0x1A10, "008080"), writeFrame(0x1A14, "0048")}));
        QCOMPARE(m_chip->readMemory(MemoryType::Chip, 0x1A14, 2), QByteArray::fromHex("0048"));
        QCOMPARE(sliders(), QList<int>({16, 32, 48, 0, 72}));
        QVERIFY(m_chip->frames().size() == 2);

        m_messages->clear();
        click("setDefaultButton");
        QVERIFY(m_messages->texts().isEmpty());
        QCOMPARE(m_chip->readMemory(MemoryType::Chip, 0x1A10, 6), QByteArray::fromHex("008080400048"));
        QCOMPARE(sliders(), QList<int>({0, 128, 128, 0, 72}));
    }

    // A failed read says so with its prefix and leaves sliders and dump as they were; Read
    // Register refreshes the dump only.
    void reads()
    {
        open();
        const QList<int> before = sliders();
        const QString dump = child<QPlainTextEdit>("registerText")->toPlainText();
        m_chip->writeMemory(MemoryType::Chip, 0x1A10, QByteArray::fromHex("7F"));
        QVERIFY(m_chip->addFault("status=4,cmd=0x30,times=1"));
        click("reloadButton");
        QCOMPARE(m_messages->texts(), QStringList{"Read chip register failed!:Cmd can't run in current status"});
        QCOMPARE(sliders(), before);
        QCOMPARE(child<QPlainTextEdit>("registerText")->toPlainText(), dump);
        click("readRegisterButton");
        QCOMPARE(sliders(), before);
        QVERIFY(child<QPlainTextEdit>("registerText")->toPlainText().contains("Brightness   (0x1A10) = 0x7F\n"));
        click("reloadButton");
        QCOMPARE(sliders().first(), 127);
    }

    // Read E2prom finds the record through the memory that holds the control info, wherever that
    // is, and shows its five bytes; with no control info anywhere it says so.
    void readE2prom_data()
    {
        QTest::addColumn<CtrlInfoPlace>("place");
        QTest::addColumn<QByteArray>("record");
        QTest::newRow("i2c eeprom") << CtrlInfoPlace::I2cEeprom << QByteArray::fromHex("F6907087 55");
        QTest::newRow("spi eeprom") << CtrlInfoPlace::SpiEeprom << QByteArray::fromHex("01020304 05");
        QTest::newRow("spi flash") << CtrlInfoPlace::SpiFlash << QByteArray::fromHex("80FF0A9E 00");
        QTest::newRow("nowhere") << CtrlInfoPlace::None << QByteArray();
    }
    void readE2prom()
    {
        QFETCH(CtrlInfoPlace, place);
        QFETCH(QByteArray, record);
        useChip(place);
        if (!record.isEmpty())
            m_chip->writeMemory(memoryOf(place), sim::kImagePropertyAddress, record);
        open();
        click("readE2promButton");
        checkIdle();
        if (record.isEmpty()) {
            QCOMPARE(m_messages->texts(), QStringList{"Not find ctrl info"});
            QVERIFY(e2promText().isEmpty());
            return;
        }
        QVERIFY(m_messages->texts().isEmpty());
        const auto *r = reinterpret_cast<const uint8_t *>(record.constData());
        QCOMPARE(e2promText(), QString::asprintf("Address  = 0x0100\nBrightness    = 0x%02X\nContrast      = 0x%02X\n"
                                                 "Off_contrast  = 0x%02X\nHue           = 0x%02X\nSaturation    = 0x%02X\n",
                                                 r[0], r[1], r[2], r[3], r[4]));
        QCOMPARE(ConfigSettings::of(*m_layer).ctrlInfoDevice(), CtrlInfoDevice(uint8_t(place)));
        if (place == CtrlInfoPlace::I2cEeprom)
            checkLook("features_image_property_e2prom");
    }

    // "Save to E2prom" under the sliders stores what the chip's registers hold (not the sliders)
    // in exactly the record's five bytes; on the SPI EEPROM no write crosses a page.
    void saveControlsToE2prom_data()
    {
        QTest::addColumn<CtrlInfoPlace>("place");
        QTest::addColumn<int>("record");
        QTest::addColumn<int>("writes");
        QTest::newRow("i2c eeprom") << CtrlInfoPlace::I2cEeprom << 0x0100 << 1;
        QTest::newRow("spi eeprom") << CtrlInfoPlace::SpiEeprom << 0x0100 << 1;
        QTest::newRow("spi eeprom, across a page") << CtrlInfoPlace::SpiEeprom << 0x00FE << 2;
    }
    void saveControlsToE2prom()
    {
        QFETCH(CtrlInfoPlace, place);
        QFETCH(int, record);
        QFETCH(int, writes);
        useChip(place);
        ConfigSettings::of(*m_layer).setPageSize(64);
        setRecordAddress(place, uint16_t(record));
        open();
        m_chip->writeMemory(MemoryType::Chip, 0x1A10, QByteArray::fromHex("F6907033 8755"));
        const QByteArray before = m_chip->readMemory(memoryOf(place), uint32_t(record - 8), 21);
        m_chip->clearFrames();
        click("saveSlidersE2promButton");
        checkIdle();
        QCOMPARE(m_messages->texts(), QStringList{"Save to e2prom finish"});
        QCOMPARE(m_messages->at(0).icon, QMessageBox::Information);
        QByteArray expected = before;
        expected.replace(8, 5, QByteArray::fromHex("F690708755"));
        QCOMPARE(m_chip->readMemory(memoryOf(place), uint32_t(record - 8), 21).toHex(), expected.toHex());
        QCOMPARE(deviceWrites(place).size(), writes);
        QCOMPARE(sliders(), QList<int>({0, 128, 128, 0, 72})); // the sliders were not the source
    }

    // "Save to E2prom" under the boxes changes bits 1-4 of the ISP word's low byte, nothing else.
    void saveEnablesToE2prom_data()
    {
        QTest::addColumn<int>("checked");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("expected");
        QTest::newRow("hue only") << 0x08 << 0xA5 << 0xA9;
        QTest::newRow("all four") << 0x1E << 0x00 << 0x1E;
        QTest::newRow("none") << 0x00 << 0xFF << 0xE1;
    }
    void saveEnablesToE2prom()
    {
        QFETCH(int, checked);
        QFETCH(int, stored);
        QFETCH(int, expected);
        m_chip->writeMemory(MemoryType::I2cEeprom, 36, QByteArray(1, char(stored)));
        const QByteArray before = m_chip->readMemory(MemoryType::I2cEeprom, 0, 0x40);
        open();
        checkEnables(uint8_t(checked));
        const uint8_t control = m_chip->reg(0x1A00);
        click("saveEnablesE2promButton");
        checkIdle();
        QCOMPARE(m_messages->texts(), QStringList{"Save to e2prom finish"});
        QByteArray after = before;
        after[36] = char(expected);
        QCOMPARE(m_chip->readMemory(MemoryType::I2cEeprom, 0, 0x40).toHex(), after.toHex());
        QCOMPARE(m_chip->reg(0x1A00), control); // the live register is Set's business
    }

    // Without a usable record both buttons say why, and nothing is written anywhere.
    void noRecord_data()
    {
        QTest::addColumn<int>("tableEntry"); // the entry's address, or -1: the table address at 51
        QTest::addColumn<QString>("message");
        QTest::newRow("no extension table") << -1 << "No image property config in e2prom";
        QTest::newRow("no record") << int(sim::kExternTableAddress + 32) << "No image property config in e2prom";
    }
    void noRecord()
    {
        QFETCH(int, tableEntry);
        QFETCH(QString, message);
        pokeBe16(CtrlInfoPlace::I2cEeprom, tableEntry < 0 ? 51 : uint16_t(tableEntry), 0);
        const QByteArray before = m_chip->readMemory(MemoryType::I2cEeprom, 0, sim::kCtrlInfoLength);
        open();
        click("readE2promButton");
        click("saveSlidersE2promButton");
        QCOMPARE(m_messages->texts(), QStringList({message, message}));
        QVERIFY(e2promText().isEmpty());
        QVERIFY(deviceWrites(CtrlInfoPlace::I2cEeprom).isEmpty());
        QCOMPARE(m_chip->readMemory(MemoryType::I2cEeprom, 0, sim::kCtrlInfoLength), before);
        checkIdle();
    }

    // A record whose five bytes would run past address 0xFFFF: an EEPROM would wrap the rest
    // to address 0, over the signature. Neither read nor written.
    void recordPastTheEnd()
    {
        setRecordAddress(CtrlInfoPlace::I2cEeprom, 0xFFFC);
        open();
        m_chip->clearFrames();
        click("readE2promButton");
        click("saveSlidersE2promButton");
        const QString message = "Image property config at 0xFFFC runs past the end of the e2prom";
        QCOMPARE(m_messages->texts(), QStringList({message, message}));
        for (const QString &f : frames())
            QVERIFY2(!f.contains("FFFC"), qPrintable(f));
        QCOMPARE(m_chip->readMemory(MemoryType::I2cEeprom, 0, 2), QByteArray::fromHex("AA55"));

        // The last record that fits is used.
        setRecordAddress(CtrlInfoPlace::I2cEeprom, 0xFFFB);
        m_messages->clear();
        m_chip->setReg(0x1A10, 0x42);
        click("saveSlidersE2promButton");
        QCOMPARE(m_messages->texts(), QStringList{"Save to e2prom finish"});
        QCOMPARE(m_chip->readMemory(MemoryType::I2cEeprom, 0xFFFB, 1), QByteArray::fromHex("42"));
    }

    // The control info on the SPI flash is shown but never saved: both saves refuse before
    // reading or writing anything once the flash is known.
    void spiFlashRefused()
    {
        useChip(CtrlInfoPlace::SpiFlash);
        const QByteArray before = m_chip->readMemory(MemoryType::SpiFlash, 0, sim::kCtrlInfoLength);
        open();
        const QString refusal = "Program does not support modify spi flash data";
        m_chip->clearFrames();
        click("saveEnablesE2promButton"); // locates the flash first
        QCOMPARE(m_messages->texts(), QStringList{refusal});
        for (const QString &f : frames())
            QVERIFY2(f.mid(4, 2) == "30", qPrintable(f)); // the search's reads only
        m_chip->clearFrames();
        m_messages->clear();
        click("saveSlidersE2promButton");
        click("saveEnablesE2promButton");
        QCOMPARE(m_messages->texts(), QStringList({refusal, refusal}));
        QVERIFY(frames().isEmpty());
        QCOMPARE(m_chip->readMemory(MemoryType::SpiFlash, 0, sim::kCtrlInfoLength), before);
        checkIdle();
    }

    // A failing command ends the press with its message: no "finish", nothing half written, the
    // shown record kept, and the window free for the next press.
    void failures_data()
    {
        QTest::addColumn<bool>("located");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("message");
        const QString failed = "Cmd recept, but execute failed";
        QTest::newRow("search") << false << "status=5,cmd=0x30,times=1" << "readE2promButton" << failed;
        QTest::newRow("read e2prom") << true << "status=5,cmd=0x30,times=1" << "readE2promButton"
                                     << "Read e2prom failed!:" + failed;
        QTest::newRow("save, chip register") << true << "status=5,cmd=0x30,times=1" << "saveSlidersE2promButton"
                                             << "Read chip register failed!:" + failed;
        QTest::newRow("save, e2prom write") << true << "status=5,cmd=0x31,times=1" << "saveSlidersE2promButton"
                                            << "Write e2prom failed!:" + failed;
        QTest::newRow("save enables, e2prom read") << true << "status=5,cmd=0x30,times=1" << "saveEnablesE2promButton"
                                                   << "Read e2prom failed!:" + failed;
        QTest::newRow("save enables, e2prom write") << true << "status=5,cmd=0x31,times=1" << "saveEnablesE2promButton"
                                                    << "Write e2prom failed!:" + failed;
    }
    void failures()
    {
        QFETCH(bool, located);
        QFETCH(QString, fault);
        QFETCH(QString, button);
        QFETCH(QString, message);
        open();
        m_chip->setReg(0x1A10, 0x42);
        if (located)
            click("readE2promButton");
        const QString shown = e2promText();
        const QByteArray before = m_chip->readMemory(MemoryType::I2cEeprom, 0, sim::kCtrlInfoLength);
        QVERIFY(m_chip->addFault(fault));
        click(button);
        QCOMPARE(m_messages->texts(), QStringList{message});
        QCOMPARE(e2promText(), shown);
        QCOMPARE(m_chip->readMemory(MemoryType::I2cEeprom, 0, sim::kCtrlInfoLength), before);
        checkIdle();

        // The link is usable: the same press now goes through.
        m_messages->clear();
        click(button);
        QVERIFY(m_messages->texts().isEmpty() || m_messages->texts() == QStringList{"Save to e2prom finish"});
    }
};

QTEST_MAIN(TestImagePropertyDlg)
#include "tst_image_property_dlg.moc"
