#include "motion/motion_monitor.h"

#include "link/failure_text.h"
#include "link/messages.h"

#include <QElapsedTimer>

#include <algorithm>

namespace zm {

QString motionTimeText(const QDateTime &time)
{
    if (!time.isValid())
        return {};
    const QDate d = time.date();
    const QTime t = time.time();
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d:%03d", d.year(), d.month(), d.day(), t.hour(), t.minute(),
                             t.second(), t.msec());
}

MotionMonitor::MotionMonitor(Commands &commands, const Report &report, Notified notified)
    : m_c(commands)
    , m_session(commands.session())
    , m_report(report)
    , m_notified(std::move(notified))
{
}

bool MotionMonitor::fail(uint8_t result)
{
    return fail(result, failureText(m_session, result));
}

bool MotionMonitor::fail(uint8_t result, const QString &text)
{
    if (!text.isEmpty())
        m_report.fail(text);
    m_failure = Outcome::failed(result, text.isEmpty() ? m_session.lostReason() : text);
    return false;
}

// A wait cut short by the caller's stop (zmctl's Ctrl+C ends the wait in progress) is no answer
// of the chip.
bool MotionMonitor::interrupted(uint8_t result) const
{
    return result == rc::Stopped;
}

Outcome MotionMonitor::run(const Limits &limits)
{
    m_failure = Outcome::failed(rc::Unknown, QString());
    return watchAndClose(limits) ? Outcome::done() : m_failure;
}

bool MotionMonitor::watchAndClose(const Limits &limits)
{
    m_count = 0;
    m_previousTick = -1;
    // Notifications can come as soon as the open is done, while its status is still asked for:
    // they are kept for the loop rather than shown.
    m_session.collectNotifications(true);
    struct StopCollecting {
        LinkSession &session;
        ~StopCollecting() { session.collectNotifications(false); }
    } stopCollecting{m_session};
    uint8_t r = m_c.commMotionControl(true);
    if (r != 0) {
        // Stopped while the open was on its way: the chip may have opened it, so it is closed.
        if (interrupted(r))
            return close();
        return fail(r);
    }
    uint8_t status = 0;
    r = m_c.getCommMotionStatus(status);
    if (r != 0) {
        if (interrupted(r))
            return close();
        return fail(r);
    }
    if (status == 0) {
        m_report.setStatus(QStringLiteral("Closed"));
        return fail(rc::ExecuteFailed, QString::fromLatin1(msg::kOpenCommMotionFailed));
    }
    m_report.setStatus(QStringLiteral("Opened"));
    m_report.setCounter(QStringLiteral("0"));
    m_report.setValue(QStringLiteral("time"), QString());
    m_report.setValue(QStringLiteral("interval"), QStringLiteral("0"));
    watch(limits);
    return close();
}

void MotionMonitor::watch(const Limits &limits)
{
    // The assembly stays armed for the whole run: a notification that comes in pieces is
    // assembled however the waits fall, and each complete one is queued and taken once.
    m_session.startListening(cmd::MotionNotification);
    QElapsedTimer clock;
    clock.start();
    auto done = [&] { return limits.count > 0 && m_count >= limits.count; };
    while (!done()) {
        int wait = kWaitMs;
        if (limits.ms > 0) {
            const qint64 left = limits.ms - clock.elapsed();
            if (left <= 0)
                break;
            wait = int(std::min<qint64>(wait, left));
        }
        if (m_report.stopRequested()) {
            // What arrived before the stop is counted; nothing more is waited for.
            AnswerRecord frame;
            while (!done() && m_session.waitNotification(0, frame, {}) == 0)
                if (frame.code == cmd::MotionNotification)
                    take(clock.elapsed());
            break;
        }
        AnswerRecord frame;
        const uint8_t r = m_session.waitNotification(wait, frame, m_c.stopToken());
        if (r == 0 && frame.code == cmd::MotionNotification)
            take(clock.elapsed());
        else if (r == rc::Unknown && m_session.portLost())
            break; // nothing will come on a line that is gone
        if (m_idle)
            m_idle();
        // A wrong serial number, a status other than 0 or a quiet wait is recorded as the last
        // result by the session and otherwise passed over.
    }
    m_session.stopListening();
}

void MotionMonitor::take(qint64 tick)
{
    MotionNotification n;
    n.count = ++m_count;
    n.time = QDateTime::currentDateTimeUtc();
    n.intervalMs = m_previousTick < 0 ? 0 : tick - m_previousTick;
    m_previousTick = tick;
    if (m_notified)
        m_notified(n);
}

bool MotionMonitor::close()
{
    // Nothing can be closed on a line that went away, and what the chip holds now is not known.
    if (m_session.portLost()) {
        m_report.setStatus(QStringLiteral("Unknow"));
        return fail(rc::Unknown, QString());
    }
    // Closed also after a stop: that is what the stop asked for. These commands wait for the chip
    // whatever the stop request says (only the end of the program cuts them short).
    Commands closer(m_session);
    uint8_t r = closer.commMotionControl(false);
    if (r != 0)
        return fail(r);
    uint8_t status = 0;
    r = closer.getCommMotionStatus(status);
    if (r != 0)
        return fail(r);
    if (status == 0) {
        m_report.setStatus(QStringLiteral("Closed"));
        return true;
    }
    m_report.setStatus(QStringLiteral("Opened"));
    return fail(rc::ExecuteFailed, QString::fromLatin1(msg::kCloseCommMotionFailed));
}

} // namespace zm
