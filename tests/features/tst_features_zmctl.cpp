// zmctl's feature commands as a user runs them, against the simulated chip: the frames each
// sends (the same as its window's), what it prints, and the usage errors that send nothing.

#include "sim/pty_chip.h"
#include "tests/common/zmctl_run.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TestFeaturesZmctl : public QObject
{
    Q_OBJECT

    using Run = zm::test::ZmctlRun;
    Run zmctl(zm::sim::PtyChip &chip, const QStringList &args) { return zm::test::runZmctl(chip.slavePath(), args); }
    static QStringList hexFrames(const zm::sim::PtyChip &chip)
    {
        QStringList hex;
        for (const QByteArray &f : chip.frames())
            hex << QString::fromLatin1(f.toHex().toUpper());
        return hex;
    }

private slots:
    void commands_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QString>("out");
        QTest::newRow("time-set") << QStringList{"time-set", "2024-02-29 23:59:58"} << QStringList{"5600500707E8021D173B3A"} << "";
        QTest::newRow("time-set in two") << QStringList{"time-set", "2024-02-29", "23:59:58"} << QStringList{"5600500707E8021D173B3A"} << "";
        QTest::newRow("zoom-set") << QStringList{"zoom-set", "608", "456", "0", "0"} << QStringList{"56005208026001C800000000"} << "";
        QTest::newRow("zoom-get") << QStringList{"zoom-get"} << QStringList{"56005300"}
                                  << "SrcWidth=640 SrcHeight=480 ZoomWidth=640 ZoomHeight=480 hStartPos=0 vStartPos=0\n";
        QTest::newRow("downsize-set") << QStringList{"downsize-set", "1/4", "1/2"} << QStringList{"5600540112"} << "";
        QTest::newRow("colour") << QStringList{"feature-set", "color", "--source", "gpio", "--mode", "manual-bw"}
                                << QStringList{"56003C020003"} << "";
        QTest::newRow("mirror") << QStringList{"feature-set", "mirror", "--mode=mirror", "--source=uart"}
                                << QStringList{"56003A020101"} << "";
        QTest::newRow("flicker") << QStringList{"feature-set", "ae-flicker", "--source", "uart", "--mode", "60hz"}
                                 << QStringList{"56004003000101"} << "";
        QTest::newRow("get colour") << QStringList{"feature-get", "color"} << QStringList{"56003D00"} << "source=uart mode=auto\n";
        QTest::newRow("gamma-set default") << QStringList{"gamma-set", "default"}
                                           << QStringList{"5600310C010819400810182028303840", "5600310C0108194850607080A0C0E000",
                                                          "5600310C010819501023394C5D6A757F", "5600310C0108195890 9FACB8CCDDEFFF",
                                                          "560031050101190402"}
                                           << "";
    }
    void commands()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, sent);
        QFETCH(QString, out);
        zm::sim::PtyChip chip;
        const Run r = zmctl(chip, args);
        QCOMPARE(r.err, QString());
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, out);
        for (QString &s : sent)
            s.remove(' ');
        QCOMPARE(hexFrames(chip), sent);
    }

    // Usage errors name what is wrong, exit 2 and send nothing.
    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("named");
        QTest::newRow("month 13") << QStringList{"time-set", "2024-13-01 00:00:00"} << "2024-13-01 00:00:00";
        QTest::newRow("zoom over 65535") << QStringList{"zoom-set", "1", "2", "3", "65536"} << "Y must be";
        QTest::newRow("down-size 1/3") << QStringList{"downsize-set", "1/3", "1"} << "1/3";
        QTest::newRow("unknown feature") << QStringList{"feature-get", "colour"} << "colour";
        QTest::newRow("unknown mode") << QStringList{"feature-set", "color", "--source", "uart", "--mode", "manual"} << "manual";
        QTest::newRow("no mode") << QStringList{"feature-set", "mirror", "--source", "uart"} << "--mode none|mirror";
    }
    void usageErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, named);
        zm::sim::PtyChip chip;
        const Run r = zmctl(chip, args);
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.startsWith("zmctl: ") && r.err.contains(named), qPrintable(r.err));
        QVERIFY(chip.frames().isEmpty());
    }

    // What gamma-get prints, gamma-set takes back; a file with a bad token is refused by name,
    // and a failure of the chip exits 1 with the result text.
    void gammaFiles()
    {
        zm::sim::PtyChip chip;
        QByteArray table(32, '\0');
        for (int i = 0; i < 32; ++i)
            table[i] = char(255 - i * 5);
        chip.writeMemory(zm::MemoryType::Chip, 0x1940, table);
        QTemporaryDir dir;
        const QString file = dir.filePath("gamma.txt");
        const auto save = [&](const QByteArray &text) {
            QFile f(file);
            return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
        };
        Run r = zmctl(chip, {"gamma-get"});
        QCOMPARE(r.code, 0);
        QVERIFY(save(r.out.toLatin1()));
        chip.writeMemory(zm::MemoryType::Chip, 0x1940, QByteArray(32, '\0'));
        r = zmctl(chip, {"gamma-set", file});
        QCOMPARE(r.code, 0);
        QCOMPARE(chip.readMemory(zm::MemoryType::Chip, 0x1940, 32), table);

        QVERIFY(save("0x08, 16, 24\n0x1G"));
        chip.clearFrames();
        r = zmctl(chip, {"gamma-set", file});
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains("\"0x1G\""), qPrintable(r.err));
        QVERIFY(chip.frames().isEmpty());

        QVERIFY(chip.addFault("status=5,cmd=0x30"));
        r = zmctl(chip, {"gamma-get"});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QString());
        QCOMPARE(r.err, QString("zmctl: Cmd recept, but execute failed\nzmctl: read-data (chip 0x1940, 8 items): the chip "
                                "took it but could not carry it out: check that the memory it addresses is fitted\n"));
    }

    // The clock prints in its one form and runs from what was set.
    void clockRuns()
    {
        zm::sim::PtyChip chip;
        QCOMPARE(zmctl(chip, {"time-set", "2030-12-31 23:59:59"}).code, 0);
        const Run r = zmctl(chip, {"time-get"});
        QCOMPARE(r.code, 0);
        QVERIFY2(QRegularExpression("^(2030-12-31 23:59:59|2031-01-01 00:00:0\\d)\n$").match(r.out).hasMatch(),
                 qPrintable(r.out));
        QCOMPARE(zmctl(chip, {"time-set", "now"}).code, 0);
        QCOMPARE(chip.frames().last().mid(4, 2), QByteArray::fromHex(QByteArray::number(QDate::currentDate().year(), 16).rightJustified(4, '0')));
    }
};

QTEST_GUILESS_MAIN(TestFeaturesZmctl)
#include "tst_features_zmctl.moc"
