// zmctl's control-info and flash commands as a user runs them: the built program against the
// simulated chip.

#include "tests/common/zmctl_run.h"
#include "tests/ctrlinfo/ctrl_info_rig.h"

#include <QProcess>
#include <QTest>

#include <csignal>

using namespace zm;
using Place = sim::CtrlInfoPlace;

Q_DECLARE_METATYPE(zm::sim::CtrlInfoPlace)

namespace {

using Run = zm::test::ZmctlRun;
Run zmctl(const QString &port, const QStringList &args) { return zm::test::runZmctl(port, args); }

} // namespace

class TestZmctlDevice : public QObject
{
    Q_OBJECT

private slots:
    // Out of each memory and back, finding it by its signature; verify tells the same bytes from
    // changed ones.
    void roundTrips_data()
    {
        QTest::addColumn<Place>("place");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("options");
        QTest::newRow("i2c") << Place::I2cEeprom << "I2C E2prom" << QStringList{};
        QTest::newRow("spi eeprom") << Place::SpiEeprom << "SPI E2prom" << QStringList{"--model", "AT25256A"};
        QTest::newRow("spi flash") << Place::SpiFlash << "SPI Flash" << QStringList{};
    }
    void roundTrips()
    {
        QFETCH(Place, place);
        QFETCH(QString, name);
        QFETCH(QStringList, options);
        sim::PtyChip chip(test::chipOptions(place));
        QTemporaryDir dir;
        const QString port = chip.slavePath(), out = dir.filePath("out.bin"), changed = dir.filePath("changed.bin"),
                      back = dir.filePath("back.bin");
        const auto type = MemoryType(uint8_t(place) + 3);

        Run r = zmctl(port, QStringList{"upload", out} + options);
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.contains("Ctrl info device: " + name) && r.err.contains("Upload finish!"), qPrintable(r.err));
        QCOMPARE(test::readFile(out), chip.readMemory(type, 0, 384));

        QByteArray bytes = test::readFile(out);
        bytes[0x100] = char(bytes[0x100] ^ 0x5A);
        bytes.append(test::pattern(100));
        QVERIFY(test::writeFile(changed, bytes));
        r = zmctl(port, QStringList{"download", changed} + options);
        QVERIFY2(r.code == 0 && r.err.contains("Download finish!"), qPrintable(r.err));
        r = zmctl(port, QStringList{"upload", back, "--size", "484"} + options);
        QCOMPARE(r.code, 0);
        QCOMPARE(test::readFile(back), bytes);

        r = zmctl(port, QStringList{"verify", changed} + options);
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QString("%1 matches the %2: 484 bytes\n").arg(changed, name));
        r = zmctl(port, QStringList{"verify", out} + options);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QString("First difference at 0x0100; 1 byte of 384 differ\n"));
    }

    void commands_data()
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
        QTest::newRow("erase-chip") << QStringList{"erase-chip"} << 524288u << 0 << "" << QStringList{"56006200"};
        QTest::newRow("set-serial") << QStringList{"set-serial", "5"} << 524288u << 0 << "" << QStringList{"5600210105"};
        QTest::newRow("mcu") << QStringList{"set-baud", "mcu", "--clock", "36M", "--rate", "115200"} << 524288u << 0
                             << "Value: 1288\n" << QStringList{"56002403011288"};
        QTest::newRow("huart") << QStringList{"set-baud", "huart", "--rate", "921600"} << 524288u << 0
                               << "Frac: 0353 Inter: 0001\n" << QStringList{"560024050203530001"};
        QTest::newRow("spi") << QStringList{"set-baud", "spi", "--rate-index", "0"} << 524288u << 0
                             << "Divider: 003F SS: 0200 (0.211 Mhz)\n" << QStringList{"5600240503003F0200"};
        // Usage errors send nothing.
        QTest::newRow("two amounts") << QStringList{"upload", "x.bin", "--whole", "--size", "64"} << 524288u << 2 << ""
                                     << QStringList{};
        QTest::newRow("bad size") << QStringList{"download", ZMCTL, "--device", "i2c-eeprom", "--device-size", "1000"}
                                  << 524288u << 2 << "" << QStringList{};
    }
    void commands()
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

    // Refusals as the window makes them, and what a failed upload leaves.
    void refusalsAndFailures()
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
        chip.writeMemory(MemoryType::SpiEeprom, 0, QByteArray(2, '\xFF'));
        r = zmctl(port, {"upload", file, "--device", "spi-eeprom", "--model", "AT25256A"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("Not find ctrl info, exit upload"));

        QVERIFY(chip.addFault("status=5,cmd=0x30,times=1"));
        r = zmctl(port, {"upload", file, "--whole", "--device", "i2c-eeprom", "--model", "24C02"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("Read data failed, exit upload"), qPrintable(r.err));
        QCOMPARE(test::readFile(file), test::pattern(64));
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

QTEST_GUILESS_MAIN(TestZmctlDevice)
#include "tst_zmctl_device.moc"
