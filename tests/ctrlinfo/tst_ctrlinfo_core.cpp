// The control-info core against the simulated chip: the divisors, the rules of the program-wide
// settings, the search for the control info and its records; the inspector of dump files (the
// chip's control info taken apart as the chip's own lookup finds it, every check of a damaged
// file with its message, record sizes, what a diff reports for a change in each part of a dump);
// and zmctl's ctrlinfo-show and ctrlinfo-diff as a user runs them (neither opens a port).

#include "ctrlinfo/config_settings.h"
#include "ctrlinfo/ctrl_info.h"
#include "ctrlinfo/ctrl_info_dump.h"
#include "ctrlinfo/device_models.h"
#include "ctrlinfo/divisors.h"
#include "protocol/hex_text.h"
#include "link/messages.h"
#include "protocol/protocol.h"
#include "sim/ctrl_info_image.h"
#include "tests/common/zmctl_run.h"
#include "tests/ctrlinfo/ctrl_info_rig.h"

#include <QTest>

using namespace zm;
using test::CtrlInfoRig;
using Place = sim::CtrlInfoPlace;

Q_DECLARE_METATYPE(zm::CtrlInfoDevice)
Q_DECLARE_METATYPE(zm::sim::CtrlInfoPlace)
Q_DECLARE_METATYPE(zm::DumpCheck)

namespace {

QByteArray image(Place place = Place::I2cEeprom) { return sim::ctrlInfoImage(place); }

QByteArray set16(QByteArray b, int at, uint16_t value)
{
    putBe16(reinterpret_cast<uint8_t *>(b.data()) + at, value);
    return b;
}

QByteArray setByte(QByteArray b, int at, uint8_t value)
{
    b[at] = char(value);
    return b;
}

// The same table at another address.
QByteArray tableMovedTo(QByteArray b, uint16_t to)
{
    b.replace(to, kExternTableLength, b.mid(sim::kExternTableAddress, kExternTableLength));
    return set16(b, kExternTableOffset, to);
}

// The entry of a section in the simulated chip's table.
int entry(CtrlInfoSection s)
{
    return sim::kExternTableAddress + 2 * int(s);
}

DumpCheck parse(const QByteArray &b, CtrlInfoDump &d, QString &message)
{
    const std::vector<uint8_t> exact(b.begin(), b.end());
    return parseCtrlInfoDump(exact, qint64(exact.size()), d, message);
}

CtrlInfoDump parsed(const QByteArray &b)
{
    CtrlInfoDump d;
    QString message;
    if (parse(b, d, message) != DumpCheck::Passed)
        qFatal("not a dump: %s", qPrintable(message));
    return d;
}

QList<int> differingSections(const CtrlInfoDiff &d)
{
    QList<int> out;
    for (int n = 0; n < kExternTableEntries; ++n)
        if (d.sections[size_t(n)].differs())
            out << n;
    return out;
}

struct Run {
    int code = -1;
    QStringList out; // the lines printed
    QString err;
};

// A port that does not exist: the inspector must not need one.
Run zmctl(const QStringList &args)
{
    const test::ZmctlRun r = test::runZmctl(QStringLiteral("/dev/zm-no-such-port"), args);
    QStringList out = r.out.split('\n');
    if (out.last().isEmpty())
        out.removeLast();
    return {r.code, out, r.err};
}

} // namespace

class TestCtrlInfoCore : public QObject
{
    Q_OBJECT

private slots:
    // The SPI rate texts round halves up: 0.5625 MHz reads 0.563 (the divisors themselves are
    // checked through the Configuration window and zmctl set-baud).
    void spiRateTextsRoundHalvesUp() { QCOMPARE(spiRateTexts(1).value(1), QString("0.563 Mhz")); }

    // What the flash reports decides size, model and page size; a flash that reports 0 is unknown
    // and changes nothing.
    void checkFlashType_data()
    {
        QTest::addColumn<uint>("flashBytes");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("error");
        QTest::addColumn<uint>("size");
        QTest::addColumn<int>("page");
        QTest::newRow("512 KB") << 524288u << "AT25F4096A (512 KB)" << "" << 524288u << 256;
        QTest::newRow("128 KB") << 131072u << "AT25F1024A (128 KB)" << "" << 131072u << 128;
        QTest::newRow("1000 kilobits") << 128000u << "Unknow" << "" << 128000u << 1;
        QTest::newRow("none") << 0u << "" << "Unknow flash type" << 65536u << 256;
    }
    void checkFlashType()
    {
        QFETCH(uint, flashBytes);
        QFETCH(QString, model);
        QFETCH(QString, error);
        QFETCH(uint, size);
        QFETCH(int, page);
        CtrlInfoRig rig(Place::SpiFlash, flashBytes);
        ConfigSettings::of(rig.session).setCtrlInfoDevice(CtrlInfoDevice::SpiFlash);
        QString text;
        QCOMPARE(modelTexts(CtrlInfoDevice::SpiFlash).value(CheckFlashType(rig.c, text)), model);
        QCOMPARE(text, error);
        QCOMPARE(ConfigSettings::of(rig.session).deviceSize(), size);
        QCOMPARE(rig.session.settings().pageSize, page); // the block writes of the link use it
    }

    void deviceModelAndSizeRules()
    {
        LinkSession session;
        ConfigSettings &s = ConfigSettings::of(session);
        QCOMPARE(modelByName(CtrlInfoDevice::SpiEeprom, "at25128a"), 8);
        QCOMPARE(modelByName(CtrlInfoDevice::I2cEeprom, "AT25128A"), -1);

        // An I2C EEPROM model sets the size and leaves the page size alone.
        s.setPageSize(32);
        QCOMPARE(s.chooseDevice(CtrlInfoDevice::I2cEeprom), 7); // 24C512 (64 KB) matches 65536
        s.chooseModel(3);
        QCOMPARE(s.deviceSize(), 1024u);
        QCOMPARE(s.pageSize(), 32);

        // An SPI EEPROM model sets both; a size of no model gives "Unknow" and page size 1.
        s.chooseDevice(CtrlInfoDevice::SpiEeprom);
        s.chooseModel(8);
        QCOMPARE(s.deviceSize(), 16384u);
        QCOMPARE(session.settings().pageSize, 64);
        QCOMPARE(s.chooseSize(deviceSizeIndex(32768)), 9);
        QCOMPARE(s.pageSize(), 64);
        QCOMPARE(s.chooseSize(deviceSizeIndex(65536)), 0);
        QCOMPARE(s.pageSize(), 1);
        QCOMPARE(s.deviceSize(), 65536u);

        // "Unknow" as the device: page size 1, the size stays.
        s.chooseSize(deviceSizeIndex(512));
        s.chooseDevice(CtrlInfoDevice::None);
        QCOMPARE(s.pageSize(), 1);
        QCOMPARE(s.deviceSize(), 512u);
    }

    // After a new rate is set, the console must follow: the rate a divisor stands for is the one
    // each list entry chose it for, on either clock.
    void ratesFromDivisors()
    {
        for (int clock = 0; clock < 2; ++clock)
            for (int i = 0; i < mcuBaudTexts().size(); ++i)
                QCOMPARE(mcuBaudOf(clock, mcuUartValue(clock, i)), mcuBaud(i));
        for (int i = 0; i < highSpeedBaudTexts().size(); ++i)
            QCOMPARE(highSpeedBaudOf(highSpeedDivisor(i)), highSpeedBaud(i));
        QCOMPARE(mcuBaudOf(0, 0x2AF2), 38400);
        QCOMPARE(highSpeedBaudOf({0, 0}), 0);
    }

    void locate_data()
    {
        QTest::addColumn<Place>("place");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<uint8_t>("osd");
        QTest::addColumn<CtrlInfoDevice>("device");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("frames");
        const QString i2c = "5600300404020000", osd = "5600300401012500", spi = "5600300405020000",
                      flash = "56003006060200000000", stop = "5600710101";
        // The I2C EEPROM wins even when the SPI memories hold control info too: they are not probed.
        QTest::newRow("i2c") << Place::I2cEeprom << "" << uint8_t(0x09) << CtrlInfoDevice::I2cEeprom << ""
                             << QStringList{i2c};
        QTest::newRow("spi eeprom") << Place::SpiEeprom << "" << uint8_t(0x01) << CtrlInfoDevice::SpiEeprom << ""
                                    << QStringList{i2c, osd, spi};
        QTest::newRow("flash, bitmap shown") << Place::SpiFlash << "" << uint8_t(0x09) << CtrlInfoDevice::SpiFlash << ""
                                             << QStringList{i2c, osd, stop, spi, flash};
        QTest::newRow("none") << Place::None << "" << uint8_t(0x01) << CtrlInfoDevice::None << "Not find ctrl info"
                              << QStringList{i2c, osd, spi, flash};
        // A failed read ends the search with its result text.
        QTest::newRow("i2c read fails") << Place::SpiFlash << "status=5,cmd=0x30,times=1" << uint8_t(0x01)
                                        << CtrlInfoDevice::None << "Cmd recept, but execute failed" << QStringList{i2c};
        // The register read that tells whether the bitmap is shown fails: it counts as 0, so no
        // stop is sent and the search goes on.
        QTest::newRow("osd register read fails") << Place::SpiEeprom << "status=5,cmd=0x30,skip=1,times=1" << uint8_t(0x08)
                                                 << CtrlInfoDevice::SpiEeprom << "" << QStringList{i2c, osd, spi};
        QTest::newRow("bitmap stop fails") << Place::SpiFlash << "status=4,cmd=0x71" << uint8_t(0x08)
                                           << CtrlInfoDevice::None << "Stop Bitmap failed!"
                                           << QStringList{i2c, osd, stop};
    }
    void locate()
    {
        QFETCH(Place, place);
        QFETCH(QString, fault);
        QFETCH(uint8_t, osd);
        QFETCH(CtrlInfoDevice, device);
        QFETCH(QString, error);
        QFETCH(QStringList, frames);
        CtrlInfoRig rig(place);
        // Control info everywhere but where the search must not look.
        if (place == Place::I2cEeprom) {
            rig.chip.writeMemory(MemoryType::SpiEeprom, 0, sim::ctrlInfoImage(Place::SpiEeprom));
            rig.chip.writeMemory(MemoryType::SpiFlash, 0, sim::ctrlInfoImage(Place::SpiFlash));
        }
        rig.chip.setReg(kOsdControlRegister, osd);
        QVERIFY(fault.isEmpty() || rig.chip.addFault(fault));
        ConfigSettings::of(rig.session).setCtrlInfoDevice(CtrlInfoDevice::SpiEeprom); // a stale code goes
        QString text;
        QCOMPARE(LocateCtrlInfo(rig.c, text), device);
        QCOMPARE(text.section('\n', 0, 0), error); // then which command failed
        QCOMPARE(ConfigSettings::of(rig.session).ctrlInfoDevice(), device);
        QCOMPARE(rig.frames(), frames);
    }

    // The flash's signature is 0xAA56: the EEPROMs' 0xAA55 on the flash is no control info.
    void flashSignatureIsItsOwn()
    {
        CtrlInfoRig rig(Place::None);
        rig.chip.writeMemory(MemoryType::SpiFlash, 0, sim::ctrlInfoImage(Place::I2cEeprom));
        QString error;
        QCOMPARE(LocateCtrlInfo(rig.c, error), CtrlInfoDevice::None);
        QCOMPARE(error, QString(msg::kNotFindCtrlInfo));
        QVERIFY(!CheckCtrlInfoSignature(rig.c, CtrlInfoDevice::SpiFlash));
        rig.chip.clearFrames();
        QVERIFY(!CheckCtrlInfoSignature(rig.c, CtrlInfoDevice::None));
        uint16_t size = 0;
        QVERIFY(!ReadCtrlInfoSize(rig.c, CtrlInfoDevice::None, size));
        QVERIFY(rig.chip.frames().isEmpty());
    }

    // A stored device is used without probing; "Unknow" makes the next action locate again.
    void storedDeviceIsNotProbedAgain()
    {
        CtrlInfoRig rig(Place::SpiEeprom);
        ConfigSettings::of(rig.session).setCtrlInfoDevice(CtrlInfoDevice::I2cEeprom);
        QString error;
        QCOMPARE(EnsureCtrlInfoDevice(rig.c, error), CtrlInfoDevice::I2cEeprom);
        QVERIFY(rig.chip.frames().isEmpty());
        ConfigSettings::of(rig.session).chooseDevice(CtrlInfoDevice::None);
        QCOMPARE(EnsureCtrlInfoDevice(rig.c, error), CtrlInfoDevice::SpiEeprom);
    }

    // The dump of each memory is read as the chip's own lookup reads that memory: the signature,
    // the length, every record at the address FindCtrlInfoRecord finds, also with records moved
    // around; a record or a table that is not there is found absent, not failed.
    void dumpAgreesWithTheChip_data()
    {
        QTest::addColumn<Place>("place");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("i2c") << Place::I2cEeprom << image(Place::I2cEeprom);
        QTest::newRow("spi eeprom") << Place::SpiEeprom << image(Place::SpiEeprom);
        QTest::newRow("flash") << Place::SpiFlash << image(Place::SpiFlash);
        QTest::newRow("moved records") << Place::I2cEeprom
                                       << set16(set16(image(), entry(CtrlInfoSection::Dpc), 0x0160),
                                                entry(CtrlInfoSection::Gamma), 0x0036);
    }
    void dumpAgreesWithTheChip()
    {
        QFETCH(Place, place);
        QFETCH(QByteArray, bytes);
        const CtrlInfoDump d = parsed(bytes);
        const auto device = CtrlInfoDevice(uint8_t(place));
        QCOMPARE(d.signature, ctrlInfoSignature(device));
        QCOMPARE(d.dataLength, sim::kCtrlInfoLength);
        QCOMPARE(d.tableAddress, sim::kExternTableAddress);

        CtrlInfoRig rig(place);
        rig.chip.writeMemory(MemoryType(ctrlInfoMemoryType(device)), 0, bytes);
        for (int n = 0; n < kExternTableEntries; ++n) {
            uint16_t onChip = 0xFFFF;
            QCOMPARE(FindCtrlInfoRecord(rig.c, device, CtrlInfoSection(n), onChip), uint8_t(0));
            QCOMPARE(d.sections[size_t(n)].address, onChip);
        }
        const auto record = d.imageProperty();
        QVERIFY(record);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(record->data()), kImagePropertyLength),
                 rig.chip.readMemory(MemoryType(ctrlInfoMemoryType(device)), sim::kImagePropertyAddress, kImagePropertyLength));
        QVERIFY(CheckCtrlInfoSignature(rig.c, device));
        uint16_t size = 0;
        QVERIFY(ReadCtrlInfoSize(rig.c, device, size));
        QCOMPARE(size, sim::kCtrlInfoLength);

        const auto type = MemoryType(ctrlInfoMemoryType(device));
        uint16_t absent = 0;
        rig.chip.writeMemory(type, sim::kExternTableAddress + 32, QByteArray(2, '\0'));
        QCOMPARE(FindImagePropertyRecord(rig.c, device, absent), uint8_t(0));
        QCOMPARE(absent, uint16_t(0));
        rig.chip.writeMemory(type, kExternTableOffset, QByteArray(2, '\0'));
        absent = 0x1234;
        QCOMPARE(FindCtrlInfoRecord(rig.c, device, CtrlInfoSection::SensorConfig, absent), uint8_t(0));
        QCOMPARE(absent, uint16_t(0));
        QVERIFY(rig.chip.addFault("status=3,cmd=0x30,times=1"));
        QCOMPARE(FindImagePropertyRecord(rig.c, device, absent), uint8_t(rc::InvalidDataFormat));
    }

    // How far each record runs (up to whatever starts next: another record, the table, or the
    // end of the control info) is checked on every replayed and damaged dump by the fuzz
    // replay's invariants, against the file's own bytes.

    void damaged_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<DumpCheck>("check");
        QTest::addColumn<QString>("message");
        const QByteArray good = image();
        const QByteArray tail = good + QByteArray(640, '\xFF'); // a whole-memory upload
        const int ip = entry(CtrlInfoSection::ImageProperty);
        QTest::newRow("empty") << QByteArray() << DumpCheck::Signature << "no signature: the file is empty";
        QTest::newRow("text") << QByteArray("hello, world\n").repeated(40) << DumpCheck::Signature
                              << "no signature: the file starts with 68 65; a dump starts with AA 55 (EEPROM) or AA 56 "
                                 "(SPI flash)";
        QTest::newRow("base block cut") << good.left(52) << DumpCheck::BaseBlock
                                        << "base block cut short: the file ends after 52 bytes, inside the 53-byte "
                                           "base block";
        QTest::newRow("one byte short") << good.left(383) << DumpCheck::DataLengthPastFile
                                        << "data length past the file: the data length is 0x0180 (384 bytes), the "
                                           "file has 383 bytes";
        QTest::newRow("length 52") << set16(good, kDataLengthOffset, 52) << DumpCheck::DataLengthShort
                                   << "data length too short: 0x0034 (52 bytes) ends inside the 53-byte base block";
        QTest::newRow("table at the top") << set16(good, kExternTableOffset, 0xFFF0) << DumpCheck::TablePastFile
                                          << "extension table past the file: the table at 0xFFF0 ends at 0x1001A, "
                                             "the file has 384 bytes";
        QTest::newRow("table past the length") << set16(tail, kExternTableOffset, 0x0160)
                                               << DumpCheck::TablePastDataLength
                                               << "extension table past the data length: the table at 0x0160 ends "
                                                  "at 0x018A, the data length is 0x0180";
        QTest::newRow("entry at the length") << set16(tail, ip, 0x0180) << DumpCheck::EntryOutOfRange
                                             << "table entry out of range: section 16 (Image Property), entry at "
                                                "0x0060, points at 0x0180, past the data length 0x0180";
        QTest::newRow("two entries") << set16(set16(good, entry(CtrlInfoSection::SensorConfig), 0xFFFF), ip, 0x0180)
                                     << DumpCheck::EntryOutOfRange
                                     << "table entry out of range: section 0 (Sensor Config), entry at 0x0040, points "
                                        "at 0xFFFF, past the data length 0x0180 and the end of the file (and 1 more)";
        // At the limits, and still a dump.
        QTest::newRow("base block only") << set16(set16(good, kDataLengthOffset, 53), kExternTableOffset, 0)
                                         << DumpCheck::Passed << "";
        QTest::newRow("table ends at the length") << tableMovedTo(good, 0x0180 - kExternTableLength)
                                                  << DumpCheck::Passed << "";
        QTest::newRow("entry at the last byte") << set16(tail, ip, 0x017F) << DumpCheck::Passed << "";
    }
    void damaged()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(DumpCheck, check);
        QFETCH(QString, message);
        // Through a real file, so that the reading is tested too.
        QTemporaryDir dir;
        const QString path = dir.filePath("dump.bin");
        QVERIFY(test::writeFile(path, bytes));
        CtrlInfoDump d;
        QString why = "unchanged";
        QCOMPARE(loadCtrlInfoDump(path, d, why), check);
        QCOMPARE(why, message);
        QCOMPARE(d.bytes.empty(), check != DumpCheck::Passed);
    }

    // Only the first 64 KiB of a file can be control info; a larger file is not read whole, and a
    // missing one is unreadable.
    void filesLargeAndMissing()
    {
        QTemporaryDir dir;
        const QString big = dir.filePath("big.bin");
        QVERIFY(test::writeFile(big, image() + test::pattern(1 << 20)));
        CtrlInfoDump d;
        QString why;
        QCOMPARE(loadCtrlInfoDump(big, d, why), DumpCheck::Passed);
        QCOMPARE(d.fileSize, qint64(384 + (1 << 20)));
        QCOMPARE(d.bytes.size(), size_t(384));
        QCOMPARE(loadCtrlInfoDump(dir.filePath("none.bin"), d, why), DumpCheck::Unreadable);
        QVERIFY(why.startsWith("cannot read the file: "));
    }

    void diff_data()
    {
        QTest::addColumn<QByteArray>("b");
        QTest::addColumn<QList<int>>("baseBlock"); // offsets
        QTest::addColumn<bool>("table");
        QTest::addColumn<QList<int>>("sections");
        QTest::addColumn<int>("other");
        QTest::addColumn<bool>("same");
        const QByteArray a = image();
        QTest::newRow("bytes after the length") << a + "more" << QList<int>{} << false << QList<int>{} << 0 << true;
        // The record gone: the table differs, and Gamma now runs on to OSD Config.
        QTest::newRow("record removed") << set16(a, entry(CtrlInfoSection::ImageProperty), 0) << QList<int>{} << true
                                        << QList<int>{9, 16} << 0 << false;
        QTest::newRow("longer data length") << set16(a + QByteArray(16, '\0'), kDataLengthOffset, 0x0190)
                                            << QList<int>{5} << false << QList<int>{19} << 0 << false;
    }
    void diff()
    {
        QFETCH(QByteArray, b);
        QFETCH(QList<int>, baseBlock);
        QFETCH(bool, table);
        QFETCH(QList<int>, sections);
        QFETCH(int, other);
        QFETCH(bool, same);
        const CtrlInfoDump da = parsed(image()), db = parsed(b);
        const CtrlInfoDiff d = diffCtrlInfo(da, db);
        QList<int> offsets;
        for (const ByteDiff &x : d.baseBlock) {
            QCOMPARE(x.a, uint8_t(da.bytes[x.offset]));
            QCOMPARE(x.b, uint8_t(db.bytes[x.offset]));
            offsets << x.offset;
        }
        QCOMPARE(offsets, baseBlock);
        QCOMPARE(d.table.differs(), table);
        QCOMPARE(differingSections(d), sections);
        QCOMPARE(d.other.differing, other);
        QCOMPARE(d.same, same);
        // The other way round, the same parts differ.
        const CtrlInfoDiff r = diffCtrlInfo(db, da);
        QCOMPARE(differingSections(r), sections);
        QCOMPARE(r.baseBlock.size(), d.baseBlock.size());
    }

    // Every byte of the control info changed in turn is reported in the part that holds it, at
    // its offset there; and a long run of changes lists its first eight offsets.
    void everyChangeIsReportedWhereItLies()
    {
        const QByteArray a = image();
        const CtrlInfoDump da = parsed(a);
        for (int at = 0; at < a.size(); ++at) {
            CtrlInfoDump db;
            QString why;
            if (parse(setByte(a, at, uint8_t(~uint8_t(a[at]))), db, why) != DumpCheck::Passed)
                continue; // a signature or a length that no longer holds
            const CtrlInfoDiff d = diffCtrlInfo(da, db);
            QVERIFY(!d.same);
            const auto in = [&](const DumpSection &s) { return s.present() && at >= s.address && at < s.address + s.size; };
            const auto reports = [&](const RangeDiff &r, int offset) {
                return r.first == std::vector<uint16_t>{uint16_t(offset)} && r.differing == 1;
            };
            int section = -1;
            for (int n = 0; n < kExternTableEntries; ++n)
                if (in(da.sections[size_t(n)]))
                    section = n;
            if (at < kBaseInfoLength)
                QVERIFY2(d.baseBlock.size() == 1 && d.baseBlock[0].offset == at, qPrintable(QString::number(at)));
            else if (in({da.tableAddress, kExternTableLength}))
                QVERIFY2(d.table.differs(), qPrintable(QString::number(at)));
            else if (section >= 0)
                QVERIFY2(reports(d.sections[size_t(section)].bytes, at - da.sections[size_t(section)].address),
                         qPrintable(QString::number(at)));
            else
                QVERIFY2(reports(d.other, at), qPrintable(QString::number(at)));
        }
        QByteArray b = a;
        for (int at = 0x70; at < 0x70 + 20; ++at)
            b[at] = char(~b[at]);
        const CtrlInfoDiff d = diffCtrlInfo(da, parsed(b));
        const RangeDiff &sensor = d.sections[0].bytes;
        QCOMPARE(sensor.differing, 20);
        QCOMPARE(sensor.first, (std::vector<uint16_t>{0, 1, 2, 3, 4, 5, 6, 7}));
    }

    // zmctl on the chip's control info: ctrlinfo-show takes it apart; ctrlinfo-diff tells
    // a change (exit 1, the parts named); a damaged file says which check failed and exits 1.
    void zmctlShowAndDiff()
    {
        QTemporaryDir dir;
        const QString a = dir.filePath("a.bin"); // what zmctl upload writes, as the tools' tests show
        QVERIFY(test::writeFile(a, image()));
        Run r = zmctl({"ctrlinfo-show", a});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.size(), 4 + 1 + 21 + 6 + 1);
        for (const QString &line : {"File:             " + a + ", 384 bytes", QString(" 1  CCIR656 Config    absent"),
                                    QString("19  Comm Formula      0x0140      64"),
                                    QString("  Saturation    (0x48), 1.687500"),
                                    QString("Enabled at start (offset 36 = 0x1E): contrast, brightness, hue, saturation")})
            QVERIFY2(r.out.contains(line), qPrintable(line + "\n--- not in ---\n" + r.out.join('\n')));

        QByteArray changed = test::readFile(a);
        changed[36] = 0x16; // the enable bits in the base block
        changed[0xD3] = 0x30; // a gamma point
        const QString b = dir.filePath("b.bin"), cut = dir.filePath("cut.bin");
        QVERIFY(test::writeFile(b, changed));
        QVERIFY(test::writeFile(cut, changed.left(200)));
        r = zmctl({"ctrlinfo-diff", a, b});
        QCOMPARE(r.code, 1);
        for (const QString &line : {QString("  0x0024  1E  16"), QString(" 9  Gamma             differs: at +0x0003 (1 byte)"),
                                    QString("The control info differs: base block, Gamma.")})
            QVERIFY2(r.out.contains(line), qPrintable(line + "\n--- not in ---\n" + r.out.join('\n')));
        r = zmctl({"ctrlinfo-diff", a, cut});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, "zmctl: " + cut + ": not a control-info dump; data length past the file: the data length is 0x0180 "
                              "(384 bytes), the file has 200 bytes\n");
    }
};

QTEST_GUILESS_MAIN(TestCtrlInfoCore)
#include "tst_ctrlinfo_core.moc"
