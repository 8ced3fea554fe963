#include "link/command_layer.h"

#include <algorithm>
#include <utility>
#include <chrono>
#include <thread>

namespace zm {

CommandLayer::CommandLayer(QObject *parent)
    : QObject(parent)
    , m_link(std::make_unique<SerialLink>())
{
    m_link->setReceiver([this](const uint8_t *b, size_t k) { received(b, k); });
    m_router.setSink([this](TrafficRecorder::Kind kind, const uint8_t *b, int n) { routed(kind, b, n); });
    m_link->setLostHandler([this](const QString &reason) {
        {
            std::lock_guard lock(m_mutex);
            m_lost = true;
            m_lostReason = reason;
            m_router.disarm();
        }
        m_cv.notify_all();
        emit portLostSignal(reason);
        emit portStateChanged(false);
    });
}

QString CommandLayer::lostReason() const
{
    std::lock_guard lock(m_mutex);
    return m_lost ? m_lostReason : QString();
}

CommandLayer::~CommandLayer()
{
    m_link->close();
}

bool CommandLayer::open(const QString &port, const QString &settings, QString *error)
{
    const bool ok = m_link->open(port, settings, error);
    if (ok) {
        m_traffic.restartClock();
        m_link->call([this] {
            std::lock_guard lock(m_mutex);
            m_lost = false;
            m_router.disarm();
        });
        emit portStateChanged(true);
    }
    return ok;
}

void CommandLayer::close()
{
    const bool wasOpen = m_link->isOpen();
    m_link->close();
    m_link->call([this] {
        std::lock_guard lock(m_mutex);
        m_router.disarm();
    });
    if (wasOpen)
        emit portStateChanged(false);
}

uint8_t CommandLayer::lastResult() const
{
    std::lock_guard lock(m_mutex);
    return m_lastResult;
}

void CommandLayer::setLastResult(uint8_t r)
{
    std::lock_guard lock(m_mutex);
    m_lastResult = r;
}

ReceiveState CommandLayer::receiveState() const
{
    std::lock_guard lock(m_mutex);
    return m_router.state();
}

int CommandLayer::timeoutFor(uint8_t code) const
{
    return code == cmd::FlashChipErase ? kEraseTimeout : m_timeout.load();
}

CommandLayer::SentCommand CommandLayer::lastSent() const
{
    std::lock_guard lock(m_mutex);
    return m_sent;
}

AnswerRecord CommandLayer::answer() const
{
    std::lock_guard lock(m_mutex);
    return m_router.answer();
}

// Link thread: every batch of arriving bytes.
void CommandLayer::received(const uint8_t *b, size_t k)
{
    ReceiveRouter::Output out;
    {
        std::lock_guard lock(m_mutex);
        m_router.feed(b, k, out);
        if (out.answered) {
            m_event = true;
            m_signalled.store(true, std::memory_order_release);
        }
        if (m_rawIn.bytes && m_router.state() != ReceiveState::RawReceiving)
            flushRaw();
    }
    deliver(out);
}

void CommandLayer::routed(TrafficRecorder::Kind kind, const uint8_t *b, int n)
{
    if (!m_traffic.enabled())
        return;
    if (kind != TrafficRecorder::Kind::RawIn) {
        m_traffic.record(kind, b, n);
        return;
    }
    if (m_rawIn.start < 0)
        m_rawIn.start = m_traffic.now();
    const int keep = std::min(n, TrafficRecorder::kBytes - m_rawIn.kept);
    std::copy(b, b + keep, m_rawIn.first + m_rawIn.kept);
    m_rawIn.kept += keep;
    m_rawIn.bytes += uint32_t(n);
}

void CommandLayer::flushRaw()
{
    for (auto [run, kind] : {std::pair{&m_rawIn, TrafficRecorder::Kind::RawIn}, std::pair{&m_rawOut, TrafficRecorder::Kind::RawOut}}) {
        if (run->bytes)
            m_traffic.record(kind, run->first, run->kept, run->bytes, run->start, m_traffic.now() - run->start);
        *run = RawRun{};
    }
}

void CommandLayer::deliver(const ReceiveRouter::Output &out)
{
    if (out.answered || out.rawProgress || out.queued)
        m_cv.notify_all();
    if (out.show.isEmpty())
        return;
    if (m_gatherIdle.load()) {
        bool first = false;
        {
            std::lock_guard lock(m_gatheredMutex);
            first = m_gathered.isEmpty();
            m_gathered += out.show;
        }
        if (first)
            emit idleBytesGathered();
    }
    emit idleBytes(out.show);
}

void CommandLayer::gatherIdleBytes(bool on)
{
    m_gatherIdle = on;
    if (!on) {
        std::lock_guard lock(m_gatheredMutex);
        m_gathered.clear();
    }
}

QByteArray CommandLayer::takeIdleBytes()
{
    std::lock_guard lock(m_gatheredMutex);
    return std::exchange(m_gathered, QByteArray());
}

uint8_t CommandLayer::waitArmed(int timeoutMs)
{
    // Most answers come within a few tens of microseconds; looking for them briefly before going
    // to sleep saves the wake-up, which costs about as much as the exchange itself.
    const auto spinUntil = std::chrono::steady_clock::now() + std::chrono::microseconds(kSpinMicros);
    while (!m_signalled.load(std::memory_order_acquire) && std::chrono::steady_clock::now() < spinUntil)
        std::this_thread::yield();
    std::unique_lock lock(m_mutex);
    m_waiting = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const bool came = m_cv.wait_until(lock, deadline, [&] {
        return m_event || m_writeFailed || m_lost.load() || m_interrupted;
    });
    m_waiting = false;
    uint8_t result;
    if (m_writeFailed) {
        result = rc::SendFailed;
    } else if (came && m_event) {
        const AnswerRecord &a = m_router.answer();
        if (m_router.frameError() != 0)
            result = m_router.frameError();
        else if (a.serial != m_serial.load())
            result = rc::InvalidSerial;
        else
            result = a.status;
    } else if (came) {
        result = rc::Unknown; // the port went away, or the wait was interrupted
    } else {
        result = rc::TimeOut;
    }
    m_event = false;
    m_writeFailed = false;
    m_interrupted = false;
    m_signalled.store(false);
    m_lastResult = result;
    lock.unlock();
    // A good answer left the receive state where it belongs (idle, or the raw phase it opened);
    // anything else gives the wait up on the link thread, after whatever it is still doing.
    if (result != 0)
        giveUp(result);
    return result;
}

void CommandLayer::resetWait()
{
    std::lock_guard lock(m_mutex);
    m_event = false;
    m_writeFailed = false;
    m_interrupted = false;
    m_signalled.store(false);
    m_lastResult = 0;
}

uint8_t CommandLayer::sendAndWait(const CommandRecord &frame, After after)
{
    {
        std::lock_guard lock(m_mutex);
        m_sent = SentCommand{true, frame.code, QByteArray(reinterpret_cast<const char *>(frame.data.data()), frame.length),
                             timeoutFor(frame.code), false};
    }
    if (!m_link->isOpen()) {
        std::lock_guard lock(m_mutex);
        m_lastResult = rc::SendFailed;
        return rc::SendFailed;
    }
    QByteArray bytes(kCommandHeader + kMaxData, '\0');
    bytes.resize(frame.encode(reinterpret_cast<uint8_t *>(bytes.data())));
    resetWait();
    // Discarding stale input, arming the assembly and writing happen in one step on the link
    // thread, so no byte can slip in between; the worker goes straight on to wait, and a failed
    // write wakes it like an answer would.
    const uint8_t serial = m_serial.load();
    m_link->post([this, bytes, code = frame.code, after, serial] {
        m_link->discardInputOnThread();
        m_traffic.record(TrafficRecorder::Kind::Sent, reinterpret_cast<const uint8_t *>(bytes.constData()),
                         int(bytes.size()));
        {
            std::lock_guard lock(m_mutex);
            m_router.arm(code, after, serial);
        }
        if (!m_link->writeOnThread(reinterpret_cast<const uint8_t *>(bytes.constData()), bytes.size())) {
            {
                std::lock_guard lock(m_mutex);
                m_writeFailed = true;
                m_signalled.store(true, std::memory_order_release);
            }
            m_cv.notify_all();
        }
    });
    return waitArmed(timeoutFor(frame.code));
}

uint8_t CommandLayer::waitForAnswer(int timeoutMs)
{
    {
        std::lock_guard lock(m_mutex);
        m_sent.closing = true;
        m_sent.timeoutMs = timeoutMs;
    }
    resetWait();
    const uint8_t serial = m_serial.load();
    m_link->post([this, serial] {
        ReceiveRouter::Output out;
        {
            std::lock_guard lock(m_mutex);
            flushRaw();
            m_router.armClosing(serial, out);
            if (out.answered) {
                m_event = true;
                m_signalled.store(true, std::memory_order_release);
            }
        }
        deliver(out);
    });
    return waitArmed(timeoutMs);
}

bool CommandLayer::prepareRawReceive(uint32_t expected)
{
    std::lock_guard lock(m_mutex);
    return m_router.prepareRaw(expected);
}

uint32_t CommandLayer::rawExpected() const
{
    std::lock_guard lock(m_mutex);
    return m_router.rawExpected();
}

uint32_t CommandLayer::rawCount() const
{
    std::lock_guard lock(m_mutex);
    return m_router.rawCount();
}

uint32_t CommandLayer::waitRawProgress(uint32_t seen, int ms)
{
    std::unique_lock lock(m_mutex);
    m_cv.wait_for(lock, std::chrono::milliseconds(ms), [&] {
        return m_router.rawCount() != seen || m_router.state() != ReceiveState::RawReceiving || m_lost.load();
    });
    return m_router.rawCount();
}

QByteArray CommandLayer::rawData() const
{
    std::lock_guard lock(m_mutex);
    return QByteArray(reinterpret_cast<const char *>(m_router.rawData()), qsizetype(m_router.rawCount()));
}

bool CommandLayer::sendRawBytes(const uint8_t *bytes, int n)
{
    bool ok = false;
    m_link->call([&] {
        ok = true;
        if (m_traffic.enabled()) {
            if (m_rawOut.start < 0)
                m_rawOut.start = m_traffic.now();
            const int keep = std::min(n, TrafficRecorder::kBytes - m_rawOut.kept);
            std::copy(bytes, bytes + keep, m_rawOut.first + m_rawOut.kept);
            m_rawOut.kept += keep;
        }
        int i = 0;
        for (; i < n && ok; ++i)
            ok = m_link->writeOnThread(bytes + i, 1);
        if (m_traffic.enabled())
            m_rawOut.bytes += uint32_t(ok ? n : i - 1);
    });
    return ok;
}

void CommandLayer::giveUp(uint8_t result)
{
    m_link->call([this, result] {
        std::lock_guard lock(m_mutex);
        // The chip's own failures are in its answer; what the PC decided is recorded here.
        if (result == rc::TimeOut || result >= rc::InvalidLength)
            m_traffic.record(TrafficRecorder::Kind::Failed, &result, 1);
        flushRaw();
        m_router.disarm();
    });
}

void CommandLayer::endRawPhase()
{
    m_link->call([this] {
        std::lock_guard lock(m_mutex);
        flushRaw();
        m_router.disarm();
    });
}

void CommandLayer::startListening(uint8_t code)
{
    {
        std::lock_guard lock(m_mutex);
        m_interrupted = false;
    }
    m_link->call([this, code] {
        std::lock_guard lock(m_mutex);
        m_router.listen(code);
    });
}

uint8_t CommandLayer::waitNotification(int ms, AnswerRecord &frame)
{
    std::unique_lock lock(m_mutex);
    m_waiting = true;
    const bool came = m_cv.wait_for(lock, std::chrono::milliseconds(ms), [&] {
        return m_router.queuedCount() > 0 || m_lost.load() || m_interrupted;
    });
    m_waiting = false;
    uint8_t result;
    if (m_router.takeQueued(frame))
        result = frame.serial != m_serial.load() ? rc::InvalidSerial : frame.status;
    else
        result = came ? rc::Unknown : rc::TimeOut;
    m_interrupted = false;
    m_lastResult = result;
    return result;
}

void CommandLayer::collectNotifications(bool on)
{
    m_link->call([this, on] {
        std::lock_guard lock(m_mutex);
        m_router.collectNotifications(on);
    });
}

void CommandLayer::stopListening()
{
    endRawPhase();
}

void CommandLayer::interruptWait()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_waiting)
            return;
        m_interrupted = true;
    }
    m_cv.notify_all();
}

} // namespace zm
