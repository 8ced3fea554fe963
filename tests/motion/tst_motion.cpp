// Motion detection: the monitor on a line where the test decides every byte and its timing,
// zmctl's motion commands as a user runs them, and the Motion Ctrl and Motion Setting windows
// against the simulated chip: what each group's Set sends and Get shows, the monitor run from
// the window with its log, and how each fits the screen.

#include "link/messages.h"
#include "motion/motion_ctrl_dlg.h"
#include "motion/motion_monitor.h"
#include "motion/motion_setting_dlg.h"
#include "tests/common/window_test.h"
#include "tests/common/zmctl_run.h"
#include "tests/link/scripted_peer.h"

#include <QComboBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>

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

Watch watch(LinkSession &session, const MotionWatchLimits &limits = {})
{
    Watch w;
    Commands commands(session);
    Report report;
    report.status = [&](const QString &s) { w.statuses << s; };
    report.message = [&](const QString &s, MessageKind) { return w.messages << s, true; };
    MotionMonitor monitor(commands, report, [&](const MotionNotification &n) { w.notes << n; });
    w.result = monitor.run(limits).succeeded();
    return w;
}

// How many of zmctl's watch lines, "<count> <YYYY-MM-DD hh:mm:ss:mmm> <interval> ms", `out` holds.
qsizetype watchLines(const QString &out)
{
    static const QRegularExpression line("^\\d+ \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d:\\d{3} \\d+ ms$",
                                         QRegularExpression::MultilineOption);
    return out.count(line);
}

} // namespace

Q_DECLARE_METATYPE(Run)

class TestMotion : public test::WindowTest
{
    Q_OBJECT

    MotionCtrlSettings m_settings;
    QString m_chosen;

    CMotionCtrlDlg *openCtrl()
    {
        auto dlg = std::make_unique<CMotionCtrlDlg>(*m_session, m_settings);
        dlg->setFileChooser([this](const QString &, const QString &) { return m_chosen; });
        return showWindow(std::move(dlg));
    }
    QRadioButton *radio(const char *name) { return child<QRadioButton>(name); }
    QComboBox *combo(const QString &name) { return child<QComboBox>(name); }
    QString statusBox() { return child<QPlainTextEdit>("alarmStatusEdit")->toPlainText(); }
    void expectCommandButtons(bool enabled)
    {
        for (const char *name : {"detectSetButton", "detectGetButton", "alarmSetButton", "alarmGetButton",
                                 "getStatusButton", "enableAlarmButton", "disableAlarmButton", "openAlarmButton",
                                 "closeAlarmButton", "motionConfigButton"})
            QVERIFY2(child<QPushButton>(name)->isEnabled() == enabled, name);
    }

    static test::ZmctlRun zmctl(const sim::PtyChip &chip, const QStringList &args) { return test::runZmctl(chip.slavePath(), args); }

    QComboBox *boundary(int i) { return combo(QStringLiteral("%1Combo%2").arg(i < 5 ? "hor" : "ver").arg(i % 5)); }
    QList<int> selections()
    {
        QList<int> s;
        for (int i = 0; i < 10; ++i)
            s << boundary(i)->currentIndex();
        return s;
    }

private slots:
    void init()
    {
        QVERIFY2(startChip(), qPrintable(m_error));
        m_settings = MotionCtrlSettings();
    }
    void cleanup() { closeWindow(); }

    // Set Config sends what is chosen and the next opening shows it; "Alarm Time:" keeps the
    // digits typed, and an empty one is asked for, not sent as 0. Get Config shows and remembers
    // what the chip holds; flags 0x11 are "Enable" and motion.
    void ctrlConfig()
    {
        openCtrl();
        checkFit("motion_ctrl");
        radio("gpioRadio")->click();
        radio("disableRadio")->click();
        press("detectSetButton");
        combo("alarmTypeCombo")->setCurrentIndex(1);  // "Always alarm"
        combo("alarmLevelCombo")->setCurrentIndex(1); // "Output low level"
        type("alarmTimeEdit", "25x0");
        QCOMPARE(text("alarmTimeEdit"), QString("250"));
        press("alarmSetButton");
        QCOMPARE(m_chip->frames(), test::hexFrames("56004203000000 560042040103" "00FA"));
        QVERIFY(m_messages->texts().isEmpty());

        m_dlg.reset();
        openCtrl();
        QVERIFY(radio("gpioRadio")->isChecked() && radio("disableRadio")->isChecked());
        QCOMPARE(combo("alarmLevelCombo")->currentIndex(), 1);
        edit("alarmTimeEdit")->clear();
        click("alarmSetButton");
        QCOMPARE(m_messages->headlines(), QStringList{msg::kAlarmTimeEmpty});
        QCOMPARE(m_chip->frames().size(), 2);

        m_chip->withModel([](sim::ChipModel &m) {
            m.features().motionFlags = 1;
            m.features().motionDetected = 1;
            m.features().alarmFlags = 2;
            m.features().alarmTime = 300;
        });
        press("detectGetButton");
        QVERIFY(radio("gpioRadio")->isChecked() && radio("enableRadio")->isChecked());
        QCOMPARE(text("motionStatusEdit"), QString("Motion detected!"));
        QCOMPARE(m_settings.detectionFlags, 0x11u);
        press("alarmGetButton");
        QCOMPARE(combo("alarmTypeCombo")->currentIndex(), 0);
        QCOMPARE(combo("alarmLevelCombo")->currentIndex(), 1);
        QCOMPARE(text("alarmTimeEdit"), QString("300"));
    }

    // The alarm output buttons send their frames; Get Status asks for both states and shows
    // them, and a failed one shows "Unknow" rather than the state shown before.
    void ctrlAlarmOutput()
    {
        openCtrl();
        for (const char *button : {"enableAlarmButton", "openAlarmButton", "getStatusButton"})
            press(button);
        QCOMPARE(statusBox(), QString("Motion out enabled\nMotion out opened\n"));
        for (const char *button : {"disableAlarmButton", "closeAlarmButton", "getStatusButton"})
            press(button);
        QCOMPARE(statusBox(), QString("Motion out disabled\nMotion out closed\n"));
        QCOMPARE(m_chip->frames(), test::hexFrames("560042020201 560042020301 5600430102 5600430103 "
                                                   "560042020200 560042020300 5600430102 5600430103"));
        QVERIFY(m_messages->texts().isEmpty());
        QVERIFY(m_chip->addFault("noanswer,cmd=0x43,times=1"));
        press("getStatusButton");
        QCOMPARE(statusBox(), QString("Unknow"));
        QCOMPARE(m_messages->headlines(), QStringList{"Cmd time out"});
    }

    // The monitor from the window. A chip that refuses to open comm motion: its result text,
    // and the window as it was. Then a run: the chip's notifications counted with time and
    // interval, the other buttons held, the close box refused, a full log told once while the
    // counting goes on; the stop gives the buttons back, and the log saves as CSV.
    void ctrlMonitor()
    {
        CMotionCtrlDlg *dlg = openCtrl();
        QVERIFY(m_chip->addFault("status=4,cmd=0x37,times=1"));
        press("commMotionButton");
        QCOMPARE(m_messages->headlines(), QStringList{"Cmd can't run in current status"});
        QVERIFY(!dlg->isRunning() && !m_session->isBusy());
        expectCommandButtons(true);

        m_messages->clear();
        m_chip->setMotionInterval(50);
        dlg->setLogCapacity(2);
        click("commMotionButton");
        QVERIFY(dlg->isRunning());
        QCOMPARE(child<QPushButton>("commMotionButton")->text(), QString("Close Comm Motion"));
        expectCommandButtons(false);
        const QString full = QString(msg::kMotionLogFull).arg(2);
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->headlines(), QStringList{full}, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(text("commCountEdit").toInt() > 3, 10000);
        QCOMPARE(text("commStatusEdit"), QString("Opened"));
        test::saveScreenshot(dlg, "motion_ctrl_running");
        dlg->close();
        QVERIFY(dlg->isVisible());

        click("commMotionButton");
        QVERIFY(!dlg->isRunning());
        settle();
        expectCommandButtons(true);
        QCOMPARE(text("commStatusEdit"), QString("Closed"));
        QVERIFY(!m_chip->commMotionOpen());
        QCOMPARE(m_messages->headlines(), (QStringList{full, msg::kCloseCommMotionFirst}));

        QTemporaryDir dir;
        m_chosen = dir.filePath("no/such/folder/run.csv");
        click("saveLogButton");
        QVERIFY(m_messages->texts().last().startsWith(msg::kWriteFileFailed) && m_messages->texts().last().contains(m_chosen));
        m_chosen = dir.filePath("run.csv");
        click("saveLogButton");
        QFile f(m_chosen);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().count('\n'), 3); // the header and the two rows kept
    }

    // The line goes away while the monitor runs: the window no longer claims comm motion is
    // open (the chip's state is not known), and its buttons wait for the port.
    void ctrlMonitorLosesThePort()
    {
        CMotionCtrlDlg *dlg = openCtrl();
        m_chip->setMotionInterval(50);
        click("commMotionButton");
        QTRY_VERIFY_WITH_TIMEOUT(text("commCountEdit").toInt() > 0, 10000);
        QCOMPARE(text("commStatusEdit"), QString("Opened"));
        m_chip->reopen(); // the old line is gone
        QTRY_VERIFY_WITH_TIMEOUT(!dlg->isRunning() && !m_session->isBusy(), 10000);
        QCOMPARE(text("commStatusEdit"), QString("Unknow"));
        QCOMPARE(child<QPushButton>("commMotionButton")->text(), QString("Open Comm Motion"));
        QVERIFY(!child<QPushButton>("detectGetButton")->isEnabled());
    }

    // The ten fields go out as 15 single-byte writes in one fixed register order, low byte
    // first (a short value padded, an empty one 0), and come back with their full widths.
    void settingThresholds()
    {
        showWindow(std::make_unique<CMotionSettingDlg>(*m_session));
        type("thresholdEdit0", "abcd");
        type("thresholdEdit2", "1A");
        type("thresholdEdit4", "g7"); // only hex digits get in
        edit("thresholdEdit5")->setText("01234567");
        edit("thresholdEdit8")->clear(); // empty is 0
        press("thresholdSetButton");
        QStringList writes;
        for (const QByteArray &frame : m_chip->frames())
            writes << QString::fromLatin1(frame.mid(6).toHex().toUpper());
        QCOMPARE(writes.join(' '), QString("1A1DCD 1A1EAB 1A1F03 1A501A 1A5100 1A5203 1A5307 1A5467 1A5545 1A5623 "
                                           "1A5701 1A5802 1A5902 1A6E00 1A6F00"));

        m_chip->writeMemory(MemoryType::Chip, 0x1A50, QByteArray::fromHex("3412"));
        m_chip->writeMemory(MemoryType::Chip, 0x1A54, QByteArray::fromHex("78563412"));
        press("thresholdGetButton");
        QCOMPARE(text("thresholdEdit2") + text("thresholdEdit5") + text("thresholdEdit8"), QString("12341234567800"));
        QVERIFY(m_messages->texts().isEmpty());
    }

    // The ten boundaries go out as five writes of four bytes; the chip's come back into the
    // lists, unless they do not fit the chosen image type. The lists follow the image type: QCIF
    // refills every list, and "Average" puts the even cut back.
    void settingBoundaries()
    {
        showWindow(std::make_unique<CMotionSettingDlg>(*m_session));
        checkFit("motion_setting");
        boundary(1)->setCurrentIndex(0x123);
        press("windowsSetButton");
        QCOMPARE(m_chip->frames(), test::hexFrames("5600310801041A5A00002301 5600310801041A5E4001E001 "
                                                   "5600310801041A627F020000 5600310801041A667800F000 "
                                                   "5600310801041A6A6801DF01"));
        m_chip->writeMemory(MemoryType::Chip, 0x1A5A, QByteArray::fromHex("0A00"));
        m_chip->writeMemory(MemoryType::Chip, 0x1A6C, QByteArray::fromHex("3001"));
        press("windowsGetButton");
        QCOMPARE(selections(), (QList<int>{10, 0x123, 320, 480, 639, 0, 120, 240, 360, 0x130}));

        // On a QCIF picture 0x123 has no entry: nothing changes, and the user is told which.
        combo("imageTypeCombo")->setCurrentText("QCIF(176x144)");
        const QList<int> before = selections();
        press("windowsGetButton");
        QCOMPARE(selections(), before);
        QCOMPARE(m_messages->count(), 1);
        const QString text = m_messages->at(0).text;
        QVERIFY2(text.startsWith(msg::kBoundaryOutside) && text.contains("Hor 1 = 0x123(291)")
                     && text.contains("Ver 4 = 0x130(304)") && !text.contains("Hor 0"),
                 qPrintable(text));
        QCOMPARE(boundary(9)->count(), 144);
        boundary(2)->setCurrentIndex(5);
        click("averageButton");
        QCOMPARE(selections(), (QList<int>{0, 44, 88, 132, 175, 0, 36, 72, 108, 143}));
    }

    // The 64 window values go through the port in four passes (every "Row Sum", then every
    // "Row Line", "Col Sum", "Col Line"): written as low, high, selector, 1 at 0x1A16, then the
    // port's status polled until it is free. "Write Finish"; read back, "Read Finish".
    void settingSingleWindows()
    {
        showWindow(std::make_unique<CMotionSettingDlg>(*m_session));
        edit("win0RowSumEdit")->setText("1A");
        edit("win7RowLineEdit")->setText("0707");
        edit("win5ColSumEdit")->setText("0C0D");
        edit("win15ColLineEdit")->setText("BEEF");
        press("singleSetButton");
        QCOMPARE(m_messages->headlines(), QStringList{msg::kMotionWriteFinish});
        QCOMPARE(m_chip->frames().at(0), QByteArray::fromHex("5600310801041A16" "1A00" "0001"));
        const std::pair<int, int> stored[] = {{0x00, 0x001A}, {0x0F, 0x0707}, {0x2A, 0x0C0D}, {0x3F, 0xBEEF}, {0x21, 0}};
        for (const auto &[selector, value] : stored)
            QCOMPARE(m_chip->windowThreshold(selector), uint16_t(value));

        m_chip->setWindowThreshold(0x22, 0x1234); // "Col Sum" of window 1
        press("singleGetButton");
        QCOMPARE(m_messages->headlines(), QStringList({msg::kMotionWriteFinish, msg::kMotionReadFinish}));
        QCOMPARE(text("win1ColSumEdit"), QString("1234"));
        QCOMPARE(text("win15ColLineEdit"), QString("BEEF"));
    }

    // A failing command ends the procedure with its prefix and a read that fails changes no
    // field. A port that stays busy has not moved the value: after its polls the write fails
    // and says so, instead of counting as done.
    void settingFailures_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("fault"); // "stuck": the port stays busy
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("frames");
        QTest::newRow("threshold write") << "thresholdSetButton" << "status=5,cmd=0x31,times=1"
                                         << QString(msg::kWriteRegisterFailed) + "Cmd recept, but execute failed" << 1;
        // The port's status poll is the first read of a single-window read.
        QTest::newRow("single read") << "singleGetButton" << "status=3,cmd=0x30,times=1"
                                     << QString(msg::kReadRegisterFailed) + "Invalid data format" << 2;
        QTest::newRow("port stuck") << "singleSetButton" << "stuck"
                                    << QString(msg::kWriteRegisterFailed) + msg::kMotionPortBusy
                                    << 1 + MotionSettingAccess::kPortPolls;
    }
    void settingFailures()
    {
        QFETCH(QString, button);
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QFETCH(int, frames);
        showWindow(std::make_unique<CMotionSettingDlg>(*m_session));
        m_chip->setWindowThreshold(0, 0x1234);
        if (fault == "stuck")
            m_chip->withModel([](sim::ChipModel &m) { m.memory().setPortStuck(true); });
        else
            QVERIFY(m_chip->addFault(fault));
        press(button);
        QCOMPARE(m_messages->headlines(), QStringList{message});
        QCOMPARE(m_chip->frames().size(), frames);
        QCOMPARE(text("win0RowSumEdit"), QString("0000"));
        QVERIFY(m_dlg->isEnabled() && !m_session->isBusy());
    }

    // Every complete notification of ours is counted once, however its bytes are spread over
    // time: one cut by a pause longer than a wait, two in one batch. Frames with another serial
    // number, a failing status or another code are not counted. Then the line goes away: the
    // run ends instead of spinning on a dead port.
    void piecesStrangersAndALostLine()
    {
        const QByteArray n = notification();
        const QByteArray batch = n + notification(7) + notification(0, 5) + ScriptedPeer::answer(cmd::GetVersion) + n;
        ScriptedPeer peer(commMotionChip(0, 1, 0, {}, {{n.left(3), 300}, {n.mid(3), 250}, {batch, 100}, {{}, 300, true}}));
        LinkSession session;
        QVERIFY(session.open(peer.path(), "38400,n,8,1"));
        const Watch w = watch(session);
        QVERIFY(!w.result);
        QVERIFY(session.portLost());
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
            << Run{.controlStatus = 5,
                   .messages = {"Cmd recept, but execute failed\ncomm-motion-control (open): the chip took it but could "
                                "not carry it out"},
                   .frames = {kOpen}};
        QTest::newRow("stays closed")
            << Run{.whenOpen = 0, .statuses = {"Closed"}, .messages = {msg::kOpenCommMotionFailed}, .frames = {kOpen, kStatus}};
        QTest::newRow("stays open") << Run{.whenClosed = 1, .statuses = {"Opened", "Opened"},
                                           .messages = {msg::kCloseCommMotionFailed}, .frames = {kOpen, kStatus, kClose, kStatus}};
    }
    void runs()
    {
        QFETCH(Run, run);
        ScriptedPeer peer(commMotionChip(run.controlStatus, run.whenOpen, run.whenClosed, run.beforeStatus));
        LinkSession session;
        QVERIFY(session.open(peer.path(), "38400,n,8,1"));
        session.idleFeed().setGathering(true);
        const Watch w = watch(session, {.count = 1, .ms = 300});
        QCOMPARE(w.result, run.messages.isEmpty());
        QCOMPARE(w.notes.size(), run.notes);
        QCOMPARE(w.statuses, run.statuses);
        QCOMPARE(w.messages, run.messages);
        const auto seen = peer.frames();
        QCOMPARE(QList<QByteArray>(seen.begin(), seen.end()), run.frames);
        QCOMPARE(session.receiveState(), ReceiveState::Idle);
        QVERIFY(session.idleFeed().take().isEmpty());
    }

    // A watch ends by itself after N notifications, closes comm motion and checks it closed;
    // --csv holds the same rows.
    void zmctlWatchEnds()
    {
        sim::PtyChip chip;
        chip.setMotionInterval(50);
        QTemporaryDir dir;
        const QString csv = dir.filePath("watch.csv");
        const test::ZmctlRun r = zmctl(chip, {"motion-watch", "--csv", csv, "--count", "3"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.err, QString());
        QVERIFY2(r.out.startsWith("1 ") && watchLines(r.out) == 3, qPrintable(r.out));
        QVERIFY(!chip.commMotionOpen());
        QCOMPARE(chip.frames().mid(chip.frames().size() - 2), (QList<QByteArray>{kClose, kStatus}));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> rows = f.readAll().split('\n');
        QCOMPARE(rows.first(), QByteArray("count,time,interval_ms"));
        QCOMPARE(rows.size(), 5);
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
        QVERIFY(watchLines(QString::fromLatin1(p.readAllStandardOutput())) > 0);
        QVERIFY(!chip.commMotionOpen());
        QCOMPARE(chip.frames().mid(chip.frames().size() - 2), (QList<QByteArray>{kClose, kStatus}));
    }

    // motion-set sends the window's frames; a value not given is the chip's, read first. Usage
    // errors exit 2 and send nothing.
    void zmctlSetAndGet()
    {
        sim::PtyChip chip;
        auto f = chip.features();
        f.motionSource = 0;
        f.alarmFlags = 3;
        chip.setFeatures(f);
        test::ZmctlRun r = zmctl(chip, {"motion-set", "--enable", "--alarm-time", "7"});
        QCOMPARE(r.code, 0);
        QCOMPARE(chip.frames(), (QList<QByteArray>{QByteArray::fromHex("5600430100"), QByteArray::fromHex("56004203000001"),
                                                    QByteArray::fromHex("5600430101"),
                                                    QByteArray::fromHex("560042040103" "0007")}));
        f = chip.features();
        f.motionDetected = 1;
        f.alarmEnabled = 1;
        chip.setFeatures(f);
        r = zmctl(chip, {"motion-get"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QString("mode: gpio\ndetection: enabled\nmotion: detected\nalarm-type: always\n"
                                "alarm-level: low\nalarm-time: 7\nalarm-output: enabled\nalarm-output-state: closed\n"));

        chip.clearFrames();
        for (const QStringList &bad : {QStringList{"motion-set"}, QStringList{"motion-set", "--enable", "--disable"},
                                       QStringList{"motion-set", "--alarm-time", "65536"},
                                       QStringList{"motion-watch", "--count", "0"}}) {
            r = zmctl(chip, bad);
            QCOMPARE(r.code, 2);
            QVERIFY2(r.err.startsWith("zmctl: "), qPrintable(r.err));
        }
        QVERIFY(chip.frames().isEmpty());
    }
};

QTEST_MAIN(TestMotion)
#include "tst_motion.moc"
