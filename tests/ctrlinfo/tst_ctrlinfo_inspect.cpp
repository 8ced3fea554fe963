// The inspector of control-info dumps: the simulated chip's control info taken apart as the chip's
// own lookup finds it, every check of a damaged file with its message, record sizes, and what a
// diff reports for a change in each part of a dump.

#include "ctrlinfo/ctrl_info_inspect.h"
#include "ctrlinfo/ctrl_info.h"
#include "link/protocol.h"
#include "sim/ctrl_info_image.h"
#include "tests/ctrlinfo/ctrl_info_rig.h"

#include <QTest>

using namespace zm;
using Place = sim::CtrlInfoPlace;

Q_DECLARE_METATYPE(zm::sim::CtrlInfoPlace)
Q_DECLARE_METATYPE(zm::DumpCheck)

namespace {

QByteArray image(Place place = Place::I2cEeprom)
{
    return sim::ctrlInfoImage(place);
}

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

} // namespace

class TestCtrlInfoInspect : public QObject
{
    Q_OBJECT

private slots:
    // The dump of each memory is read as the chip's own lookup reads that memory: every record
    // at the address FindCtrlInfoRecord finds, also with records moved around.
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

        test::CtrlInfoRig rig(place);
        rig.chip.writeMemory(MemoryType(ctrlInfoMemoryType(device)), 0, bytes);
        for (int n = 0; n < kExternTableEntries; ++n) {
            uint16_t onChip = 0xFFFF;
            QCOMPARE(FindCtrlInfoRecord(rig.c, device, CtrlInfoSection(n), onChip), uint8_t(0));
            QCOMPARE(d.sections[size_t(n)].address, onChip);
        }
        const auto record = d.imageProperty();
        QVERIFY(record);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(record->data()), kImagePropertyLength),
                 rig.memory(MemoryType(ctrlInfoMemoryType(device)), sim::kImagePropertyAddress, kImagePropertyLength));
    }

    // A record runs up to whatever starts next: another record, the table, or the end of the
    // control info. Records that share an address share their span.
    void sizes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<int>>("sizes"); // of sections 0, 2, 9, 16, 17, 19
        QTest::newRow("as the chip has them") << image() << QList<int>{64, 32, 48, 16, 48, 64};
        // Gamma moved in front of the table ends there; AE Parameter runs on to Image Property.
        QTest::newRow("record before the table") << set16(image(), entry(CtrlInfoSection::Gamma), 0x0036)
                                                 << QList<int>{64, 80, 10, 16, 48, 64};
        QTest::newRow("shared address") << set16(image(), entry(CtrlInfoSection::OsdConfig), 0x0100)
                                        << QList<int>{64, 32, 48, 64, 64, 64};
        QTest::newRow("last byte") << set16(image(), entry(CtrlInfoSection::CommFormula), 0x017F)
                                   << QList<int>{64, 32, 48, 16, 111, 1};
    }
    void sizes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<int>, sizes);
        const CtrlInfoDump d = parsed(bytes);
        QList<int> got;
        for (int n : {0, 2, 9, 16, 17, 19})
            got << d.sections[size_t(n)].size;
        QCOMPARE(got, sizes);
    }

    void damaged_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<DumpCheck>("check");
        QTest::addColumn<QString>("message");
        const QByteArray good = image();
        const QByteArray tail = good + QByteArray(640, '\xFF'); // a whole-memory upload
        const int ip = entry(CtrlInfoSection::ImageProperty);
        QTest::newRow("empty") << QByteArray() << DumpCheck::Signature << "no signature: the file is empty";
        QTest::newRow("one byte") << QByteArray("\xAA") << DumpCheck::Signature << "no signature: the file has only 1 byte";
        QTest::newRow("text") << QByteArray("hello, world\n").repeated(40) << DumpCheck::Signature
                              << "no signature: the file starts with 68 65; a dump starts with AA 55 (EEPROM) or AA 56 "
                                 "(SPI flash)";
        QTest::newRow("base block cut") << good.left(52) << DumpCheck::BaseBlock
                                        << "base block cut short: the file ends after 52 bytes, inside the 53-byte "
                                           "base block";
        QTest::newRow("cut short") << good.left(300) << DumpCheck::DataLengthPastFile
                                   << "data length past the file: the data length is 0x0180 (384 bytes), the file "
                                      "has 300 bytes";
        QTest::newRow("one byte short") << good.left(383) << DumpCheck::DataLengthPastFile
                                        << "data length past the file: the data length is 0x0180 (384 bytes), the "
                                           "file has 383 bytes";
        QTest::newRow("length 52") << set16(good, kDataLengthOffset, 52) << DumpCheck::DataLengthShort
                                   << "data length too short: 0x0034 (52 bytes) ends inside the 53-byte base block";
        QTest::newRow("table past the file") << set16(good, kExternTableOffset, 0x0160) << DumpCheck::TablePastFile
                                             << "extension table past the file: the table at 0x0160 ends at 0x018A, "
                                                "the file has 384 bytes";
        QTest::newRow("table at the top") << set16(good, kExternTableOffset, 0xFFF0) << DumpCheck::TablePastFile
                                          << "extension table past the file: the table at 0xFFF0 ends at 0x1001A, "
                                             "the file has 384 bytes";
        QTest::newRow("table past the length") << set16(tail, kExternTableOffset, 0x0160)
                                               << DumpCheck::TablePastDataLength
                                               << "extension table past the data length: the table at 0x0160 ends "
                                                  "at 0x018A, the data length is 0x0180";
        QTest::newRow("entry past the file") << set16(good, ip, 0x0200) << DumpCheck::EntryOutOfRange
                                             << "table entry out of range: section 16 (Image Property), entry at "
                                                "0x0060, points at 0x0200, past the data length 0x0180 and the end "
                                                "of the file";
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
        QTest::newRow("equal") << a << QList<int>{} << false << QList<int>{} << 0 << true;
        QTest::newRow("bytes after the length") << a + "more" << QList<int>{} << false << QList<int>{} << 0 << true;
        QTest::newRow("one gamma byte") << setByte(a, 0xD3, 0) << QList<int>{} << false << QList<int>{9} << 0 << false;
        QTest::newRow("enable bits") << setByte(a, kIspWord3LowOffset, 0x16) << QList<int>{36} << false << QList<int>{}
                                     << 0 << false;
        QTest::newRow("gap after the base block") << setByte(a, 0x35, 0) << QList<int>{} << false << QList<int>{} << 1
                                                  << false;
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
};

QTEST_GUILESS_MAIN(TestCtrlInfoInspect)
#include "tst_ctrlinfo_inspect.moc"
