// zmctl's motion commands as a user runs them: the built program against the simulated chip.

#include "sim/pty_chip.h"
#include "tests/common/zmctl_run.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

const QByteArray kClose = QByteArray::fromHex("5600370100");
const QByteArray kStatus = QByteArray::fromHex("56003800");

// "<count> <YYYY-MM-DD hh:mm:ss:mmm> <interval> ms", one line per notification, counted from 1
// with a first interval of 0. Returns the number of good lines, or -1.
int watchLines(const QString &out)
{
    static const QRegularExpression line("^(\\d+) \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d:\\d{3} (\\d+) ms$");
    const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
    for (int i = 0; i < lines.size(); ++i) {
        const auto m = line.match(lines[i]);
        if (!m.hasMatch() || m.captured(1).toInt() != i + 1 || (i == 0 && m.captured(2) != "0"))
            return -1;
    }
    return int(lines.size());
}

} // namespace

class TestMotionZmctl : public QObject
{
    Q_OBJECT

    using Run = zm::test::ZmctlRun;
    Run zmctl(const zm::sim::PtyChip &chip, const QStringList &args) { return zm::test::runZmctl(chip.slavePath(), args); }

private slots:
    // A watch ends by itself after N notifications or S seconds, closes comm motion and checks
    // it closed; --csv holds the same rows.
    void watchEnds_data()
    {
        QTest::addColumn<QStringList>("limit");
        QTest::addColumn<int>("lines"); // exactly, or -1 for at least one
        QTest::newRow("count") << QStringList{"--count", "3"} << 3;
        QTest::newRow("seconds") << QStringList{"--seconds", "1"} << -1;
    }
    void watchEnds()
    {
        QFETCH(QStringList, limit);
        QFETCH(int, lines);
        zm::sim::PtyChip chip;
        chip.setMotionInterval(50);
        QTemporaryDir dir;
        const QString csv = dir.filePath("watch.csv");
        const Run r = zmctl(chip, QStringList{"motion-watch", "--csv", csv} + limit);
        QCOMPARE(r.code, 0);
        QCOMPARE(r.err, QString());
        const int n = watchLines(r.out);
        QVERIFY2(lines < 0 ? n > 0 : n == lines, qPrintable(r.out));
        QVERIFY(!chip.commMotionOpen());
        QCOMPARE(chip.frames().mid(chip.frames().size() - 2), (QList<QByteArray>{kClose, kStatus}));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> rows = f.readAll().split('\n');
        QCOMPARE(rows.first(), QByteArray("count,time,interval_ms"));
        QCOMPARE(rows.size(), n + 2);
        QVERIFY(rows[1].startsWith("1,") && rows[1].endsWith(",0"));
    }

    // Ctrl+C is how a watch without a limit ends: comm motion is closed, exit 0.
    void interruptClosesCommMotion()
    {
        zm::sim::PtyChip chip;
        chip.setMotionInterval(100);
        QProcess p;
        p.start(QStringLiteral(ZMCTL), {"--port", chip.slavePath(), "motion-watch"});
        QVERIFY(p.waitForStarted());
        QVERIFY(chip.waitUntil([](const zm::sim::ChipModel &m) { return m.notificationCount() >= 2; }, 10000));
        QVERIFY(p.waitForReadyRead(10000));
        ::kill(pid_t(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(watchLines(QString::fromLatin1(p.readAllStandardOutput())) >= 1);
        QVERIFY(!chip.commMotionOpen());
        QCOMPARE(chip.frames().mid(chip.frames().size() - 2), (QList<QByteArray>{kClose, kStatus}));
    }

    void watchFailure()
    {
        zm::sim::PtyChip chip;
        QVERIFY(chip.addFault("status=4,cmd=0x37"));
        const Run r = zmctl(chip, {"motion-watch", "--count", "1"});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QString("Cmd can't run in current status\n"));
        QCOMPARE(r.out, QString());
    }

    // motion-set sends the window's frames; a value not given is the chip's, read first.
    void setAndGet()
    {
        zm::sim::PtyChip chip;
        Run r = zmctl(chip, {"motion-set", "--mode", "gpio", "--disable", "--alarm-type", "always", "--alarm-level",
                             "low", "--alarm-time", "250"});
        QCOMPARE(r.code, 0);
        QCOMPARE(chip.frames(), (QList<QByteArray>{QByteArray::fromHex("56004203000000"),
                                                    QByteArray::fromHex("560042040103" "00FA")}));
        chip.clearFrames();
        r = zmctl(chip, {"motion-set", "--enable", "--alarm-time", "7"});
        QCOMPARE(r.code, 0);
        QCOMPARE(chip.frames(), (QList<QByteArray>{QByteArray::fromHex("5600430100"), QByteArray::fromHex("56004203000001"),
                                                    QByteArray::fromHex("5600430101"),
                                                    QByteArray::fromHex("560042040103" "0007")}));
        auto f = chip.features();
        f.motionDetected = 1;
        f.alarmEnabled = 1;
        chip.setFeatures(f);
        r = zmctl(chip, {"motion-get"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QString("mode: gpio\ndetection: enabled\nmotion: detected\nalarm-type: always\n"
                                "alarm-level: low\nalarm-time: 7\nalarm-output: enabled\nalarm-output-state: closed\n"));
    }

    void setUsageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("nothing") << QStringList{"motion-set"};
        QTest::newRow("both") << QStringList{"motion-set", "--enable", "--disable"};
        QTest::newRow("time") << QStringList{"motion-set", "--alarm-time", "65536"};
        QTest::newRow("count") << QStringList{"motion-watch", "--count", "0"};
    }
    void setUsageErrors()
    {
        QFETCH(QStringList, args);
        zm::sim::PtyChip chip;
        const Run r = zmctl(chip, args);
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.startsWith("zmctl: "));
        QVERIFY(chip.frames().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMotionZmctl)
#include "tst_motion_zmctl.moc"
