#pragma once
// The motion monitor: opens comm motion, counts the chip's motion notifications (answer frames
// of code 0x39 that the chip sends on its own), stamps each with the PC's time and the interval
// since the one before, until it is asked to stop; then closes comm motion and checks that it
// closed. Widget-free: the Motion Ctrl window and zmctl's motion-watch run the same loop.
//
// The caller holds the busy flag for the whole run. What the run tells its report:
//   status   "Opened" / "Closed" (the "Comm Motion Status:" field)
//   counter  "0" when the run starts counting
//   values   "time" (empty) and "interval" ("0") when the run starts counting
//   messages the failures: a result text alone, "Open comm motion failed", "Close comm motion failed"
//   stop     ends the loop within one wait; what was already received is still counted
// Each notification goes to the `notified` callback, in order, on the caller's thread.
//
//     MotionMonitor monitor(commands, report, [&](const MotionNotification &n) { show(n); });
//     const Outcome outcome = monitor.run();

#include "link/commands.h"
#include "link/report.h"

#include <QDateTime>
#include <QString>

#include <functional>

namespace zm {

struct MotionNotification {
    int count = 0;         // 1 for the first of a run
    QDateTime time;        // the PC's time (UTC) when it was taken
    qint64 intervalMs = 0; // since the one before in this run; 0 for the first
};

// "%04d-%02d-%02d %02d:%02d:%02d:%03d": year, month, day, hour, minute, second, millisecond.
QString motionTimeText(const QDateTime &time);

// Where a monitor run ends by itself; 0 for no limit (the window's run ends only when stopped).
struct MotionWatchLimits {
    int count = 0;
    qint64 ms = 0;
};

class MotionMonitor
{
public:
    // One wait for a notification; a stop request is seen after at most this long.
    static constexpr int kWaitMs = 200;

    using Limits = MotionWatchLimits;
    using Notified = std::function<void(const MotionNotification &)>;

    MotionMonitor(Commands &commands, const Report &report, Notified notified);

    // Done when comm motion was opened, watched and closed again as asked (a stop ends the watch
    // as asked); failed after a message.
    Outcome run(const Limits &limits = {});

    // Notifications counted in this run.
    int count() const { return m_count; }
    // Called on the caller's thread after every wait of the loop (at least every kWaitMs), for
    // work that must not wait for the next notification.
    void setIdle(std::function<void()> idle) { m_idle = std::move(idle); }

private:
    bool watchAndClose(const Limits &limits);
    void watch(const Limits &limits);
    void take(qint64 tick);
    bool close();
    bool fail(uint8_t result);
    bool fail(uint8_t result, const QString &text);
    bool interrupted(uint8_t result) const;

    Commands &m_c;
    LinkSession &m_session;
    const Report &m_report;
    Notified m_notified;
    std::function<void()> m_idle;
    int m_count = 0;
    qint64 m_previousTick = -1;
    Outcome m_failure;
};

} // namespace zm
