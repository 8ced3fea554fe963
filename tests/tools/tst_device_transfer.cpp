// Upload, download, verify and the flash erase against the simulated chip: the pieces they move,
// the set-up before them, the verification, and what a failure leaves behind; and zmctl's
// control-info and flash commands, the built program as a user runs it.

#include "ctrlinfo/config_settings.h"
#include "ctrlinfo/device_models.h"
#include "link/messages.h"
#include "sim/ctrl_info_image.h"
#include "tests/common/zmctl_run.h"
#include "tests/ctrlinfo/ctrl_info_rig.h"
#include "tools/device_transfer.h"

#include <QDir>
#include <QProcess>
#include <QTest>

#include <csignal>

using namespace zm;
using test::CtrlInfoRig;
using Place = sim::CtrlInfoPlace;

Q_DECLARE_METATYPE(zm::sim::CtrlInfoPlace)

namespace {

// The frames of read-data commands on a memory type, as (address, count).
QList<QPair<uint32_t, int>> reads(const QList<QByteArray> &frames, uint8_t type)
{
    QList<QPair<uint32_t, int>> out;
    for (const QByteArray &f : frames) {
        const auto *d = reinterpret_cast<const uint8_t *>(f.constData());
        if (d[2] == cmd::ReadData && d[4] == type)
            out << qMakePair(type == 6 ? getBe32(d + 6) : uint32_t(getBe16(d + 6)), int(d[5]));
    }
    return out;
}

using Run = test::ZmctlRun;
Run zmctl(const QString &port, const QStringList &args) { return test::runZmctl(port, args); }

int countOf(const QList<QByteArray> &frames, uint8_t code, uint8_t type)
{
    int n = 0;
    for (const QByteArray &f : frames)
        n += uint8_t(f[2]) == code && uint8_t(f[4]) == type;
    return n;
}

} // namespace

class TestDeviceTransfer : public QObject
{
    Q_OBJECT

private slots:
    // Up: pieces of 16 bytes from an I2C EEPROM, of the page size up to 16 from the SPI
    // memories; motion stopped and the addressing set up first. Down: pieces of 12 bytes into an
    // I2C EEPROM and of 8 into the SPI memories, each read back; the flash erased first. Verify
    // finds one changed byte.
    void transfers_data()
    {
        QTest::addColumn<Place>("place");
        QTest::addColumn<int>("page");
        QTest::addColumn<uint>("size");
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<int>("piece");
        QTest::newRow("i2c 64 KB") << Place::I2cEeprom << 256 << 65536u
                                   << QStringList{"56004203000100", "56003109 01054104 010100A002"} << 16;
        QTest::newRow("i2c 2 KB") << Place::I2cEeprom << 256 << 2048u
                                  << QStringList{"56004203000100", "56003109 01054104 000100A001"} << 16;
        QTest::newRow("spi eeprom page 8") << Place::SpiEeprom << 8 << 512u
                                           << QStringList{"56004203000100", "5600300401012500", "560031050101410400"}
                                           << 8;
        QTest::newRow("spi flash page 256") << Place::SpiFlash << 256 << 524288u
                                            << QStringList{"56004203000100", "5600300401012500"} << 16;
    }
    void transfers()
    {
        QFETCH(Place, place);
        QFETCH(int, page);
        QFETCH(uint, size);
        QFETCH(QStringList, setup);
        QFETCH(int, piece);
        CtrlInfoRig rig(place);
        const auto device = CtrlInfoDevice(uint8_t(place));
        const auto type = MemoryType(ctrlInfoMemoryType(device));
        const DeviceSetup s{device, size, page};
        UploadOptions o{UploadAmount::GivenSize, 64, rig.path("given.bin")};
        QVERIFY(DeviceTransfer(rig.c, rig.report).upload(s, o));
        QCOMPARE(rig.frames().mid(0, setup.size()), setup.replaceInStrings(" ", ""));
        QList<QPair<uint32_t, int>> expected;
        for (uint32_t a = 0; a < 64; a += uint32_t(piece))
            expected << qMakePair(a, piece);
        QCOMPARE(reads(rig.chip.frames(), uint8_t(type)), expected);
        QCOMPARE(test::readFile(o.path), rig.chip.readMemory(type, 0, 64));
        QCOMPARE(rig.statuses, (QStringList{msg::kReadingData, msg::kReadFinish, ""}));
        QCOMPARE(rig.counter, QString());

        rig.chip.clearFrames();
        rig.messages.clear();
        const QByteArray image = test::pattern(100);
        QVERIFY(test::writeFile(o.path, image));
        QVERIFY(DeviceTransfer(rig.c, rig.report).download(s, o.path));
        QCOMPARE(rig.chip.readMemory(type, 0, 100), image);
        const int down = place == Place::I2cEeprom ? 12 : 8, pieces = (100 + down - 1) / down;
        QCOMPARE(countOf(rig.chip.frames(), cmd::WriteData, uint8_t(type)), pieces);
        QCOMPARE(countOf(rig.chip.frames(), cmd::ReadData, uint8_t(type)), pieces);
        QCOMPARE(rig.codes().contains(cmd::FlashChipErase), place == Place::SpiFlash);
        QCOMPARE(rig.messages, QStringList{msg::kDownloadFinish});
        QCOMPARE(rig.done, 100);

        VerifyResult v;
        QVERIFY(DeviceTransfer(rig.c, rig.report).verify(s, o.path, v));
        QCOMPARE(v.differing, 0);
        rig.chip.writeMemory(type, 77, QByteArray(1, char(~image[77])));
        QVERIFY(DeviceTransfer(rig.c, rig.report).verify(s, o.path, v));
        QCOMPARE(v.differing, 1);
        QCOMPARE(v.firstDifference, 77u);
    }

    // The control info alone: its data length, read in pieces; an image without a signature is
    // refused with the hint to read the whole device.
    void uploadCtrlInfoOnly()
    {
        CtrlInfoRig rig(Place::SpiEeprom);
        const DeviceSetup s{CtrlInfoDevice::SpiEeprom, 32768, 64};
        const QString path = rig.path("ctrl.bin");
        QVERIFY(DeviceTransfer(rig.c, rig.report).upload(s, {UploadAmount::CtrlInfo, 0, path}));
        QCOMPARE(test::readFile(path), sim::ctrlInfoImage(Place::SpiEeprom));

        rig.messages.clear();
        QVERIFY(!DeviceTransfer(rig.c, rig.report).upload(DeviceSetup{CtrlInfoDevice::SpiFlash, 524288, 256},
                                                          {UploadAmount::CtrlInfo, 0, rig.path("none.bin")}));
        QCOMPARE(rig.messages, QStringList{msg::kNoCtrlInfoForUpload});
        QVERIFY(!QFile::exists(rig.path("none.bin")));

        // More than the device holds: refused before reading.
        rig.messages.clear();
        rig.chip.clearFrames();
        QVERIFY(!DeviceTransfer(rig.c, rig.report).upload(DeviceSetup{CtrlInfoDevice::SpiEeprom, 256, 8},
                                                          {UploadAmount::CtrlInfo, 0, path}));
        QCOMPARE(rig.messages, QStringList{"Ctrl info size(384 Byte) is large than device size(256 Byte),please change device"});
        QCOMPARE(reads(rig.chip.frames(), 5).size(), 2); // signature and length only

        // An EEPROM's frames carry 16-bit addresses: past 64 KB a read would wrap to the start.
        rig.messages.clear();
        rig.chip.clearFrames();
        QVERIFY(!DeviceTransfer(rig.c, rig.report).upload(DeviceSetup{CtrlInfoDevice::SpiEeprom, 131072, 64},
                                                          {UploadAmount::WholeDevice, 0, path}));
        QCOMPARE(rig.messages, QStringList{"An EEPROM is addressed with 16 bits: at most 65536 bytes of it can be "
                                           "reached, not 131072 bytes."});
        QCOMPARE(reads(rig.chip.frames(), 5).size(), 0);
    }

    // A failed or stopped upload leaves the earlier file as it was and keeps what it read in
    // <file>.partial, and says so.
    void failedUploadKeepsTheEarlierFileAndWhatItRead()
    {
        CtrlInfoRig rig(Place::I2cEeprom);
        const DeviceSetup s{CtrlInfoDevice::I2cEeprom, 65536, 256};
        const QString path = rig.path("dump.bin");
        QVERIFY(test::writeFile(path, "the earlier dump"));
        const QByteArray memory = rig.chip.readMemory(MemoryType::I2cEeprom, 0, 1024);

        rig.stopAt = 160;
        QVERIFY(!DeviceTransfer(rig.c, rig.report).upload(s, {UploadAmount::GivenSize, 1024, path}));
        QCOMPARE(test::readFile(path), QByteArray("the earlier dump"));
        QCOMPARE(test::readFile(DeviceTransfer::partialPath(path)), memory.left(160));
        QCOMPARE(rig.messages, QStringList({"The upload was stopped.\nIt stopped at 0x00A0.",
                                            "The 160 bytes read so far are kept in " + path + ".partial; " + path
                                                + " was left as it was."}));

        // A read that fails part-way: its text, where, and the bytes before it.
        rig.messages.clear();
        rig.report.stop = {};
        rig.report.progress = [&](qint64 done, qint64) {
            if (done == 32)
                rig.chip.addFault(QStringLiteral("status=5,cmd=0x30,times=1"));
        };
        QVERIFY(!DeviceTransfer(rig.c, rig.report).upload(s, {UploadAmount::WholeDevice, 0, path}));
        QCOMPARE(test::readFile(path), QByteArray("the earlier dump"));
        QCOMPARE(test::readFile(DeviceTransfer::partialPath(path)), memory.left(32));
        QCOMPARE(rig.messages, QStringList({QString(msg::kReadDataFailedUpload)
                                                + "\nCmd recept, but execute failed\nread-data (i2c-eeprom 0x0020, 16 "
                                                  "items): the chip took it but could not carry it out: check that the "
                                                  "memory it addresses is fitted\nIt stopped at 0x0020.",
                                            "The 32 bytes read so far are kept in " + path + ".partial; " + path
                                                + " was left as it was."}));

        // Nothing read, nothing kept, and no temporary file left behind.
        const QString fresh = rig.path("fresh.bin");
        QFile::remove(DeviceTransfer::partialPath(path));
        QVERIFY(rig.chip.addFault("status=5,cmd=0x30,times=1"));
        QVERIFY(!DeviceTransfer(rig.c, rig.report).upload(s, {UploadAmount::WholeDevice, 0, fresh}));
        QCOMPARE(QDir(rig.dir.path()).entryList(QDir::Files), QStringList{"dump.bin"});
    }

    // A piece that reads back wrong is written again; three times wrong ends the download, which
    // says where it stopped and how much is written and verified.
    void verificationRetriesThenGivesUp()
    {
        CtrlInfoRig rig(Place::I2cEeprom);
        const DeviceSetup s{CtrlInfoDevice::I2cEeprom, 65536, 256};
        const QString path = rig.path("image.bin");
        QVERIFY(test::writeFile(path, test::pattern(48)));
        QVERIFY(rig.chip.addFault("flaky=2"));
        QVERIFY(DeviceTransfer(rig.c, rig.report).download(s, path));
        QCOMPARE(countOf(rig.chip.frames(), cmd::WriteData, 4), 4 + 2);
        QCOMPARE(rig.chip.readMemory(MemoryType::I2cEeprom, 0, 48), test::pattern(48));

        rig.messages.clear();
        // After the second piece the third fails for good.
        rig.report.progress = [&](qint64 done, qint64) {
            if (done == 24)
                rig.chip.addFault(QStringLiteral("flaky=3"));
        };
        QVERIFY(test::writeFile(path, test::pattern(48, 2)));
        QVERIFY(!DeviceTransfer(rig.c, rig.report).download(s, path));
        QCOMPARE(rig.messages, QStringList{QString(msg::kCantBeWrite) + "\nThe download stopped at 0x0018; the 24 bytes "
                                                                         "before it (0x0000 to 0x0017) were written and verified."});
    }

    void downloadRefusals()
    {
        CtrlInfoRig rig(Place::I2cEeprom);
        const DeviceSetup s{CtrlInfoDevice::I2cEeprom, 65536, 256};
        const QString big = rig.path("big.bin"), empty = rig.path("empty.bin");
        QVERIFY(test::writeFile(big, QByteArray(65537, '\x5A')));
        QVERIFY(test::writeFile(empty, {}));
        DeviceTransfer t(rig.c, rig.report);
        QVERIFY(!t.download(s, big));
        QVERIFY(!t.download(s, empty));
        QVERIFY(!t.download(s, rig.path("missing.bin")));
        QVERIFY(!t.download(DeviceSetup{CtrlInfoDevice::None, 65536, 256}, big));
        QCOMPARE(rig.messages.mid(0, 2), QStringList({"File size is 65537, device max size is 65536, can't download",
                                                      "File length is 0, exit download"}));
        QVERIFY(rig.messages.value(2).startsWith("Open file (" + rig.path("missing.bin") + ") failed!"));
        QCOMPARE(rig.messages.value(3), QString(msg::kSelectCtrlInfoDevice));
        QVERIFY(rig.chip.frames().isEmpty());
    }

    // What has to happen before the memory is touched, and its failures.
    void preparationFailures_data()
    {
        QTest::addColumn<Place>("place");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("download");
        QTest::addColumn<QString>("message");
        QTest::newRow("motion") << Place::I2cEeprom << "status=4,cmd=0x42" << false
                                << "Stop motion detect failed!\nCmd can't run in current status\nset-motion-control "
                                   "(detection: uart, disabled): the chip cannot run it in its present state: end what "
                                   "it is doing first";
        QTest::newRow("addressing") << Place::I2cEeprom << "status=3,cmd=0x31" << true
                                    << "Write register failed, exit download\nInvalid data format\nwrite-data (chip "
                                       "0x4104, 5 items: 01 01 00 A0 02): the chip refused a value it was sent: check "
                                       "the values against what the chip takes";
        QTest::newRow("bitmap") << Place::SpiEeprom << "status=4,cmd=0x71" << false
                                << "Stop Bitmap failed!\nCmd can't run in current status\nbitmap-control (stop): the "
                                   "chip cannot run it in its present state: end what it is doing first";
        QTest::newRow("erase") << Place::SpiFlash << "status=5,cmd=0x62" << true
                               << "Erase flash failed, exit download\nCmd recept, but execute failed\nflash-chip-erase: "
                                  "the chip took it but could not carry it out: check that the memory it addresses is "
                                  "fitted";
    }
    void preparationFailures()
    {
        QFETCH(Place, place);
        QFETCH(QString, fault);
        QFETCH(bool, download);
        QFETCH(QString, message);
        CtrlInfoRig rig(place);
        rig.chip.setReg(kOsdControlRegister, 0x09);
        QVERIFY(rig.chip.addFault(fault));
        const auto device = CtrlInfoDevice(uint8_t(place));
        const DeviceSetup s{device, modelCount(device) ? model(device, modelCount(device))->size : 0, 8};
        const QString path = rig.path("image.bin");
        QVERIFY(test::writeFile(path, test::pattern(32)));
        DeviceTransfer t(rig.c, rig.report);
        QVERIFY(download ? !t.download(s, path) : !t.upload(s, {UploadAmount::GivenSize, 64, rig.path("up.bin")}));
        QCOMPARE(rig.messages, QStringList{message});
        QCOMPARE(reads(rig.chip.frames(), ctrlInfoMemoryType(device)).size(), 0);
        QCOMPARE(countOf(rig.chip.frames(), cmd::WriteData, ctrlInfoMemoryType(device)), 0);
    }

    // Only an erase the chip reported done is called finished.
    void flashErase()
    {
        CtrlInfoRig rig(Place::SpiFlash);
        rig.chip.setReg(kOsdControlRegister, 0x08); // a bitmap shown from the flash is stopped first
        QVERIFY(DeviceTransfer(rig.c, rig.report).eraseFlash(true));
        QCOMPARE(rig.codes(), (QList<int>{cmd::ReadData, cmd::BitmapControl, cmd::FlashChipErase}));
        QCOMPARE(rig.statuses, (QStringList{msg::kWaitForErase, ""}));
        QVERIFY(rig.chip.addFault("status=5,cmd=0x62,times=1"));
        QVERIFY(!DeviceTransfer(rig.c, rig.report).eraseFlash(false));
        QCOMPARE(rig.messages, QStringList({msg::kChipEraseFinish, "Cmd recept, but execute failed\nflash-chip-erase: the "
                                                                   "chip took it but could not carry it out: check that "
                                                                   "the memory it addresses is fitted"}));
    }

    // zmctl: out of the memory and back, finding it by its signature (the pieces of each memory
    // are the procedure's, above); verify tells changed bytes where they differ.
    void zmctlRoundTrip()
    {
        sim::PtyChip chip(test::chipOptions(Place::SpiEeprom));
        QTemporaryDir dir;
        const QStringList model{"--model", "AT25256A"};
        const QString port = chip.slavePath(), out = dir.filePath("out.bin"), changed = dir.filePath("changed.bin"),
                      back = dir.filePath("back.bin");
        Run r = zmctl(port, QStringList{"upload", out} + model);
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.contains("Ctrl info device: SPI E2prom") && r.err.contains("Upload finish!"), qPrintable(r.err));
        QCOMPARE(test::readFile(out), sim::ctrlInfoImage(Place::SpiEeprom));

        QByteArray bytes = test::readFile(out);
        bytes[0x100] = char(bytes[0x100] ^ 0x5A);
        bytes.append(test::pattern(100));
        QVERIFY(test::writeFile(changed, bytes));
        r = zmctl(port, QStringList{"download", changed} + model);
        QVERIFY2(r.code == 0 && r.err.contains("Download finish!"), qPrintable(r.err));
        r = zmctl(port, QStringList{"upload", back, "--size", "484"} + model);
        QCOMPARE(r.code, 0);
        QCOMPARE(test::readFile(back), bytes);
        r = zmctl(port, QStringList{"verify", out} + model);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QString("First difference at 0x0100; 1 byte of 384 differ\n"));
    }

    void zmctlCommands_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<uint>("flashSize");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QStringList>("frames");
        QTest::newRow("locate") << QStringList{"locate"} << 524288u << 0 << "I2C E2prom\n" << QStringList{"5600300404020000"};
        QTest::newRow("flash-size") << QStringList{"flash-size"} << 524288u << 0 << "524288 bytes, AT25F4096A (512 KB)\n"
                                    << QStringList{"56006000"};
        QTest::newRow("no flash") << QStringList{"flash-size"} << 0u << 1 << "" << QStringList{"56006000"};
        QTest::newRow("erase-sector") << QStringList{"erase-sector", "1F000"} << 524288u << 0 << ""
                                      << QStringList{"560061040001F000"};
        QTest::newRow("erase-chip") << QStringList{"erase-chip", "--yes"} << 524288u << 0 << "" << QStringList{"56006200"};
        QTest::newRow("set-serial") << QStringList{"set-serial", "5"} << 524288u << 0 << "" << QStringList{"5600210105"};
        QTest::newRow("mcu") << QStringList{"set-baud", "mcu", "--clock", "36M", "--rate", "115200"} << 524288u << 0
                             << "Value: 1288\n" << QStringList{"56002403011288"};
        QTest::newRow("spi") << QStringList{"set-baud", "spi", "--rate-index", "0"} << 524288u << 0
                             << "Divider: 003F SS: 0200 (0.211 Mhz)\n" << QStringList{"5600240503003F0200"};
        // Usage errors send nothing: a script that erases the whole flash says so.
        QTest::newRow("erase-chip without --yes") << QStringList{"erase-chip"} << 524288u << 2 << "" << QStringList{};
        QTest::newRow("bad size") << QStringList{"download", ZMCTL, "--device", "i2c-eeprom", "--device-size", "1000"}
                                  << 524288u << 2 << "" << QStringList{};
    }
    void zmctlCommands()
    {
        QFETCH(QStringList, args);
        QFETCH(uint, flashSize);
        QFETCH(int, code);
        QFETCH(QString, out);
        QFETCH(QStringList, frames);
        sim::PtyChip chip(test::chipOptions(Place::I2cEeprom, flashSize));
        const Run r = zmctl(chip.slavePath(), args);
        QCOMPARE(r.code, code);
        QCOMPARE(r.out, out);
        QStringList seen;
        for (const QByteArray &f : chip.frames())
            seen << QString::fromLatin1(f.toHex().toUpper());
        QCOMPARE(seen, frames);
        if (code == 2)
            QVERIFY(r.err.startsWith("zmctl: "));
    }

    // Refusals as the window makes them.
    void zmctlRefusals()
    {
        sim::PtyChip chip(test::chipOptions(Place::SpiEeprom));
        QTemporaryDir dir;
        const QString port = chip.slavePath(), file = dir.filePath("ctrl.bin");
        QVERIFY(test::writeFile(file, test::pattern(64)));
        // 64 KB, the size without a model, is no SPI EEPROM's.
        Run r = zmctl(port, {"download", file});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("Please select device size"), qPrintable(r.err));
        r = zmctl(port, {"download", file, "--model", "24C512"});
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains("AT25128A"));
    }

    // Ctrl+C during an upload: exit 130, the earlier file as it was, what was read kept beside it.
    void interruptedUploadKeepsWhatItRead()
    {
        sim::PtyChip chip(test::chipOptions(Place::I2cEeprom));
        chip.setBaud(9600); // the whole memory takes far longer than the test waits
        QTemporaryDir dir;
        const QString file = dir.filePath("dump.bin");
        QVERIFY(test::writeFile(file, "earlier dump"));
        QProcess p;
        p.start(QStringLiteral(ZMCTL), {"--port", chip.slavePath(), "--baud", "9600", "upload", file, "--whole"});
        QVERIFY(p.waitForStarted());
        QVERIFY(chip.waitForFrames(8, 20000)); // locate, set-up and a few pieces
        ::kill(pid_t(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), 130);
        const QString err = QString::fromLatin1(p.readAllStandardError());
        QVERIFY2(err.contains("The upload was stopped.") && err.contains(file + ".partial"), qPrintable(err));
        QCOMPARE(test::readFile(file), QByteArray("earlier dump"));
        const QByteArray partial = test::readFile(file + ".partial");
        QVERIFY(!partial.isEmpty() && partial.size() % 16 == 0);
        QCOMPARE(partial, chip.readMemory(MemoryType::I2cEeprom, 0, int(partial.size())));
    }
};

QTEST_GUILESS_MAIN(TestDeviceTransfer)
#include "tst_device_transfer.moc"
