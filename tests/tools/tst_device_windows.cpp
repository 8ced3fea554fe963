// The Upload/Download and Flash Operation windows against the simulated chip: finding the control
// info, copying it to a file and back, the checks of the chosen files, and the flash buttons.

#include "ctrlinfo/config_settings.h"
#include "link/messages.h"
#include "sim/ctrl_info_image.h"
#include "tests/common/window_test.h"
#include "tests/ctrlinfo/ctrl_info_rig.h"
#include "tools/flash_operation_dlg.h"
#include "tools/upload_download_dlg.h"

#include <QComboBox>
#include <QProgressBar>

using namespace zm;

class TestDeviceWindows : public test::WindowTest
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_chosen;

    QString file(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QComboBox *combo(const char *name) const { return child<QComboBox>(name); }
    bool enabled(const char *button) const { return child<QPushButton>(button)->isEnabled(); }
    void openUploadDownload()
    {
        auto dlg = std::make_unique<CUploadDownloadDlg>(*m_layer);
        dlg->setFileChooser([this](bool, const QString &) { return m_chosen; });
        showWindow(std::move(dlg));
    }
    void openFlashOperation() { showWindow(std::make_unique<CFlashOperationDlg>(*m_layer)); }
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
        QCOMPARE(m_messages->texts(), QStringList({msg::kUploadFinish, msg::kDownloadFinish}));
        QVERIFY(m_dlg->isEnabled());
    }

    // A file longer than the device is refused when chosen, one as long is taken; nothing is
    // sent without a device, nor written without a model.
    void refusals()
    {
        openUploadDownload();
        ConfigSettings::of(*m_layer).setDeviceSize(65536);
        m_chosen = file("big.bin");
        QVERIFY(test::writeFile(m_chosen, QByteArray(65537, '\0')));
        click("downloadBrowseButton");
        QVERIFY(!enabled("downloadButton"));
        m_chosen = file("missing.bin");
        click("downloadBrowseButton");
        m_chosen = file("fits.bin");
        QVERIFY(test::writeFile(m_chosen, QByteArray(65536, '\0')));
        click("downloadBrowseButton");
        QVERIFY(enabled("downloadButton"));
        click("downloadButton");
        m_chosen = file("up.bin");
        click("uploadBrowseButton");
        click("uploadButton");
        combo("deviceCombo")->setCurrentText("SPI E2prom"); // 64 KB is no SPI EEPROM's size
        QCOMPARE(combo("modelCombo")->currentText(), QString("Unknow"));
        click("downloadButton");
        QCOMPARE(m_messages->texts(),
                 QStringList({"File size is 65537, device max size is 65536, can't download",
                              "Open file (" + file("missing.bin") + ") failed!", msg::kSelectCtrlInfoDevice,
                              msg::kSelectCtrlInfoDevice, msg::kSelectDeviceSize}));
        QVERIFY(m_chip->frames().isEmpty());
    }

    void flashButtonsOfUploadDownload()
    {
        openUploadDownload();
        controlInfoOnTheFlash();
        press("checkDeviceButton");
        QCOMPARE(combo("deviceCombo")->currentText(), QString("SPI Flash"));
        press("checkFlashButton");
        QCOMPARE(combo("modelCombo")->currentText(), QString("AT25F4096A (512 KB)"));
        press("eraseButton");
        QCOMPARE(m_messages->texts(), QStringList{msg::kChipEraseFinish});
        QCOMPARE(m_chip->readMemory(MemoryType::SpiFlash, 0, 2), QByteArray(2, '\xFF'));
        combo("deviceCombo")->setCurrentIndex(1);
        QVERIFY(!enabled("eraseButton"));
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
        edit("sectorEdit")->clear();
        QTest::keyClicks(edit("sectorEdit"), "1F0G00"); // the G is undone
        QCOMPARE(text("sectorEdit"), QString("1F000"));
        press("eraseSectorButton");
        QCOMPARE(m_chip->frames(), test::hexFrames("56006000 560061040001F000"));
        QCOMPARE(m_chip->readMemory(MemoryType::SpiFlash, 0x1F000, 4), QByteArray(4, '\xFF'));
        edit("sectorEdit")->setText("FFFFFFFF");
        press("eraseSectorButton");
        QCOMPARE(m_messages->texts(), QStringList{"Invalid data format"});

        // 0x00002000 kilobits read as 1024 kilobytes.
        sim::PtyChip mega(test::chipOptions(sim::CtrlInfoPlace::I2cEeprom, 1024 * 1024));
        m_layer->close();
        QVERIFY(m_layer->open(mega.slavePath(), QStringLiteral("38400,n,8,1")));
        press("getSizeButton");
        QCOMPARE(text("flashSizeEdit"), QString("1024"));
        m_layer->close();
    }

    // The whole flash gets longer than other commands: an erase past their 3 seconds finishes;
    // one past its own 10 seconds ends in a time-out and no claim that the erase finished, and
    // the next command gets its answer once the late erase answer is out of the way.
    void chipEraseTimeOut()
    {
        openFlashOperation();
        m_chip->withModel([](sim::ChipModel &m) { m.setEraseTimes(3500, 0); });
        press("chipEraseButton");
        QCOMPARE(m_messages->texts(), QStringList{msg::kChipEraseFinish});

        m_messages->clear();
        m_chip->withModel([](sim::ChipModel &m) { m.setEraseTimes(10500, 0); });
        click("chipEraseButton");
        QTRY_COMPARE_WITH_TIMEOUT(text("statusEdit"), QString(msg::kWaitForErase), 5000);
        QVERIFY(!m_dlg->isEnabled());
        settle();
        QCOMPARE(m_messages->texts(), QStringList{"Cmd time out"});
        QCOMPARE(text("statusEdit"), QString());
        press("getSizeButton");
        QCOMPARE(m_messages->count(), 1);
        QCOMPARE(text("flashSizeEdit"), QString("512"));
        QVERIFY(m_dlg->isEnabled());
    }
};

QTEST_MAIN(TestDeviceWindows)
#include "tst_device_windows.moc"
