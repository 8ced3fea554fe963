// The Configuration window against the simulated chip: its lists and calculators, the frames its
// buttons send, and the control-info device lists it shares with the rest of the program.

#include "app/comm_tool_dlg.h"
#include "ctrlinfo/config_settings.h"
#include "ctrlinfo/configuration_dlg.h"
#include "link/messages.h"
#include "sim/ctrl_info_image.h"
#include "tests/ctrlinfo/dialog_test.h"

#include <QApplication>
#include <QTimer>

using namespace zm;

class TestConfigurationDlg : public test::DialogTest<CConfigurationDlg>
{
    Q_OBJECT

    ConfigSettings &settings() { return ConfigSettings::of(*m_layer); }
    QStringList values()
    {
        QStringList v;
        for (const char *e : {"mcuValueEdit", "fracEdit", "interEdit", "dividerEdit", "ssEdit"})
            v << edit(e)->text();
        return v;
    }
    // Moves the control info from the I2C EEPROM to the SPI flash.
    void controlInfoOnTheFlash()
    {
        m_chip->writeMemory(MemoryType::I2cEeprom, 0, QByteArray(2, '\xFF'));
        m_chip->writeMemory(MemoryType::SpiFlash, 0, sim::ctrlInfoImage(sim::CtrlInfoPlace::SpiFlash));
    }

private slots:
    void init() { QVERIFY2(openWindow(), qPrintable(m_error)); }
    void cleanup() { QVERIFY(closeWindow()); }

    void opensWithTheSettings()
    {
        QCOMPARE(values(), QStringList({"2AF2", "0298", "000E", "000D", "0200"}));
        QCOMPARE(combo("uartClockCombo")->currentText(), QString("27M"));
        QCOMPARE(combo("mcuBaudCombo")->currentText(), QString("38400"));
        QCOMPARE(combo("hsBaudCombo")->currentText(), QString("115200"));
        QCOMPARE(combo("spiBaudCombo")->currentText(), QString("13.500 Mhz"));
        QCOMPARE(combo("commDeviceCombo")->currentText(), QString("MCU UART"));
        QCOMPARE(combo("newSerialCombo")->count(), 256);
        QCOMPARE(combo("newSerialCombo")->itemText(255), QString("255  (0xFF)"));
        QCOMPARE(combo("deviceCombo")->currentText(), QString("Unknow"));
        QVERIFY(!combo("modelCombo")->isEnabled());
        QVERIFY(!combo("sizeCombo")->isEnabled());
        QVERIFY(!child<QPushButton>("checkFlashButton")->isEnabled());
        QCOMPARE(combo("sizeCombo")->currentText(), QString("64K  Bytes"));
        const QStringList problems = fitProblems(QStringLiteral("configuration"));
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        QVERIFY(frames().isEmpty());
    }

    // Each calculator shows its group's values and keeps what was typed into the others.
    void calculators()
    {
        QTest::keyClicks(edit("fracEdit"), "G");   // not hexadecimal: undone
        edit("fracEdit")->clear();
        QTest::keyClicks(edit("fracEdit"), "1 2");
        combo("uartClockCombo")->setCurrentIndex(1);
        combo("mcuBaudCombo")->setCurrentText("115200");
        QCOMPARE(values(), QStringList({"1288", "0012", "000E", "000D", "0200"}));
        combo("mcuBaudCombo")->setCurrentIndex(0);
        combo("uartClockCombo")->setCurrentIndex(0);
        QCOMPARE(values().at(0), QString("AEC8"));
        combo("hsBaudCombo")->setCurrentText("921600");
        QCOMPARE(values().mid(1, 2), QStringList({"0353", "0001"}));
        combo("hsBaudCombo")->setCurrentText("38400");
        QCOMPARE(values().mid(1, 2), QStringList({"03C8", "002B"}));

        combo("spiBaudCombo")->setCurrentIndex(0);
        QCOMPARE(values().at(3), QString("003F"));
        // Another clock: its own rates, the same place in the list, the divider of that place.
        combo("spiClockCombo")->setCurrentIndex(1);
        QCOMPARE(combo("spiBaudCombo")->currentIndex(), 0);
        QCOMPARE(combo("spiBaudCombo")->currentText(), QString("0.281 Mhz"));
        QCOMPARE(values().at(3), QString("003F"));
        combo("spiBaudCombo")->setCurrentIndex(6);
        QCOMPARE(values().at(3), QString("0000"));
        QCOMPARE(settings().spiClockIndex(), 1);
        QVERIFY(frames().isEmpty());
    }

    // The three Set Baud Rate buttons send what the form holds, typed or worked out; a failure
    // shows the result text alone.
    void setBaudRates()
    {
        combo("uartClockCombo")->setCurrentIndex(1);
        combo("mcuBaudCombo")->setCurrentIndex(4);
        QVERIFY(press("mcuSetButton"));
        for (const auto &[e, text] : {std::pair{"fracEdit", "1A"}, {"interEdit", "2"}, {"dividerEdit", "3F"}, {"ssEdit", "0201"}}) {
            edit(e)->clear();
            QTest::keyClicks(edit(e), text);
        }
        QVERIFY(press("hsSetButton"));
        QVERIFY(press("spiSetButton"));
        QCOMPARE(frames(), QStringList({"56002403011288", "5600240502001A0002", "5600240503003F0201"}));
        QVERIFY(m_chip->addFault("status=3,cmd=0x24,times=1"));
        QVERIFY(press("mcuSetButton"));
        QCOMPARE(m_messages->texts(), QStringList{"Invalid data format"});
        QVERIFY(m_dlg->isEnabled());
    }

    void serialNumbersAndCommDevice()
    {
        combo("newSerialCombo")->setCurrentIndex(5);
        QVERIFY(press("setSerialButton"));
        QCOMPARE(combo("currentSerialCombo")->currentIndex(), 5);
        QCOMPARE(m_chip->serialNumber(), uint8_t(5));
        QVERIFY(press("mcuSetButton")); // later frames carry the new number
        QCOMPARE(frames(), QStringList({"5600210105", "56052403012AF2"}));
        // Choosing the current value only changes what the program sends.
        combo("currentSerialCombo")->setCurrentIndex(9);
        QCOMPARE(m_layer->serialNumber(), uint8_t(9));
        QCOMPARE(frames().size(), 2);
        combo("commDeviceCombo")->setCurrentIndex(1);
        QCOMPARE(m_layer->pcUart(), 2);
        QVERIFY(m_messages->texts().isEmpty());
    }

    void ctrlInfoDeviceLists()
    {
        QVERIFY(press("checkDeviceButton"));
        QCOMPARE(combo("deviceCombo")->currentText(), QString("I2C E2prom"));
        QCOMPARE(combo("modelCombo")->currentText(), QString("24C512 (64 KB)"));
        QVERIFY(combo("modelCombo")->isEnabled() && combo("sizeCombo")->isEnabled());
        QVERIFY(!child<QPushButton>("checkFlashButton")->isEnabled());
        combo("modelCombo")->setCurrentIndex(1);
        QCOMPARE(combo("sizeCombo")->currentText(), QString("256  Bytes"));
        combo("sizeCombo")->setCurrentText("8K   Bytes");
        QCOMPARE(combo("modelCombo")->currentText(), QString("24C64  (8  KB)"));
        // Another memory: its model of the same size, and its page size.
        combo("deviceCombo")->setCurrentIndex(2);
        QCOMPARE(combo("modelCombo")->currentText(), QString("AT25640A (8  KB)"));
        QCOMPARE(edit("pageSizeEdit")->text(), QString("32 Bytes"));
        QCOMPARE(m_layer->pageSize(), 32);
        combo("deviceCombo")->setCurrentIndex(0);
        QVERIFY(!combo("modelCombo")->isEnabled() && !combo("sizeCombo")->isEnabled());
        QCOMPARE(m_layer->pageSize(), 1);

        // A failed search says why and leaves "Unknow".
        QVERIFY(m_chip->addFault("status=5,cmd=0x30,times=1"));
        QVERIFY(press("checkDeviceButton"));
        QCOMPARE(m_messages->texts(), QStringList{"Cmd recept, but execute failed"});
        QCOMPARE(combo("deviceCombo")->currentIndex(), 0);
    }

    void flashType()
    {
        controlInfoOnTheFlash();
        QVERIFY(press("checkDeviceButton"));
        QCOMPARE(combo("deviceCombo")->currentText(), QString("SPI Flash"));
        QVERIFY(child<QPushButton>("checkFlashButton")->isEnabled());
        combo("modelCombo")->setCurrentIndex(0);
        QCOMPARE(edit("pageSizeEdit")->text(), QString("1 Bytes"));
        QVERIFY(press("checkFlashButton"));
        QCOMPARE(combo("sizeCombo")->currentText(), QString("512K Bytes"));
        QCOMPARE(combo("modelCombo")->currentText(), QString("AT25F4096A (512 KB)"));
        QCOMPARE(edit("pageSizeEdit")->text(), QString("256 Bytes"));
        QCOMPARE(frames().last(), QString("56006000"));
        QVERIFY(m_messages->texts().isEmpty());

        // The choices outlive the window.
        m_dlg = std::make_unique<CConfigurationDlg>(*m_layer);
        QCOMPARE(combo("deviceCombo")->currentText(), QString("SPI Flash"));
        QCOMPARE(combo("modelCombo")->currentText(), QString("AT25F4096A (512 KB)"));
    }

    // With the port closed every command button of the console is disabled; a press that still
    // reaches "Config" (it has no port check of its own) opens the window, and its commands
    // then say the port is not open.
    void openedFromTheConsoleWithThePortClosed()
    {
        m_dlg.reset();
        m_layer->close();
        CCommToolDlg console(*m_layer);
        QVERIFY(!console.commandButton("Config")->isEnabled());
        QVERIFY(!console.commandButton("Up/Down Load")->isEnabled());
        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            auto *dlg = qobject_cast<CConfigurationDlg *>(QApplication::activeModalWidget());
            seen = dlg != nullptr;
            if (!dlg)
                return;
            QTest::mouseClick(dlg->findChild<QPushButton *>("setSerialButton"), Qt::LeftButton);
            dlg->reject();
        });
        emit console.commandButton("Config")->clicked();
        QVERIFY(seen);
        QCOMPARE(m_messages->texts(), QStringList{msg::kPortNotOpened});
        QVERIFY(m_chip->frames().isEmpty());
    }
};

QTEST_MAIN(TestConfigurationDlg)
#include "tst_configuration_dlg.moc"
