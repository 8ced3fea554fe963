// zmctl: motion detection: the monitor (motion-watch) and the Motion Ctrl window's settings.

#include "cli/cli.h"
#include "motion/motion_control.h"
#include "motion/motion_log.h"
#include "motion/motion_monitor.h"

#include "link/file_writer.h"

#include <QElapsedTimer>

#include <limits>

namespace zm::cli {

namespace {

const QStringList kModes = {"gpio", "uart"};
const QStringList kAlarmTypes = {"certain-time", "always"};
const QStringList kAlarmLevels = {"high", "low"};

int motionWatch(Context &ctx, const Args &a)
{
    MotionMonitor::Limits limits;
    if (const auto n = a.option("--count"))
        limits.count = toInt(*n, QStringLiteral("--count"), 1, std::numeric_limits<int>::max());
    if (const auto s = a.option("--seconds"))
        limits.ms = qint64(toInt(*s, QStringLiteral("--seconds"), 1, std::numeric_limits<int>::max())) * 1000;
    // An earlier file stays as it was until the chip has opened comm motion; from then on the
    // file holds the rows as they come (each on the disk within a second), so that a watch of
    // hours keeps what it saw even if it is killed, and it is complete when the watch ends.
    const auto csvPath = a.option("--csv");
    if (csvPath)
        checkTarget(*csvPath);
    FileWriter csv;
    bool csvFailed = false;
    QElapsedTimer sinceSync;
    auto csvFailure = [&] {
        if (!csvFailed)
            printError(QStringLiteral("Write file failed! %1").arg(csv.errorString()));
        csvFailed = true;
    };

    Report report;
    report.stop = ctx.stop;
    report.message = [](const QString &text, MessageKind kind) {
        printError(text);
        return kind != MessageKind::Question;
    };
    report.status = [&](const QString &status) {
        if (!csvPath || csv.isOpen() || csvFailed || status != QLatin1String("Opened"))
            return;
        if (!csv.open(*csvPath, FileWriter::Mode::Replace, ctx.stop) || !csv.write(MotionLog::csvHeader())
            || !csv.publish())
            csvFailure();
        sinceSync.start();
    };
    bool unsynced = false;
    MotionMonitor monitor(ctx.commands, report, [&](const MotionNotification &n) {
        print(QStringLiteral("%1 %2 %3 ms").arg(n.count).arg(motionTimeText(n.time)).arg(n.intervalMs));
        if (csv.isOpen() && !csvFailed && !csv.write(MotionLog::csvRow(n)))
            csvFailure();
        unsynced = true;
    });
    // Rows are written as they come and synced about once a second (a wait of the loop is at
    // most 200 ms), so that a burst of notifications does not wait for the disk.
    monitor.setIdle([&] {
        if (!unsynced || !csv.isOpen() || csvFailed || sinceSync.elapsed() < 800)
            return;
        if (!csv.sync())
            csvFailure();
        sinceSync.start();
        unsynced = false;
    });
    const bool ok = monitor.run(limits).succeeded();
    if (csv.isOpen() && !csvFailed && !csv.commit())
        csvFailure();
    if (!ok) {
        ctx.tellPortLoss();
        return kFailed;
    }
    return csvFailed ? kFailed : kOk;
}

struct MotionState {
    uint8_t mode = 0, flags = 0, setup = 0, enabled = 0, opened = 0;
    uint16_t time = 0;
};

int motionGet(Context &ctx, const Args &)
{
    MotionState s;
    uint8_t r = ctx.commands.getMotionDetection(s.mode, s.flags);
    if (!r)
        r = ctx.commands.getMotionAlarm(s.setup, s.time);
    if (!r)
        r = ctx.commands.getAlarmOutputEnabled(s.enabled);
    if (!r)
        r = ctx.commands.getAlarmOutputOpened(s.opened);
    if (r)
        return ctx.failed(r);
    const MotionCtrlSettings m{s.mode, s.flags, s.setup, s.time};
    print(QStringLiteral("mode: %1").arg(m.reportMode == 1 ? "uart" : "gpio"));
    print(QStringLiteral("detection: %1").arg(m.detectionEnabled() ? "enabled" : "disabled"));
    print(QStringLiteral("motion: %1").arg(m.motionDetected() ? "detected" : "not detected"));
    print(QStringLiteral("alarm-type: %1").arg(kAlarmTypes[m.alarmType()]));
    print(QStringLiteral("alarm-level: %1").arg(kAlarmLevels[m.alarmLevel()]));
    print(QStringLiteral("alarm-time: %1").arg(m.alarmTime));
    print(QStringLiteral("alarm-output: %1").arg(s.enabled ? "enabled" : "disabled"));
    print(QStringLiteral("alarm-output-state: %1").arg(s.opened ? "opened" : "closed"));
    return kOk;
}

// Each group goes out as the window's "Set Config" sends it, both of its values in one frame;
// a value not given is the chip's own, read first.
int motionSet(Context &ctx, const Args &a)
{
    const auto mode = a.option("--mode");
    const bool enable = a.flag("--enable"), disable = a.flag("--disable");
    const auto type = a.option("--alarm-type");
    const auto level = a.option("--alarm-level");
    const auto time = a.option("--alarm-time");
    if (enable && disable)
        usage(QStringLiteral("--enable and --disable exclude each other"));
    const bool detection = mode || enable || disable;
    const bool alarm = type || level || time;
    if (!detection && !alarm)
        usage(QStringLiteral("nothing to set; see zmctl help motion-set for its options"));
    const int modeValue = mode ? choose(*mode, QStringLiteral("--mode"), kModes) : -1;
    const int typeValue = type ? choose(*type, QStringLiteral("--alarm-type"), kAlarmTypes) : -1;
    const int levelValue = level ? choose(*level, QStringLiteral("--alarm-level"), kAlarmLevels) : -1;
    const int timeValue = time ? toInt(*time, QStringLiteral("--alarm-time"), 0, 65535) : -1;

    if (detection) {
        uint8_t source = uint8_t(modeValue), flags = enable ? 1 : 0;
        if (!mode || !(enable || disable)) {
            uint8_t chipSource = 0, chipFlags = 0;
            if (const uint8_t r = ctx.commands.getMotionDetection(chipSource, chipFlags))
                return ctx.failed(r);
            if (!mode)
                source = chipSource;
            if (!enable && !disable)
                flags = chipFlags & 0x01;
        }
        if (const uint8_t r = ctx.commands.setMotionDetection(source, flags))
            return ctx.failed(r);
    }
    if (alarm) {
        MotionCtrlSettings m;
        if (!type || !level || !time) {
            if (const uint8_t r = ctx.commands.getMotionAlarm(m.alarmSetup, m.alarmTime))
                return ctx.failed(r);
        }
        const uint8_t setup = alarmSetupByte(type ? typeValue : m.alarmType(), level ? levelValue : m.alarmLevel());
        const uint16_t t = time ? uint16_t(timeValue) : m.alarmTime;
        if (const uint8_t r = ctx.commands.setMotionAlarm(setup, t))
            return ctx.failed(r);
    }
    return kOk;
}

} // namespace

void addMotionCommands(Table &table)
{
    Command watch{"motion-watch", "motion-watch [--count N] [--seconds S] [--csv FILE]",
                  "opens comm motion and prints each motion notification of the chip as\n"
                  "<count> <YYYY-MM-DD hh:mm:ss:mmm> <interval> ms (PC time in UTC; the\n"
                  "first interval is 0) until N notifications, S seconds or Ctrl+C (exit 0),\n"
                  "then closes comm motion; --csv also writes them to FILE as\n"
                  "count,time,interval_ms",
                  "zmctl --port /dev/ttyUSB0 motion-watch --count 3 --csv motion.csv", 0, 0,
                  {{"--count", "N", "ends after N notifications"},
                   {"--seconds", "S", "ends after S seconds"},
                   {"--csv", "FILE", "also writes the notifications to FILE, row by row"}},
                  motionWatch};
    watch.stopIsEnd = true;
    table.commands << watch
                   << Command{"motion-get", "motion-get",
                              "prints the report mode, detection, motion, alarm type, level and time\n"
                              "(units of 10 ms), and the alarm output's enable and open state",
                              "zmctl --port /dev/ttyUSB0 motion-get", 0, 0, {}, motionGet}
                   << Command{"motion-set",
                              "motion-set [--mode M] [--enable|--disable] [--alarm-type T] [--alarm-level L] "
                              "[--alarm-time N]",
                              "sets motion detection and the alarm output: M gpio or uart, T\n"
                              "certain-time or always, L high or low, N 0..65535 in units of 10 ms;\n"
                              "a value not given keeps the chip's",
                              "zmctl --port /dev/ttyUSB0 motion-set --mode uart --enable --alarm-time 250", 0, 0,
                              {{"--mode", "M", "how motion is reported", kModes},
                               {"--enable", {}, "switches detection on"},
                               {"--disable", {}, "switches detection off"},
                               {"--alarm-type", "T", "how long the alarm output holds", kAlarmTypes},
                               {"--alarm-level", "L", "the level of the alarm output", kAlarmLevels},
                               {"--alarm-time", "N", "the alarm time, 0..65535 in units of 10 ms"}},
                              motionSet};
}

} // namespace zm::cli
