// The Configuration window against the simulated chip: its calculators, the frames its buttons
// send, and the control-info device lists it shares with the rest of the program.

#include "ctrlinfo/config_settings.h"
#include "ctrlinfo/configuration_dlg.h"
#include "sim/ctrl_info_image.h"
#include "tests/common/window_test.h"

#include <QComboBox>
#include <QLabel>

using namespace zm;

class TestConfigurationDlg : public test::WindowTest
{
    Q_OBJECT

    QComboBox *combo(const char *name) const { return child<QComboBox>(name); }
    QStringList values() const
    {
        QStringList v;
        for (const char *e : {"mcuValueEdit", "fracEdit", "interEdit", "dividerEdit", "ssEdit"})
            v << text(e);
        return v;
    }
    QStringList frames() const
    {
        QStringList out;
        for (const QByteArray &f : m_chip->frames())
            out << QString::fromLatin1(f.toHex().toUpper());
        return out;
    }

private slots:
    void init()
    {
        QVERIFY2(startChip(), qPrintable(m_error));
        showWindow(std::make_unique<CConfigurationDlg>(*m_session));
    }
    void cleanup() { closeWindow(); }

    // Each calculator (its table is the core's) shows its group's values when a rate is chosen
    // and keeps what was typed into the others; none of it sends anything.
    void calculators()
    {
        checkFit("configuration");
        QCOMPARE(values(), QStringList({"2AF2", "0298", "000E", "000D", "0200"}));
        edit("fracEdit")->clear();
        QTest::keyClicks(edit("fracEdit"), "1 2");
        combo("uartClockCombo")->setCurrentIndex(1);
        combo("mcuBaudCombo")->setCurrentText("115200");
        QCOMPARE(values(), QStringList({"1288", "0012", "000E", "000D", "0200"}));
        combo("hsBaudCombo")->setCurrentText("921600");
        QCOMPARE(values().mid(1, 2), QStringList({"0353", "0001"}));
        // Another SPI clock: its own rates, the same place in the list, the divider of that place.
        combo("spiBaudCombo")->setCurrentIndex(0);
        combo("spiClockCombo")->setCurrentIndex(1);
        QCOMPARE(combo("spiBaudCombo")->currentText(), QString("0.281 Mhz"));
        QCOMPARE(values().at(3), QString("003F"));
        QCOMPARE(ConfigSettings::of(*m_session).spiClockIndex(), 1);
        QVERIFY(frames().isEmpty());
    }

    // The Set buttons send what the form holds, typed or worked out, with the serial number in
    // use; a failure shows the result text alone.
    void setButtons()
    {
        combo("newSerialCombo")->setCurrentIndex(5);
        press("setSerialButton");
        QCOMPARE(combo("currentSerialCombo")->currentIndex(), 5);
        QCOMPARE(m_chip->serialNumber(), uint8_t(5));
        combo("uartClockCombo")->setCurrentIndex(1);
        combo("mcuBaudCombo")->setCurrentIndex(4);
        press("mcuSetButton");
        type("fracEdit", "1A");
        type("interEdit", "2");
        type("dividerEdit", "3F");
        type("ssEdit", "0201");
        press("hsSetButton");
        press("spiSetButton");
        QCOMPARE(frames(), QStringList({"5600210105", "56052403011288", "5605240502001A0002", "5605240503003F0201"}));
        QVERIFY(m_chip->addFault("status=3,cmd=0x24,times=1"));
        press("mcuSetButton");
        QCOMPARE(m_messages->headlines(), QStringList{"Invalid data format"});
        QVERIFY(m_dlg->isEnabled());
        // The PC's UART chosen here is the one the program streams pictures from.
        combo("commDeviceCombo")->setCurrentIndex(1);
        QCOMPARE(m_session->settings().pcUart, 2);
    }

    // A new rate of the UART the PC is on: said after the command, with the offer to switch the
    // console; another port's rate, or a rate the chip refused, says nothing.
    void followTheNewRate()
    {
        int switched = 0;
        showWindow(std::make_unique<CConfigurationDlg>(*m_session, nullptr, [&](int baud) {
            switched = baud;
            return true;
        }));
        auto *note = child<QLabel>("followLabel");
        auto *offer = child<QPushButton>("followButton");
        press("hsSetButton"); // the PC is on the MCU UART
        QVERIFY(note->isHidden() && offer->isHidden());
        QVERIFY(m_chip->addFault("status=3,cmd=0x24,times=1"));
        press("mcuSetButton");
        QVERIFY(note->isHidden());

        combo("mcuBaudCombo")->setCurrentText("57600");
        press("mcuSetButton");
        QVERIFY2(note->isVisible() && note->text().contains("57600 bit/s") && note->text().contains("\"BautRate:\""),
                 qPrintable(note->text()));
        QCOMPARE(offer->text(), QString("Switch BautRate to 57600"));
        click("followButton");
        QCOMPARE(switched, 57600);
        QVERIFY(offer->isHidden() && note->text().contains("now runs at 57600"));
        checkFit("configuration_follow");
    }

    // The flash found and its type read from the chip choose size, model and page size (the
    // rules are the core's), and the choices outlive the window; a failed search says why and
    // leaves "Unknow", with the lists and the flash button off.
    void ctrlInfoDevice()
    {
        m_chip->writeMemory(MemoryType::I2cEeprom, 0, QByteArray(2, '\xFF'));
        m_chip->writeMemory(MemoryType::SpiFlash, 0, sim::ctrlInfoImage(sim::CtrlInfoPlace::SpiFlash));
        press("checkDeviceButton");
        QCOMPARE(combo("deviceCombo")->currentText(), QString("SPI Flash"));
        combo("modelCombo")->setCurrentIndex(0);
        press("checkFlashButton");
        QCOMPARE(combo("sizeCombo")->currentText(), QString("512K Bytes"));
        QCOMPARE(combo("modelCombo")->currentText(), QString("AT25F4096A (512 KB)"));
        QCOMPARE(text("pageSizeEdit"), QString("256 Bytes"));
        QVERIFY(m_messages->texts().isEmpty());

        showWindow(std::make_unique<CConfigurationDlg>(*m_session));
        QCOMPARE(combo("modelCombo")->currentText(), QString("AT25F4096A (512 KB)"));
        QVERIFY(m_chip->addFault("status=5,cmd=0x30,times=1"));
        press("checkDeviceButton");
        QCOMPARE(m_messages->headlines(), QStringList{"Cmd recept, but execute failed"});
        QCOMPARE(combo("deviceCombo")->currentIndex(), 0);
        QVERIFY(!combo("modelCombo")->isEnabled() && !combo("sizeCombo")->isEnabled());
        QVERIFY(!child<QPushButton>("checkFlashButton")->isEnabled());
    }
};

QTEST_MAIN(TestConfigurationDlg)
#include "tst_configuration_dlg.moc"
