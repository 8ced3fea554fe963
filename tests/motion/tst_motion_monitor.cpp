// The motion monitor and the window-threshold port on a real line: against the simulated chip,
// and against a scripted peer where the test must decide every byte and its timing.

#include "link/command_layer.h"
#include "link/messages.h"
#include "motion/motion_monitor.h"
#include "motion/motion_settings.h"
#include "sim/pty_chip.h"
#include "tests/link/scripted_peer.h"

#include <QTest>

#include <atomic>
#include <mutex>
#include <thread>

using namespace zm;
using test::PeerAction;
using test::ScriptedPeer;

namespace {

// A monitor on a thread of its own, as the window and zmctl run it, with everything it reports.
class MonitorRun
{
public:
    MonitorRun(CommandLayer &layer, MotionMonitor::Limits limits = {})
        : m_commands(layer)
    {
        m_report.stop = m_stop.get_token();
        m_report.status = [this](const QString &s) { add(m_statuses, s); };
        m_report.message = [this](const QString &s, MessageKind) { return add(m_messages, s), true; };
        m_thread = std::jthread([this, limits] {
            MotionMonitor monitor(m_commands, m_report, [this](const MotionNotification &n) {
                std::lock_guard lock(m_mutex);
                m_notes << n;
            });
            m_result = monitor.run(limits);
            m_done = true;
        });
    }

    // A test that fails half-way still ends the run.
    ~MonitorRun() { stop(); }

    void stop() { m_stop.request_stop(); }
    bool done() const { return m_done; }
    bool result() const { return m_result; }
    QStringList statuses() const { return locked(m_statuses); }
    QStringList messages() const { return locked(m_messages); }
    QList<MotionNotification> notes() const { return locked(m_notes); }

private:
    void add(QStringList &list, const QString &s)
    {
        std::lock_guard lock(m_mutex);
        list << s;
    }
    template <typename T>
    T locked(const T &v) const
    {
        std::lock_guard lock(m_mutex);
        return v;
    }

    Commands m_commands;
    Report m_report;
    std::stop_source m_stop;
    mutable std::mutex m_mutex;
    QStringList m_statuses, m_messages;
    QList<MotionNotification> m_notes;
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_result{false};
    std::jthread m_thread;
};

QByteArray notification(uint8_t serial = 0, uint8_t status = 0)
{
    return ScriptedPeer::answer(cmd::MotionNotification, status, {}, serial);
}

// A chip that answers comm-motion-control with `controlStatus` and reports comm motion as
// `whenOpen` after an open and `whenClosed` after a close.
ScriptedPeer::Script commMotionChip(uint8_t controlStatus, uint8_t whenOpen, uint8_t whenClosed)
{
    auto open = std::make_shared<bool>(false);
    return [=](const QByteArray &f) -> std::vector<PeerAction> {
        const uint8_t code = uint8_t(f[2]);
        if (code == cmd::CommMotionControl) {
            *open = f[4] == 1;
            return {{ScriptedPeer::answer(code, controlStatus)}};
        }
        if (code == cmd::GetCommMotionStatus)
            return {{ScriptedPeer::answer(code, 0, QByteArray(1, char(*open ? whenOpen : whenClosed)))}};
        return {};
    };
}

QList<QByteArray> peerFrames(const ScriptedPeer &peer)
{
    const auto f = peer.frames();
    return QList<QByteArray>(f.begin(), f.end());
}

const QByteArray kOpen = QByteArray::fromHex("5600370101");
const QByteArray kClose = QByteArray::fromHex("5600370100");
const QByteArray kStatus = QByteArray::fromHex("56003800");

} // namespace

class TestMotionMonitor : public QObject
{
    Q_OBJECT

private:
    // The monitor is listening once it has said "Opened" and the assembly is armed.
    static bool listening(const MonitorRun &run, const CommandLayer &layer)
    {
        return run.statuses().contains("Opened") && layer.receiveState() == ReceiveState::AwaitingAnswer;
    }

private slots:
    // The simulated chip's notifications, 1500 ms apart: counted from 1, the first interval 0,
    // the second about the chip's interval; comm motion opened, checked, closed and checked.
    void notificationsOfTheChip()
    {
        sim::PtyChip chip;
        CommandLayer layer;
        QVERIFY(layer.open(chip.slavePath(), "38400,n,8,1"));
        MonitorRun run(layer, {.count = 2});
        QTRY_VERIFY_WITH_TIMEOUT(run.done(), 20000);
        QVERIFY(run.result());
        const auto notes = run.notes();
        QCOMPARE(notes.size(), 2);
        QCOMPARE(notes[0].count, 1);
        QCOMPARE(notes[0].intervalMs, 0);
        QCOMPARE(notes[1].count, 2);
        QVERIFY2(notes[1].intervalMs > 1000 && notes[1].intervalMs < 2500, qPrintable(QString::number(notes[1].intervalMs)));
        QVERIFY(notes[0].time.timeSpec() == Qt::UTC && notes[0].time <= notes[1].time);
        QCOMPARE(run.statuses(), QStringList({"Opened", "Closed"}));
        QVERIFY(run.messages().isEmpty());
        QCOMPARE(chip.frames(), QList<QByteArray>({kOpen, kStatus, kClose, kStatus}));
        QVERIFY(!chip.commMotionOpen());
    }

    // Every complete notification of ours is counted once, however its bytes are spread over
    // time: one cut by a pause longer than a wait, two in one batch. Frames with another serial
    // number, a failing status or another code are not counted. Then the line goes away: the
    // run ends instead of spinning on a dead port.
    void piecesStrangersAndALostLine()
    {
        ScriptedPeer peer(commMotionChip(0, 1, 0));
        CommandLayer layer;
        QVERIFY(layer.open(peer.path(), "38400,n,8,1"));
        MonitorRun run(layer);
        QTRY_VERIFY_WITH_TIMEOUT(listening(run, layer), 5000);
        const QByteArray n = notification();
        peer.send(n.left(3));
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        peer.send(n.mid(3));
        QTRY_COMPARE_WITH_TIMEOUT(run.notes().size(), 1, 5000);
        peer.send(n + notification(7) + notification(0, 5) + ScriptedPeer::answer(cmd::GetVersion) + n);
        QTRY_COMPARE_WITH_TIMEOUT(run.notes().size(), 3, 5000);
        QCOMPARE(run.notes().last().count, 3);
        QVERIFY(run.messages().isEmpty());

        peer.hangUp();
        QTRY_VERIFY_WITH_TIMEOUT(run.done(), 5000);
        QVERIFY(!run.result());
        QVERIFY(layer.portLost());
        QCOMPARE(run.notes().size(), 3);
    }

    // A notification that comes while the status after the open is asked for is counted with
    // the others, not shown as stray bytes.
    void notificationDuringTheOpeningQuery()
    {
        auto open = std::make_shared<bool>(false);
        ScriptedPeer peer([open](const QByteArray &f) -> std::vector<PeerAction> {
            const uint8_t code = uint8_t(f[2]);
            if (code == cmd::CommMotionControl) {
                *open = f[4] == 1;
                return {{ScriptedPeer::answer(code)}};
            }
            if (code == cmd::GetCommMotionStatus && *open)
                return {{notification() + ScriptedPeer::answer(code, 0, QByteArray(1, '\x01'))}};
            return {{ScriptedPeer::answer(code, 0, QByteArray(1, '\0'))}};
        });
        CommandLayer layer;
        QVERIFY(layer.open(peer.path(), "38400,n,8,1"));
        QByteArray shown;
        QObject::connect(&layer, &CommandLayer::idleBytes, &layer, [&](const QByteArray &b) { shown += b; },
                         Qt::DirectConnection);
        MonitorRun run(layer, {.count = 1});
        QTRY_VERIFY_WITH_TIMEOUT(run.done(), 5000);
        QVERIFY(run.result());
        QCOMPARE(run.notes().size(), 1);
        QVERIFY(shown.isEmpty());
    }

    // The open, the status after it and the close, each failing its own way.
    void openAndCloseFailures_data()
    {
        QTest::addColumn<int>("controlStatus");
        QTest::addColumn<int>("whenOpen");
        QTest::addColumn<int>("whenClosed");
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QList<QByteArray>>("frames");
        QTest::newRow("open refused") << 5 << 1 << 0 << QStringList() << "Cmd recept, but execute failed"
                                      << QList<QByteArray>{kOpen};
        QTest::newRow("stays closed") << 0 << 0 << 0 << QStringList{"Closed"} << msg::kOpenCommMotionFailed
                                      << QList<QByteArray>{kOpen, kStatus};
        QTest::newRow("stays open") << 0 << 1 << 1 << QStringList{"Opened", "Opened"} << msg::kCloseCommMotionFailed
                                    << QList<QByteArray>{kOpen, kStatus, kClose, kStatus};
    }
    void openAndCloseFailures()
    {
        QFETCH(int, controlStatus);
        QFETCH(int, whenOpen);
        QFETCH(int, whenClosed);
        QFETCH(QStringList, statuses);
        QFETCH(QString, message);
        QFETCH(QList<QByteArray>, frames);
        ScriptedPeer peer(commMotionChip(uint8_t(controlStatus), uint8_t(whenOpen), uint8_t(whenClosed)));
        CommandLayer layer;
        QVERIFY(layer.open(peer.path(), "38400,n,8,1"));
        MonitorRun run(layer);
        QTRY_VERIFY_WITH_TIMEOUT(run.done() || run.statuses().contains("Opened"), 5000);
        run.stop();
        QTRY_VERIFY_WITH_TIMEOUT(run.done(), 5000);
        QVERIFY(!run.result());
        QCOMPARE(run.statuses(), statuses);
        QCOMPARE(run.messages(), QStringList{message});
        QCOMPARE(peerFrames(peer), frames);
        QCOMPARE(layer.receiveState(), ReceiveState::Idle);
    }

    // All 64 window values go through the port in four passes and come back the same; a value
    // is written as low, high, selector, 1 at 0x1A16, then the status is polled until free.
    void windowThresholdsThroughThePort()
    {
        sim::PtyChip chip;
        CommandLayer layer;
        QVERIFY(layer.open(chip.slavePath(), "38400,n,8,1"));
        Commands commands(layer);
        Report report;
        QList<qint64> progress;
        report.progress = [&](qint64 done, qint64 total) {
            QCOMPARE(total, 64);
            progress << done;
        };
        MotionSettingAccess access(commands, report);
        WindowThresholds values{};
        for (size_t s = 0; s < values.size(); ++s)
            values[s] = uint16_t(0x1200 + s * 3);
        QVERIFY(access.writeWindowThresholds(values));
        QCOMPARE(progress.size(), 64);
        QCOMPARE(progress.last(), 64);
        QList<int> selectors;
        for (const QByteArray &f : chip.frames()) {
            if (f.startsWith(QByteArray::fromHex("5600310801041A16")))
                selectors << uint8_t(f[10]);
        }
        QList<int> expected;
        for (int v = 0; v < 4; ++v)
            for (int w = 0; w < 16; ++w)
                expected << windowSelector(w, WindowValue(v));
        QCOMPARE(selectors, expected);
        QCOMPARE(selectors.last(), 0x3F); // "Col Line" of window 15 goes last
        QCOMPARE(chip.frames().at(0), QByteArray::fromHex("5600310801041A16" "0012" "0001"));
        QCOMPARE(chip.frames().at(1), QByteArray::fromHex("560030040101" "1A19"));
        for (size_t s = 0; s < values.size(); ++s)
            QCOMPARE(chip.windowThreshold(int(s)), values[s]);

        WindowThresholds back{};
        QVERIFY(access.readWindowThresholds(back));
        QCOMPARE(back, values);
    }

    // A port that stays busy has not moved the value: after 1000 polls the access fails and says
    // so, instead of counting as done.
    void stuckPortFails()
    {
        sim::PtyChip chip;
        chip.withModel([](sim::ChipModel &m) { m.memory().setPortStuck(true); });
        CommandLayer layer;
        QVERIFY(layer.open(chip.slavePath(), "38400,n,8,1"));
        Commands commands(layer);
        QStringList messages;
        Report report;
        report.message = [&](const QString &s, MessageKind) { return messages << s, true; };
        MotionSettingAccess access(commands, report);
        WindowThresholds values{};
        QVERIFY(!access.writeWindowThresholds(values));
        QVERIFY(access.portStayedBusy());
        QCOMPARE(messages, QStringList{QString(msg::kWriteRegisterFailed) + msg::kMotionPortBusy});
        QCOMPARE(chip.frames().size(), 1 + MotionSettingAccess::kPortPolls);

        uint16_t value = 0x5555;
        QCOMPARE(access.portRead(0x3F, value), rc::TimeOut);
        QCOMPARE(value, uint16_t(0x5555)); // a read that did not finish brings nothing back
    }
};

QTEST_GUILESS_MAIN(TestMotionMonitor)
#include "tst_motion_monitor.moc"
