// The Upload/Download window against the simulated chip: finding the control info, copying it to
// a file and back, the checks of the chosen files, and the flash buttons.

#include "ctrlinfo/config_settings.h"
#include "link/messages.h"
#include "sim/ctrl_info_image.h"
#include "tests/ctrlinfo/ctrl_info_rig.h"
#include "tests/ctrlinfo/dialog_test.h"
#include "tools/upload_download_dlg.h"

#include <QProgressBar>
#include <QRadioButton>

using namespace zm;

class TestUploadDownloadDlg : public test::DialogTest<CUploadDownloadDlg>
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_chosen;

    QString file(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QPushButton *button(const char *name) const { return child<QPushButton>(name); }

private slots:
    void init()
    {
        QVERIFY2(openWindow(), qPrintable(m_error));
        m_dlg->setFileChooser([this](bool, const QString &) { return m_chosen; });
    }
    void cleanup() { QVERIFY(closeWindow()); }

    void opens()
    {
        QCOMPARE(combo("deviceCombo")->currentText(), QString("Unknow"));
        QCOMPARE(combo("givenSizeCombo")->currentText(), QString("   2 KBytes"));
        QVERIFY(child<QRadioButton>("ctrlInfoRadio")->isChecked());
        for (const char *b : {"uploadButton", "downloadButton", "eraseButton", "checkFlashButton"})
            QVERIFY2(!button(b)->isEnabled(), b);
        const QStringList problems = fitProblems(QStringLiteral("upload_download"));
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    // Find the control info, copy it out, change it, copy it back: the memory holds the file.
    void copiesTheControlInfoOutAndBack()
    {
        QVERIFY(press("checkDeviceButton"));
        QCOMPARE(combo("deviceCombo")->currentText(), QString("I2C E2prom"));
        QCOMPARE(combo("modelCombo")->currentText(), QString("24C512 (64 KB)"));

        m_chosen = file("ctrl.bin");
        click("uploadBrowseButton");
        QVERIFY(button("uploadButton")->isEnabled());
        QVERIFY(press("uploadButton"));
        QByteArray image = test::readFile(m_chosen);
        QCOMPARE(image, sim::ctrlInfoImage(sim::CtrlInfoPlace::I2cEeprom));
        QCOMPARE(child<QProgressBar>("progressBar")->value(), 1000);
        QCOMPARE(edit("statusEdit")->text(), QString());
        QCOMPARE(edit("counterEdit")->text(), QString());

        image[0x100] = '\x11';
        QVERIFY(test::writeFile(m_chosen, image));
        click("downloadBrowseButton");
        QCOMPARE(edit("counterEdit")->text(), QString("[0/384]"));
        QVERIFY(press("downloadButton"));
        QCOMPARE(m_chip->readMemory(MemoryType::I2cEeprom, 0, image.size()), image);
        QCOMPARE(m_messages->texts(), QStringList({msg::kUploadFinish, msg::kDownloadFinish}));
        QCOMPARE(m_messages->at(1).icon, QMessageBox::Information);
        QVERIFY(m_dlg->isEnabled());
    }

    // A file longer than the device is refused when chosen; one as long is taken.
    void downloadFileChoice()
    {
        ConfigSettings::of(*m_layer).setDeviceSize(65536);
        m_chosen = file("big.bin");
        QVERIFY(test::writeFile(m_chosen, QByteArray(65537, '\0')));
        click("downloadBrowseButton");
        QVERIFY(!button("downloadButton")->isEnabled());
        m_chosen = file("fits.bin");
        QVERIFY(test::writeFile(m_chosen, QByteArray(65536, '\0')));
        click("downloadBrowseButton");
        QVERIFY(button("downloadButton")->isEnabled());
        m_chosen = file("missing.bin");
        click("downloadBrowseButton");
        QVERIFY(!button("downloadButton")->isEnabled());
        QCOMPARE(m_messages->texts(), QStringList({"File size is 65537, device max size is 65536, can't download",
                                                   "Open file (" + m_chosen + ") failed!"}));
        QVERIFY(frames().isEmpty());
    }

    // Nothing is sent without a device, nor written without a model.
    void refusals()
    {
        m_chosen = file("up.bin");
        click("uploadBrowseButton");
        click("uploadButton");
        QVERIFY(test::writeFile(m_chosen, "x"));
        click("downloadBrowseButton");
        click("downloadButton");
        combo("deviceCombo")->setCurrentText("SPI E2prom"); // 64 KB is no SPI EEPROM's size
        QCOMPARE(combo("modelCombo")->currentText(), QString("Unknow"));
        click("downloadButton");
        QCOMPARE(m_messages->texts(), QStringList({msg::kSelectCtrlInfoDevice, msg::kSelectCtrlInfoDevice,
                                                   msg::kSelectDeviceSize}));
        QVERIFY(frames().isEmpty());
    }

    void flashButtons()
    {
        m_chip->writeMemory(MemoryType::I2cEeprom, 0, QByteArray(2, '\xFF'));
        m_chip->writeMemory(MemoryType::SpiFlash, 0, sim::ctrlInfoImage(sim::CtrlInfoPlace::SpiFlash));
        QVERIFY(press("checkDeviceButton"));
        QCOMPARE(combo("deviceCombo")->currentText(), QString("SPI Flash"));
        QVERIFY(button("eraseButton")->isEnabled() && button("checkFlashButton")->isEnabled());
        QVERIFY(press("checkFlashButton"));
        QCOMPARE(combo("sizeCombo")->currentText(), QString("512K Bytes"));
        QCOMPARE(combo("modelCombo")->currentText(), QString("AT25F4096A (512 KB)"));
        QVERIFY(press("eraseButton"));
        QCOMPARE(m_messages->texts(), QStringList{msg::kChipEraseFinish});
        QCOMPARE(m_chip->readMemory(MemoryType::SpiFlash, 0, 2), QByteArray(2, '\xFF'));
        QCOMPARE(edit("statusEdit")->text(), QString());

        combo("deviceCombo")->setCurrentIndex(1);
        QVERIFY(!button("eraseButton")->isEnabled());
        QVERIFY(press("resetButton"));
        QCOMPARE(frames().last(), QString("56002600"));
    }
};

QTEST_MAIN(TestUploadDownloadDlg)
#include "tst_upload_download_dlg.moc"
