// zmctl's inspector as a user runs it: a dump uploaded from the simulated chip taken apart with
// ctrlinfo-show, changed copies compared with ctrlinfo-diff, and files that are no dumps refused.
// Neither command opens a port.

#include "sim/ctrl_info_image.h"
#include "tests/common/zmctl_run.h"
#include "tests/ctrlinfo/ctrl_info_rig.h"

#include <QRegularExpression>
#include <QTest>

using namespace zm;
using Place = sim::CtrlInfoPlace;

Q_DECLARE_METATYPE(zm::sim::CtrlInfoPlace)

namespace {

struct Run {
    int code = -1;
    QStringList out; // the lines printed
    QString err;
};

// A port that does not exist: the inspector must not need one.
Run zmctl(const QStringList &args, const QString &port = QStringLiteral("/dev/zm-no-such-port"))
{
    const test::ZmctlRun r = test::runZmctl(port, args);
    QStringList out = r.out.split('\n');
    if (out.last().isEmpty())
        out.removeLast();
    return {r.code, out, r.err};
}

// The control info of the chip, as `zmctl upload` writes it.
QString upload(Place place, const QTemporaryDir &dir)
{
    sim::PtyChip chip(test::chipOptions(place));
    const QString path = dir.filePath(QStringLiteral("dump%1.bin").arg(int(place)));
    const Run r = zmctl({"upload", path}, chip.slavePath());
    if (r.code != 0)
        qFatal("upload: %s", qPrintable(r.err));
    return path;
}

QString changed(const QString &from, const QString &to, const QList<QPair<int, char>> &bytes)
{
    QByteArray b = test::readFile(from);
    for (const auto &[at, value] : bytes)
        b[at] = value;
    if (!test::writeFile(to, b))
        qFatal("cannot write %s", qPrintable(to));
    return to;
}

} // namespace

class TestZmctlCtrlInfo : public QObject
{
    Q_OBJECT

private slots:
    void show_data()
    {
        QTest::addColumn<Place>("place");
        QTest::addColumn<QString>("signature");
        QTest::newRow("i2c") << Place::I2cEeprom << "AA55 (I2C E2prom or SPI E2prom)";
        QTest::newRow("flash") << Place::SpiFlash << "AA56 (SPI Flash)";
    }
    void show()
    {
        QFETCH(Place, place);
        QFETCH(QString, signature);
        QTemporaryDir dir;
        const QString path = upload(place, dir);
        const Run r = zmctl({"ctrlinfo-show", path});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.err, QString());
        const QStringList expected = {
            "File:             " + path + ", 384 bytes",
            "Signature:        " + signature,
            "Data length:      0x0180 (384 bytes)",
            "Extension table:  0x0040",
            " 0  Sensor Config     0x0070      64",
            " 1  CCIR656 Config    absent",
            "16  Image Property    0x0100      16",
            "19  Comm Formula      0x0140      64",
            "Image Property at 0x0100:",
            "  Brightness    (0x00),   0",
            "  Contrast      (0x80), 1.0000000",
            "  Off contrast  (0x80), 128",
            "  Hue           (0x00),   0",
            "  Saturation    (0x48), 1.687500",
            "Enabled at start (offset 36 = 0x1E): contrast, brightness, hue, saturation",
        };
        for (const QString &line : expected)
            QVERIFY2(r.out.contains(line), qPrintable(line + "\n--- not in ---\n" + r.out.join('\n')));
        QCOMPARE(r.out.size(), 4 + 1 + 21 + 6 + 1);
    }

    // A file that is no dump says which check failed and exits 1, like a failed verify; a name
    // that is no file is a usage error.
    void refusals_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // empty: no file at all
        QTest::addColumn<QStringList>("args"); // "F": the file, "G": a good dump
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("err");
        const QByteArray good = sim::ctrlInfoImage(Place::I2cEeprom);
        QTest::newRow("text") << QByteArray("hello\n") << QStringList{"ctrlinfo-show", "F"} << 1
                              << "F: not a control-info dump; no signature: the file starts with 68 65; a dump starts "
                                 "with AA 55 (EEPROM) or AA 56 (SPI flash)\n";
        QTest::newRow("cut short") << good.left(200) << QStringList{"ctrlinfo-show", "F"} << 1
                                   << "F: not a control-info dump; data length past the file: the data length is "
                                      "0x0180 (384 bytes), the file has 200 bytes\n";
        QTest::newRow("diff with a damaged B") << good.left(200) << QStringList{"ctrlinfo-diff", "G", "F"} << 1
                                               << "F: not a control-info dump; data length past the file: the data "
                                                  "length is 0x0180 (384 bytes), the file has 200 bytes\n";
        QTest::newRow("missing") << QByteArray() << QStringList{"ctrlinfo-show", "F"} << 2
                                 << "zmctl: FILE must be a file that exists: \"F\"\n";
        QTest::newRow("missing A") << QByteArray() << QStringList{"ctrlinfo-diff", "F", "G"} << 2
                                   << "zmctl: A must be a file that exists: \"F\"\n";
    }
    void refusals()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, err);
        QTemporaryDir dir;
        const QString file = dir.filePath("file.bin"), good = dir.filePath("good.bin");
        QVERIFY(test::writeFile(good, sim::ctrlInfoImage(Place::I2cEeprom)));
        if (!bytes.isEmpty())
            QVERIFY(test::writeFile(file, bytes));
        args.replaceInStrings(QRegularExpression("^F$"), file);
        args.replaceInStrings(QRegularExpression("^G$"), good);
        const Run r = zmctl(args);
        QCOMPARE(r.code, code);
        QCOMPARE(r.err, QString(err).replace(QRegularExpression("\\bF\\b"), file));
        QCOMPARE(r.out, QStringList());
    }

    void diff()
    {
        QTemporaryDir dir;
        const QString a = upload(Place::I2cEeprom, dir);
        // The enable bits in the base block and one gamma point.
        const QString b = changed(a, dir.filePath("b.bin"), {{36, 0x16}, {0xD3, 0x30}});
        Run r = zmctl({"ctrlinfo-diff", a, b});
        QCOMPARE(r.code, 1);
        for (const QString &line : {"A: " + a + ", 384 bytes, data length 0x0180",
                                    QString("Base block: differs in 1 byte"), QString("  0x0024  1E  16"),
                                    QString("Extension table: same"), QString(" 0  Sensor Config     same"),
                                    QString(" 1  CCIR656 Config    absent"),
                                    QString(" 9  Gamma             differs: at +0x0003 (1 byte)"),
                                    QString("Other bytes: same"), QString("The control info differs: base block, Gamma.")})
            QVERIFY2(r.out.contains(line), qPrintable(line + "\n--- not in ---\n" + r.out.join('\n')));

        // Bytes after the control info (a whole-memory upload) do not make dumps differ.
        const QString whole = dir.filePath("whole.bin");
        QVERIFY(test::writeFile(whole, test::readFile(a) + QByteArray(1024, '\xFF')));
        r = zmctl({"ctrlinfo-diff", a, whole});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("B: " + whole + ", 1408 bytes (1024 after the control info), data length 0x0180"));
        QCOMPARE(r.out.last(), QString("The control info is the same."));
    }
};

QTEST_GUILESS_MAIN(TestZmctlCtrlInfo)
#include "tst_zmctl_ctrlinfo.moc"
