// Motion detection without a window: the monitor on a line where the test decides every byte
// and its timing, and zmctl's motion commands as a user runs them against the simulated chip.

#include "link/messages.h"
#include "motion/motion_monitor.h"
#include "motion/motion_settings.h"
#include "sim/pty_chip.h"
#include "tests/common/zmctl_run.h"
#include "tests/link/scripted_peer.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace zm;
using test::PeerAction;
using test::ScriptedPeer;

namespace {

const QByteArray kOpen = QByteArray::fromHex("5600370101");
const QByteArray kClose = QByteArray::fromHex("5600370100");
const QByteArray kStatus = QByteArray::fromHex("56003800");

QByteArray notification(uint8_t serial = 0, uint8_t status = 0)
{
    return ScriptedPeer::answer(cmd::MotionNotification, status, {}, serial);
}

// A chip that answers the open and close of comm motion with `controlStatus` and reports comm
// motion as `whenOpen` after an open, `whenClosed` after a close. The first status answer after
// an open comes after the bytes `before`, and is followed by `after`.
ScriptedPeer::Script commMotionChip(uint8_t controlStatus, uint8_t whenOpen, uint8_t whenClosed,
                                    const QByteArray &before = {}, const std::vector<PeerAction> &after = {})
{
    auto open = std::make_shared<bool>(false);
    auto told = std::make_shared<bool>(false);
    return [=](const QByteArray &f) -> std::vector<PeerAction> {
        const uint8_t code = uint8_t(f[2]);
        if (code == cmd::CommMotionControl) {
            *open = f[4] == 1;
            return {{ScriptedPeer::answer(code, controlStatus)}};
        }
        if (code != cmd::GetCommMotionStatus)
            return {};
        std::vector<PeerAction> actions{{ScriptedPeer::answer(code, 0, QByteArray(1, char(*open ? whenOpen : whenClosed)))}};
        if (*open && !std::exchange(*told, true)) {
            actions[0].bytes.prepend(before);
            actions.insert(actions.end(), after.begin(), after.end());
        }
        return actions;
    };
}

// A monitor run against commMotionChip(): how the chip behaves and what the run reports.
struct Run {
    uint8_t controlStatus = 0, whenOpen = 1, whenClosed = 0;
    QByteArray beforeStatus{};
    int notes = 0;
    QStringList statuses{}, messages{};
    QList<QByteArray> frames{};
};

// A monitor run on the test's thread, as a worker runs it, and all it reported.
struct Watch {
    bool result = false;
    QList<MotionNotification> notes;
    QStringList statuses, messages;
};

Watch watch(CommandLayer &layer, const MotionWatchLimits &limits = {})
{
    Watch w;
    Commands commands(layer);
    Report report;
    report.status = [&](const QString &s) { w.statuses << s; };
    report.message = [&](const QString &s, MessageKind) { return w.messages << s, true; };
    MotionMonitor monitor(commands, report, [&](const MotionNotification &n) { w.notes << n; });
    w.result = monitor.run(limits);
    return w;
}

// The intervals of zmctl's watch lines, "<count> <YYYY-MM-DD hh:mm:ss:mmm> <interval> ms",
// counted from 1 with a first interval of 0; empty when the lines are not so.
QList<int> watchIntervals(const QString &out)
{
    static const QRegularExpression line("^(\\d+) \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d:\\d{3} (\\d+) ms$");
    QList<int> intervals;
    for (const QString &l : out.split('\n', Qt::SkipEmptyParts)) {
        const auto m = line.match(l);
        if (!m.hasMatch() || m.captured(1).toInt() != intervals.size() + 1)
            return {};
        intervals << m.captured(2).toInt();
    }
    return intervals.value(0, -1) == 0 ? intervals : QList<int>{};
}

} // namespace

Q_DECLARE_METATYPE(Run)

class TestMotion : public QObject
{
    Q_OBJECT

    static test::ZmctlRun zmctl(const sim::PtyChip &chip, const QStringList &args) { return test::runZmctl(chip.slavePath(), args); }

private slots:
    // Every complete notification of ours is counted once, however its bytes are spread over
    // time: one cut by a pause longer than a wait, two in one batch. Frames with another serial
    // number, a failing status or another code are not counted. Then the line goes away: the
    // run ends instead of spinning on a dead port.
    void piecesStrangersAndALostLine()
    {
        const QByteArray n = notification();
        const QByteArray batch = n + notification(7) + notification(0, 5) + ScriptedPeer::answer(cmd::GetVersion) + n;
        ScriptedPeer peer(commMotionChip(0, 1, 0, {}, {{n.left(3), 300}, {n.mid(3), 250}, {batch, 100}, {{}, 300, true}}));
        CommandLayer layer;
        QVERIFY(layer.open(peer.path(), "38400,n,8,1"));
        const Watch w = watch(layer);
        QVERIFY(!w.result);
        QVERIFY(layer.portLost());
        QCOMPARE(w.notes.size(), 3);
        QCOMPARE(w.notes.last().count, 3);
    }

    // A run against a chip that opens and closes comm motion as told, or that refuses the open,
    // or keeps comm motion closed, or open. A notification that comes while the status after
    // the open is asked for is counted with the others, not shown as stray bytes.
    void runs_data()
    {
        QTest::addColumn<Run>("run");
        QTest::newRow("notification during the opening query")
            << Run{.beforeStatus = notification(), .notes = 1, .statuses = {"Opened", "Closed"},
                   .frames = {kOpen, kStatus, kClose, kStatus}};
        QTest::newRow("open refused")
            << Run{.controlStatus = 5, .messages = {"Cmd recept, but execute failed"}, .frames = {kOpen}};
        QTest::newRow("stays closed")
            << Run{.whenOpen = 0, .statuses = {"Closed"}, .messages = {msg::kOpenCommMotionFailed}, .frames = {kOpen, kStatus}};
        QTest::newRow("stays open") << Run{.whenClosed = 1, .statuses = {"Opened", "Opened"},
                                           .messages = {msg::kCloseCommMotionFailed}, .frames = {kOpen, kStatus, kClose, kStatus}};
    }
    void runs()
    {
        QFETCH(Run, run);
        ScriptedPeer peer(commMotionChip(run.controlStatus, run.whenOpen, run.whenClosed, run.beforeStatus));
        CommandLayer layer;
        QVERIFY(layer.open(peer.path(), "38400,n,8,1"));
        QByteArray shown;
        QObject::connect(&layer, &CommandLayer::idleBytes, &layer, [&](const QByteArray &b) { shown += b; },
                         Qt::DirectConnection);
        const Watch w = watch(layer, {.count = 1, .ms = 300});
        QCOMPARE(w.result, run.messages.isEmpty());
        QCOMPARE(w.notes.size(), run.notes);
        QCOMPARE(w.statuses, run.statuses);
        QCOMPARE(w.messages, run.messages);
        const auto seen = peer.frames();
        QCOMPARE(QList<QByteArray>(seen.begin(), seen.end()), run.frames);
        QCOMPARE(layer.receiveState(), ReceiveState::Idle);
        QVERIFY(shown.isEmpty());
    }

    // A watch ends by itself after N notifications (here at the chip's own 1500 ms apart) or
    // S seconds, closes comm motion and checks it closed; --csv holds the same rows.
    void zmctlWatchEnds_data()
    {
        QTest::addColumn<QStringList>("limit");
        QTest::addColumn<int>("chipInterval");
        QTest::addColumn<int>("lines"); // exactly, or -1 for at least one
        QTest::newRow("count") << QStringList{"--count", "3"} << 1500 << 3;
        QTest::newRow("seconds") << QStringList{"--seconds", "1"} << 50 << -1;
    }
    void zmctlWatchEnds()
    {
        QFETCH(QStringList, limit);
        QFETCH(int, chipInterval);
        QFETCH(int, lines);
        sim::PtyChip chip;
        chip.setMotionInterval(chipInterval);
        QTemporaryDir dir;
        const QString csv = dir.filePath("watch.csv");
        const test::ZmctlRun r = zmctl(chip, QStringList{"motion-watch", "--csv", csv} + limit);
        QCOMPARE(r.code, 0);
        QCOMPARE(r.err, QString());
        const QList<int> intervals = watchIntervals(r.out);
        QVERIFY2(lines < 0 ? !intervals.isEmpty() : intervals.size() == lines, qPrintable(r.out));
        if (chipInterval == 1500) {
            for (int ms : intervals.mid(1))
                QVERIFY2(ms > 1000 && ms < 2500, qPrintable(r.out));
        }
        QVERIFY(!chip.commMotionOpen());
        QCOMPARE(chip.frames().mid(chip.frames().size() - 2), (QList<QByteArray>{kClose, kStatus}));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> rows = f.readAll().split('\n');
        QCOMPARE(rows.first(), QByteArray("count,time,interval_ms"));
        QCOMPARE(rows.size(), intervals.size() + 2);
        QVERIFY(rows[1].startsWith("1,") && rows[1].endsWith(",0"));
    }

    // Ctrl+C is how a watch without a limit ends: comm motion is closed, exit 0.
    void zmctlInterruptClosesCommMotion()
    {
        sim::PtyChip chip;
        chip.setMotionInterval(100);
        QProcess p;
        p.start(QStringLiteral(ZMCTL), {"--port", chip.slavePath(), "motion-watch"});
        QVERIFY(p.waitForStarted());
        QVERIFY(chip.waitUntil([](const sim::ChipModel &m) { return m.notificationCount() >= 2; }, 10000));
        QVERIFY(p.waitForReadyRead(10000));
        ::kill(pid_t(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(!watchIntervals(QString::fromLatin1(p.readAllStandardOutput())).isEmpty());
        QVERIFY(!chip.commMotionOpen());
        QCOMPARE(chip.frames().mid(chip.frames().size() - 2), (QList<QByteArray>{kClose, kStatus}));
    }

    // motion-set sends the window's frames; a value not given is the chip's, read first.
    void zmctlSetAndGet()
    {
        sim::PtyChip chip;
        test::ZmctlRun r = zmctl(chip, {"motion-set", "--mode", "gpio", "--disable", "--alarm-type", "always", "--alarm-level",
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

    void zmctlUsageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("nothing") << QStringList{"motion-set"};
        QTest::newRow("both") << QStringList{"motion-set", "--enable", "--disable"};
        QTest::newRow("time") << QStringList{"motion-set", "--alarm-time", "65536"};
        QTest::newRow("count") << QStringList{"motion-watch", "--count", "0"};
    }
    void zmctlUsageErrors()
    {
        QFETCH(QStringList, args);
        sim::PtyChip chip;
        const test::ZmctlRun r = zmctl(chip, args);
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.startsWith("zmctl: "));
        QVERIFY(chip.frames().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMotion)
#include "tst_motion.moc"
