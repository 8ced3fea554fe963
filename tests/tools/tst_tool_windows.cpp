// The windows of the tools against the simulated chip: Read/Write Data (its typing filters,
// conversions and workers, checked by the frames the chip received and the messages shown);
// Upload/Download and Flash Operation (finding the control info, copying it to a file and back,
// the checks of the chosen files, and the flash buttons).

#include "ctrlinfo/config_settings.h"
#include "link/messages.h"
#include "sim/ctrl_info_image.h"
#include "tests/common/window_test.h"
#include "tests/ctrlinfo/ctrl_info_rig.h"
#include "tools/flash_operation_dlg.h"
#include "tools/read_write_data_dlg.h"
#include "tools/upload_download_dlg.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>

using namespace zm;

// Indexes of Device, Operation, Data Width and Data Num.
using Choices = QList<int>;

class TestToolWindows : public test::WindowTest
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_chosen;

    QString file(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QComboBox *combo(const char *name) const { return child<QComboBox>(name); }
    bool enabled(const char *button) const { return child<QPushButton>(button)->isEnabled(); }
    void openUploadDownload()
    {
        auto dlg = std::make_unique<CUploadDownloadDlg>(*m_session);
        dlg->setFileChooser([this](bool, const QString &) { return m_chosen; });
        showWindow(std::move(dlg));
    }
    void openFlashOperation() { showWindow(std::make_unique<CFlashOperationDlg>(*m_session)); }
    // Read/Write Data with these choices, in this order: a device change puts width and count back.
    CReadWriteDataDlg *openReadWrite(const Choices &c)
    {
        auto *rw = showWindow(std::make_unique<CReadWriteDataDlg>(*m_session));
        int i = 0;
        for (const char *name : {"deviceCombo", "operationCombo", "widthCombo", "countCombo"})
            if (i < c.size())
                combo(name)->setCurrentIndex(c.at(i++));
        return rw;
    }
    void controlInfoOnTheFlash()
    {
        m_chip->writeMemory(MemoryType::I2cEeprom, 0, QByteArray(2, '\xFF'));
        m_chip->writeMemory(MemoryType::SpiFlash, 0, sim::ctrlInfoImage(sim::CtrlInfoPlace::SpiFlash));
    }

private slots:
    void init()
    {
        QVERIFY2(startChip(), qPrintable(m_error));
        m_chip->withModel([](sim::ChipModel &m) { m.setEraseTimes(0, 0); });
    }
    void cleanup() { closeWindow(); }

    // Find the control info, copy it out, change it, copy it back: the memory holds the file.
    void copiesTheControlInfoOutAndBack()
    {
        openUploadDownload();
        for (const char *b : {"uploadButton", "downloadButton", "eraseButton", "checkFlashButton"})
            QVERIFY2(!enabled(b), b);
        checkFit("upload_download");
        press("checkDeviceButton");
        QCOMPARE(combo("deviceCombo")->currentText(), QString("I2C E2prom"));
        QCOMPARE(combo("modelCombo")->currentText(), QString("24C512 (64 KB)"));

        m_chosen = file("ctrl.bin");
        click("uploadBrowseButton");
        press("uploadButton");
        QByteArray image = test::readFile(m_chosen);
        QCOMPARE(image, sim::ctrlInfoImage(sim::CtrlInfoPlace::I2cEeprom));
        QCOMPARE(child<QProgressBar>("progressBar")->value(), 1000);
        QCOMPARE(text("statusEdit"), QString());

        image[0x100] = '\x11';
        QVERIFY(test::writeFile(m_chosen, image));
        click("downloadBrowseButton");
        QCOMPARE(text("counterEdit"), QString("[0/384]"));
        press("downloadButton");
        QCOMPARE(m_chip->readMemory(MemoryType::I2cEeprom, 0, image.size()), image);
        QCOMPARE(m_messages->headlines(), QStringList({msg::kUploadFinish, msg::kDownloadFinish}));
        QVERIFY(m_dlg->isEnabled());
    }

    // A file longer than the device is refused when chosen, one as long is taken; nothing is
    // sent without a device, nor written without a model. The flash buttons erase the flash
    // found, and only the flash.
    void refusalsAndFlashButtons()
    {
        openUploadDownload();
        ConfigSettings::of(*m_session).setDeviceSize(65536);
        m_chosen = file("big.bin");
        QVERIFY(test::writeFile(m_chosen, QByteArray(65537, '\0')));
        click("downloadBrowseButton");
        QVERIFY(!enabled("downloadButton"));
        m_chosen = file("fits.bin");
        QVERIFY(test::writeFile(m_chosen, QByteArray(65536, '\0')));
        click("downloadBrowseButton");
        QVERIFY(enabled("downloadButton"));
        click("downloadButton");
        combo("deviceCombo")->setCurrentText("SPI E2prom"); // 64 KB is no SPI EEPROM's size
        QCOMPARE(combo("modelCombo")->currentText(), QString("Unknow"));
        click("downloadButton");
        QCOMPARE(m_messages->headlines(), QStringList({"File size is 65537, device max size is 65536, can't download",
                                                   msg::kSelectCtrlInfoDevice, msg::kSelectDeviceSize}));
        QVERIFY(!enabled("eraseButton"));
        QVERIFY(m_chip->frames().isEmpty());

        m_messages->clear();
        controlInfoOnTheFlash();
        press("checkDeviceButton");
        press("checkFlashButton");
        QCOMPARE(combo("modelCombo")->currentText(), QString("AT25F4096A (512 KB)"));
        m_messages->setAnswer(QMessageBox::Yes);
        press("eraseButton");
        QCOMPARE(m_messages->headlines(), QStringList({msg::kEraseWholeFlashQuestion, msg::kChipEraseFinish}));
        QCOMPARE(m_chip->readMemory(MemoryType::SpiFlash, 0, 2), QByteArray(2, '\xFF'));
        press("resetButton");
        QCOMPARE(m_chip->frames().last(), QByteArray::fromHex("56002600"));
    }

    void flashSizeAndSectorErase()
    {
        openFlashOperation();
        checkFit("flash_operation");
        press("getSizeButton");
        QCOMPARE(text("flashSizeEdit"), QString("512"));

        m_chip->writeMemory(MemoryType::SpiFlash, 0x1F000, QByteArray(4, '\0'));
        type("sectorEdit", "1F000");
        press("eraseSectorButton");
        QCOMPARE(m_chip->frames(), test::hexFrames("56006000 560061040001F000"));
        QCOMPARE(m_chip->readMemory(MemoryType::SpiFlash, 0x1F000, 4), QByteArray(4, '\xFF'));

        // 0x00002000 kilobits read as 1024 kilobytes.
        sim::PtyChip mega(test::chipOptions(sim::CtrlInfoPlace::I2cEeprom, 1024 * 1024));
        m_session->close();
        QVERIFY(m_session->open(mega.slavePath(), QStringLiteral("38400,n,8,1")));
        press("getSizeButton");
        QCOMPARE(text("flashSizeEdit"), QString("1024"));
        m_session->close();
    }

    // The whole flash goes only after a question answered yes; while it goes, the window says
    // so in text as readable as when the window is enabled.
    void chipEraseAsksFirst()
    {
        openFlashOperation();
        m_chip->writeMemory(MemoryType::SpiFlash, 0, QByteArray::fromHex("AA56"));
        m_messages->setAnswer(QMessageBox::No);
        press("chipEraseButton");
        QCOMPARE(m_messages->headlines(), QStringList{msg::kEraseWholeFlashQuestion});
        QCOMPARE(m_messages->at(0).icon, QMessageBox::Question);
        QVERIFY(m_chip->frames().isEmpty());

        m_messages->clear();
        m_messages->setAnswer(QMessageBox::Yes);
        m_chip->withModel([](sim::ChipModel &m) { m.setEraseTimes(300, 0); });
        click("chipEraseButton");
        QTRY_COMPARE_WITH_TIMEOUT(text("statusEdit"), QString(msg::kWaitForErase), 5000);
        QVERIFY(!m_dlg->isEnabled());
        const QPalette shown = edit("statusEdit")->palette();
        QCOMPARE(shown.color(QPalette::Disabled, QPalette::Text), shown.color(QPalette::Active, QPalette::Text));
        settle();
        QCOMPARE(m_messages->headlines(), QStringList({msg::kEraseWholeFlashQuestion, msg::kChipEraseFinish}));
        QCOMPARE(m_chip->frames(), test::hexFrames("56006200"));
        QCOMPARE(m_chip->readMemory(MemoryType::SpiFlash, 0, 2), QByteArray(2, '\xFF'));
    }

    // The whole flash gets longer than other commands: an erase past their 3 seconds finishes;
    // one past its own 10 seconds ends in a time-out and no claim that the erase finished, and
    // the next command gets its answer once the late erase answer is out of the way.
    void chipEraseTimeOut()
    {
        openFlashOperation();
        m_messages->setAnswer(QMessageBox::Yes);
        m_chip->withModel([](sim::ChipModel &m) { m.setEraseTimes(3500, 0); });
        press("chipEraseButton");
        QCOMPARE(m_messages->headlines(), QStringList({msg::kEraseWholeFlashQuestion, msg::kChipEraseFinish}));

        m_messages->clear();
        m_chip->withModel([](sim::ChipModel &m) { m.setEraseTimes(10500, 0); });
        click("chipEraseButton");
        QTRY_COMPARE_WITH_TIMEOUT(text("statusEdit"), QString(msg::kWaitForErase), 5000);
        QVERIFY(!m_dlg->isEnabled());
        settle();
        QCOMPARE(m_messages->headlines(), QStringList({msg::kEraseWholeFlashQuestion, "Cmd time out"}));
        QCOMPARE(text("statusEdit"), QString());
        press("getSizeButton");
        QCOMPARE(m_messages->count(), 2);
        QCOMPARE(text("flashSizeEdit"), QString("512"));
        QVERIFY(m_dlg->isEnabled());
    }

    // Only counts that one command can carry are offered, for the width and operation chosen;
    // the width's label looks as usable as its list.
    void countsFitOneCommand_data()
    {
        QTest::addColumn<Choices>("choices"); // device, operation, width (count left at 0)
        QTest::addColumn<int>("counts");
        QTest::newRow("sensor write 3 bytes") << Choices{1, 1, 2} << 3;
        QTest::newRow("sensor read 3 bytes") << Choices{1, 0, 2} << 4;
        QTest::newRow("sensor write 2 bytes") << Choices{1, 1, 1} << 4;
        QTest::newRow("chip write") << Choices{0, 1, 0} << 8;
    }
    void countsFitOneCommand()
    {
        QFETCH(Choices, choices);
        QFETCH(int, counts);
        openReadWrite(choices);
        QCOMPARE(combo("countCombo")->count(), counts);
        QCOMPARE(child<QLabel>("widthLabel")->isEnabled(), choices[0] == 1);
        // The largest count offered goes through.
        combo("countCombo")->setCurrentIndex(counts - 1);
        edit("addressEdit")->setText("0010");
        if (choices[1] == 1)
            QTest::keyClicks(edit("valueEdit"), QString(2 * (choices[2] + 1) * counts, QChar('7')));
        press("sendButton");
        QCOMPARE(m_messages->headlines(), QStringList());
        QCOMPARE(m_chip->frames().size(), 1);
    }

    // Typing into the address and value boxes: what is kept.
    void typingFilters_data()
    {
        QTest::addColumn<Choices>("choices");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("chip address: four digits") << Choices{0, 0, 0, 0} << "addressEdit" << "1g2345" << "1234";
        QTest::newRow("flash address: eight digits") << Choices{5, 0, 0, 0} << "addressEdit" << "123456789" << "12345678";
        QTest::newRow("address: blank passes") << Choices{0, 0, 0, 0} << "addressEdit" << "1 2" << "1 2";
        QTest::newRow("value in Read mode: undone") << Choices{0, 0, 0, 3} << "valueEdit" << "12" << "00";
        QTest::newRow("value: 2 x width x count") << Choices{0, 1, 0, 1} << "valueEdit" << "12x3456" << "1234";
        QTest::newRow("value: 18 digits for 3 bytes x 3") << Choices{1, 1, 2, 2} << "valueEdit"
                                                           << "112233445566778899A" << "112233445566778899";
    }
    void typingFilters()
    {
        QFETCH(Choices, choices);
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        openReadWrite(choices);
        QLineEdit *e = edit(field.toLatin1());
        // Erase what is there, keystroke by keystroke (Read mode undoes that too).
        e->end(false);
        for (int i = 0; i < 2; ++i)
            QTest::keyClick(e, Qt::Key_Backspace);
        QTest::keyClicks(e, typed);
        QCOMPARE(e->text(), kept);
    }

    // What a write sends: the frame the chip got and what it stored.
    void writes_data()
    {
        QTest::addColumn<Choices>("choices");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("missing bytes are zero") << Choices{0, 1, 0, 3} << "1A10" << "12" << QByteArray::fromHex("5600310801041A1012000000");
        QTest::newRow("odd length gets a leading 0") << Choices{0, 1, 0, 1} << "20" << "ABC" << QByteArray::fromHex("56003106010200200ABC");
        QTest::newRow("sensor 3 bytes x 3") << Choices{1, 1, 2, 2} << "0010" << "112233445566778899"
                                            << QByteArray::fromHex("5600310E020303" "0010" "112233445566778899");
        QTest::newRow("flash: 4-byte address") << Choices{5, 1, 0, 0} << "00012345" << "5A" << QByteArray::fromHex("560031070601000123455A");
    }
    void writes()
    {
        QFETCH(Choices, choices);
        QFETCH(QString, address);
        QFETCH(QString, value);
        QFETCH(QByteArray, frame);
        m_chip->withModel([](sim::ChipModel &m) { m.memory().eraseFlash(); }); // flash takes writes on erased bytes
        openReadWrite(choices);
        type("addressEdit", address);
        type("valueEdit", value);
        QCOMPARE(text("valueEdit"), value);
        press("sendButton");
        QCOMPARE(m_messages->headlines(), QStringList());
        QCOMPARE(m_chip->frames(), QList<QByteArray>{frame});
        if (choices == Choices{0, 1, 0, 3})
            QCOMPARE(m_chip->readMemory(MemoryType::Chip, 0x1A10, 4), QByteArray::fromHex("12000000"));
        if (choices == Choices{1, 1, 2, 2})
            QCOMPARE(m_chip->item(MemoryType::Sensor, 0x0012), uint32_t(0x778899));
    }

    // A read shows width x count bytes as hex, with the window disabled meanwhile; a failed one
    // keeps the value shown before.
    void reads_data()
    {
        QTest::addColumn<Choices>("choices");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("I2C E2prom 1 byte x 8") << Choices{3, 0, 0, 7} << "100" << "0102030405060708" << QByteArray::fromHex("5600300404080100");
        QTest::newRow("sensor 3 bytes x 4: 24 digits") << Choices{1, 0, 2, 3} << "20" << "1020302040603060904080C0"
                                                       << QByteArray::fromHex("56003005020403" "0020");
    }
    void reads()
    {
        QFETCH(Choices, choices);
        QFETCH(QString, address);
        QFETCH(QString, shown);
        QFETCH(QByteArray, frame);
        m_chip->writeMemory(MemoryType::I2cEeprom, 0x0100, QByteArray::fromHex("0102030405060708"));
        for (int i = 0; i < 4; ++i)
            m_chip->setItem(MemoryType::Sensor, uint16_t(0x20 + i), 0x102030u * uint32_t(i + 1));
        CReadWriteDataDlg *rw = openReadWrite(choices);
        checkFit("read_write_data");
        type("addressEdit", address);
        QVERIFY(m_chip->addFault("delay=300,cmd=0x30,times=1"));
        click("sendButton");
        QVERIFY(!m_dlg->isEnabled());
        settle();
        QCOMPARE(text("valueEdit"), shown);
        QCOMPARE(m_chip->frames(), QList<QByteArray>{frame});

        QVERIFY(m_chip->addFault("status=5,cmd=0x30"));
        m_chip->writeMemory(MemoryType::I2cEeprom, 0x0100, QByteArray(8, '\x77'));
        m_chip->setItem(MemoryType::Sensor, 0x20, 0x777777);
        press("sendButton");
        QCOMPARE(m_messages->headlines(), QStringList{"Cmd recept, but execute failed"});
        QVERIFY(m_dlg->isEnabled());
        QCOMPARE(text("valueEdit"), shown);
        QCOMPARE(rw->valueText(), shown);
    }
};

QTEST_MAIN(TestToolWindows)
#include "tst_tool_windows.moc"
