#include "sim/pty_chip.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace zm::sim {

namespace {

using std::chrono::milliseconds;

// How long output may sit in a full pseudo-terminal before the chip gives it up.
constexpr auto kDropAfter = std::chrono::seconds(2);
constexpr int kReadChunk = 65536;

// The trace file is opened after construction, where a failure can be reported.
ChipConfig withoutTrace(ChipConfig config)
{
    config.traceFile.clear();
    return config;
}

} // namespace

PtyChip::PtyChip()
    : PtyChip(Options{})
{
}

PtyChip::PtyChip(const Options &options)
    : m_model(std::make_unique<ChipModel>(withoutTrace(options.chip)))
    , m_turnaroundMs(std::max(0, options.turnaroundMs))
{
    const auto now = Clock::now();
    m_rx.setBaud(options.baud, now);
    m_tx.setBaud(options.baud, now);
    m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    std::lock_guard lock(m_mutex);
    if (m_wakeFd < 0) {
        m_error = QStringLiteral("eventfd: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    if (!options.chip.traceFile.isEmpty() && !m_model->setTraceFile(options.chip.traceFile)) {
        m_error = QStringLiteral("cannot open trace file %1").arg(options.chip.traceFile);
        return;
    }
    if (openPty())
        m_thread = std::thread([this] { run(); });
}

PtyChip::~PtyChip()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    wake();
    if (m_thread.joinable())
        m_thread.join();
    closePty();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

bool PtyChip::openPty()
{
    auto fail = [this](const char *what) {
        m_error = QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
        closePty();
        return false;
    };
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0)
        return fail("posix_openpt");
    if (::grantpt(m_master) != 0)
        return fail("grantpt");
    if (::unlockpt(m_master) != 0)
        return fail("unlockpt");
    char name[PATH_MAX];
    if (::ptsname_r(m_master, name, sizeof name) != 0)
        return fail("ptsname");
    // Our own slave descriptor keeps the line up while clients come and go.
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_slave < 0)
        return fail("open slave");
    // Raw from the start: no echo of what the chip sends, no translation of bytes.
    termios tio{};
    if (::tcgetattr(m_slave, &tio) != 0)
        return fail("tcgetattr");
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    ::cfsetspeed(&tio, B115200);
    if (::tcsetattr(m_slave, TCSANOW, &tio) != 0)
        return fail("tcsetattr");
    m_path = QString::fromLocal8Bit(name);
    m_error.clear();
    m_rxDry = true;
    m_txBlocked = false;
    m_lastTxEnd = Clock::now();
    return true;
}

void PtyChip::closePty()
{
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
    ++m_lineNumber;
    m_out.clear();
}

QString PtyChip::reopen()
{
    {
        std::lock_guard lock(m_mutex);
        closePty();
        if (!openPty())
            return {};
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
    }
    wake();
    return slavePath();
}

void PtyChip::wake() const
{
    if (m_wakeFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(m_wakeFd, &one, sizeof one);
    }
}

void PtyChip::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        const TimePoint now = Clock::now();
        TimePoint wakeAt = TimePoint::max();
        if (m_master >= 0)
            readInput(now, wakeAt);
        m_model->tick(now);
        collectOutput(now);
        if (m_master >= 0)
            writeOutput(now, wakeAt);
        m_changed.notify_all();
        wakeAt = std::min(wakeAt, m_model->nextDeadline());

        // Everything the wait needs is taken now: once the lock is given up, reopen() may
        // replace the pseudo-terminal from another thread.
        const int master = m_master;
        const uint64_t line = m_lineNumber;
        pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {master, 0, 0}};
        if (master >= 0)
            fds[1].events = short((m_rxDry ? POLLIN : 0) | (m_txBlocked ? POLLOUT : 0));
        const nfds_t fdCount = master >= 0 ? 2 : 1;
        timespec timeout{};
        timespec *timeoutPtr = nullptr;
        if (wakeAt != TimePoint::max()) {
            const auto ns = std::max<int64_t>(
                0, std::chrono::duration_cast<std::chrono::nanoseconds>(wakeAt - Clock::now()).count());
            timeout.tv_sec = time_t(ns / 1'000'000'000);
            timeout.tv_nsec = long(ns % 1'000'000'000);
            timeoutPtr = &timeout;
        }
        lock.unlock();
        const int n = ::ppoll(fds, fdCount, timeoutPtr, nullptr);
        lock.lock();
        if (n > 0 && (fds[0].revents & POLLIN)) {
            uint64_t count;
            [[maybe_unused]] auto r = ::read(m_wakeFd, &count, sizeof count);
        }
        // Events of a pseudo-terminal that was replaced while we waited are stale, even when
        // the new one got the same descriptor number.
        if (n > 0 && master >= 0 && m_lineNumber == line) {
            if (fds[1].revents & POLLIN) {
                // A new burst from the PC: the line starts delivering it now.
                if (m_rxDry)
                    m_rx.idle(Clock::now());
                m_rxDry = false;
            }
            if ((fds[1].revents & POLLOUT) && m_txBlocked) {
                // The reader made room. The time spent blocked is not line time saved up for
                // a burst.
                m_txBlocked = false;
                m_tx.idle(Clock::now());
            }
            if (fds[1].revents & (POLLHUP | POLLERR)) {
                // Cannot happen while we hold the slave open; do not spin if it does.
                lock.unlock();
                ::usleep(10'000);
                lock.lock();
            }
        }
    }
}

void PtyChip::readInput(TimePoint now, TimePoint &wakeAt)
{
    if (m_rxDry)
        return;
    uint8_t buffer[kReadChunk];
    int64_t allowed = std::min<int64_t>(m_rx.allowance(now), kReadChunk);
    if (allowed == 0) {
        // Not yet: come back when the bytes waiting have crossed the line (at most a chunk).
        int waiting = 0;
        if (::ioctl(m_master, FIONREAD, &waiting) != 0 || waiting <= 0)
            waiting = 1;
        wakeAt = std::min(wakeAt, m_rx.dueTime(std::min<int64_t>(waiting, m_rx.chunk())));
        return;
    }
    const ssize_t got = ::read(m_master, buffer, size_t(allowed));
    if (got > 0) {
        m_rx.consume(got);
        m_model->feed(buffer, size_t(got), now);
    }
    if (got < allowed) {
        m_rxDry = true;
    } else if (m_rx.paced()) {
        wakeAt = std::min(wakeAt, m_rx.dueTime(m_rx.chunk()));
    } else {
        wakeAt = now; // unpaced and the buffer was full: read on
    }
}

void PtyChip::collectOutput(TimePoint now)
{
    for (Emission &e : m_model->takeOutput()) {
        Pending p;
        p.bytes = std::move(e.bytes);
        p.notBefore = now + e.delay + (e.answer ? milliseconds(m_turnaroundMs) : milliseconds(0));
        p.gap = e.gap;
        p.hangup = e.hangup;
        m_out.push_back(std::move(p));
    }
    if (m_master < 0)
        m_out.clear(); // the line is down: what the chip says is lost
}

void PtyChip::writeOutput(TimePoint now, TimePoint &wakeAt)
{
    if (m_txBlocked) {
        if (now - m_txBlockedSince <= kDropAfter) {
            wakeAt = std::min(wakeAt, m_txBlockedSince + kDropAfter + milliseconds(1));
            return;
        }
        // Nobody reads: give the output up and empty what waits in the line.
        m_out.erase(std::remove_if(m_out.begin(), m_out.end(), [](const Pending &p) { return !p.hangup; }),
                    m_out.end());
        ::tcflush(m_slave, TCIFLUSH);
        m_txBlocked = false;
    }
    while (!m_out.empty()) {
        Pending &p = m_out.front();
        if (!p.started) {
            const TimePoint ready = std::max(p.notBefore, m_lastTxEnd + p.gap);
            if (now < ready) {
                wakeAt = std::min(wakeAt, ready);
                return;
            }
            p.started = true;
            m_tx.idle(ready);
        }
        if (p.hangup) {
            closePty();
            ++m_hangups;
            m_error = QStringLiteral("the chip hung up");
            return;
        }
        const qsizetype remaining = p.bytes.size() - p.offset;
        qsizetype offer = remaining;
        if (m_tx.paced()) {
            offer = qsizetype(std::min<int64_t>(m_tx.allowance(now), remaining));
            if (offer == 0) {
                wakeAt = std::min(wakeAt, m_tx.dueTime(std::min<int64_t>(remaining, m_tx.chunk())));
                return;
            }
        }
        const ssize_t written = offer > 0 ? ::write(m_master, p.bytes.constData() + p.offset, size_t(offer)) : 0;
        if (written > 0) {
            p.offset += written;
            m_tx.consume(written);
            m_lastTxEnd = m_tx.paced() ? m_tx.dueTime(0) : now;
        }
        if (written < offer) {
            if (written < 0 && errno != EAGAIN && errno != EINTR)
                return;
            m_txBlockedSince = now;
            m_txBlocked = true;
            return;
        }
        if (p.offset == p.bytes.size()) {
            m_out.pop_front();
            continue;
        }
        wakeAt = std::min(wakeAt, m_tx.dueTime(std::min<int64_t>(p.bytes.size() - p.offset, m_tx.chunk())));
        return;
    }
}

bool PtyChip::isOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_master >= 0;
}

QString PtyChip::errorString() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

QString PtyChip::slavePath() const
{
    std::lock_guard lock(m_mutex);
    return m_path;
}

int PtyChip::hangupCount() const
{
    std::lock_guard lock(m_mutex);
    return m_hangups;
}

void PtyChip::setBaud(int baud)
{
    {
        std::lock_guard lock(m_mutex);
        const auto now = Clock::now();
        m_rx.setBaud(baud, now);
        m_tx.setBaud(baud, now);
    }
    wake();
}

int PtyChip::baud() const
{
    std::lock_guard lock(m_mutex);
    return m_tx.baud();
}

void PtyChip::setTurnaround(int ms)
{
    std::lock_guard lock(m_mutex);
    m_turnaroundMs = std::max(0, ms);
}

int PtyChip::turnaround() const
{
    std::lock_guard lock(m_mutex);
    return m_turnaroundMs;
}

QList<QByteArray> PtyChip::frames() const
{
    return withModel([](const ChipModel &m) { return m.frames(); });
}

void PtyChip::clearFrames()
{
    withModel([](ChipModel &m) { m.clearFrames(); });
}

bool PtyChip::waitForFrames(int count, int timeoutMs) const
{
    return waitUntil([count](const ChipModel &m) { return m.frames().size() >= count; }, timeoutMs);
}

bool PtyChip::addFault(const QString &text, QString *error)
{
    const auto rule = FaultRule::parse(text, error);
    if (rule)
        addFault(*rule);
    return rule.has_value();
}

void PtyChip::addFault(const FaultRule &rule)
{
    withModel([&rule](ChipModel &m) { m.faults().add(rule); });
}

void PtyChip::clearFaults()
{
    withModel([](ChipModel &m) { m.faults().clear(); });
}

QList<FaultRule> PtyChip::faults() const
{
    std::lock_guard lock(m_mutex);
    return m_model->faults().rules();
}

QByteArray PtyChip::readMemory(MemoryType type, uint32_t address, int length) const
{
    std::lock_guard lock(m_mutex);
    return m_model->memory().peek(type, address, length);
}

void PtyChip::writeMemory(MemoryType type, uint32_t address, const QByteArray &bytes)
{
    withModel([&](ChipModel &m) { m.memory().poke(type, address, bytes); });
}

uint8_t PtyChip::reg(uint16_t address) const
{
    std::lock_guard lock(m_mutex);
    return m_model->memory().reg(address);
}

void PtyChip::setReg(uint16_t address, uint8_t value)
{
    withModel([&](ChipModel &m) { m.memory().setReg(address, value); });
}

uint32_t PtyChip::item(MemoryType type, uint16_t address) const
{
    std::lock_guard lock(m_mutex);
    return m_model->memory().item(type, address);
}

void PtyChip::setItem(MemoryType type, uint16_t address, uint32_t value)
{
    withModel([&](ChipModel &m) { m.memory().setItem(type, address, value); });
}

uint16_t PtyChip::windowThreshold(int selector) const
{
    std::lock_guard lock(m_mutex);
    return m_model->memory().windowThreshold(selector);
}

void PtyChip::setWindowThreshold(int selector, uint16_t value)
{
    withModel([&](ChipModel &m) { m.memory().setWindowThreshold(selector, value); });
}

void PtyChip::setFrameBuffer(int which, const QByteArray &picture)
{
    withModel([&](ChipModel &m) { m.frameBuffers().setPicture(which, picture); });
}

QByteArray PtyChip::frameBuffer(int which) const
{
    std::lock_guard lock(m_mutex);
    return m_model->frameBuffers().picture(which);
}

bool PtyChip::commMotionOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_model->commMotionOpen();
}

void PtyChip::setCommMotionOpen(bool open)
{
    withModel([open](ChipModel &m) { m.setCommMotionOpen(open, Clock::now()); });
}

void PtyChip::setMotionInterval(int ms)
{
    withModel([ms](ChipModel &m) { m.setMotionInterval(ms, Clock::now()); });
}

int PtyChip::notificationCount() const
{
    std::lock_guard lock(m_mutex);
    return m_model->notificationCount();
}

uint8_t PtyChip::serialNumber() const
{
    std::lock_guard lock(m_mutex);
    return m_model->serialNumber();
}

void PtyChip::setSerialNumber(uint8_t serial)
{
    withModel([serial](ChipModel &m) { m.setSerialNumber(serial); });
}

ChipFeatures PtyChip::features() const
{
    std::lock_guard lock(m_mutex);
    return m_model->features();
}

void PtyChip::setFeatures(const ChipFeatures &features)
{
    withModel([&features](ChipModel &m) { m.features() = features; });
}

} // namespace zm::sim
