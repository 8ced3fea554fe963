#include "link/link_session.h"

#include "link/handover.h"
#include "link/receive_router.h"
#include "link/serial_link.h"

#include <QThread>

#include <thread>

namespace zm {

namespace {

// Wakes a wait on `cv` when `stop` is requested, also when it was requested before the wait
// began. Taking the mutex first means the waiter is either not yet looking at its predicate
// (and will see the stop) or already asleep (and is woken): the stop cannot fall between.
class WakeOnStop
{
public:
    WakeOnStop(const std::stop_token &stop, std::mutex &mutex, std::condition_variable &cv)
        : m_callback(stop, Wake{&mutex, &cv})
    {
    }

private:
    struct Wake {
        std::mutex *mutex;
        std::condition_variable *cv;
        void operator()() const
        {
            { std::lock_guard lock(*mutex); }
            cv->notify_all();
        }
    };
    std::stop_callback<Wake> m_callback;
};

static_assert(int(LinkSession::After::Idle) == int(ReceiveRouter::After::Idle)
              && int(LinkSession::After::RawReceive) == int(ReceiveRouter::After::RawReceive)
              && int(LinkSession::After::RawSend) == int(ReceiveRouter::After::RawSend)
              && int(LinkSession::After::Closing) == int(ReceiveRouter::After::Closing));

} // namespace

LinkSession::LinkSession(QObject *parent)
    : QObject(parent)
    , m_link(std::make_unique<SerialLink>())
    , m_router(std::make_unique<ReceiveRouter>())
{
    m_link->setReceiver([this](const uint8_t *b, size_t k) { received(b, k); });
    m_router->setSink([this](TrafficRecorder::Kind kind, const uint8_t *b, int n) { m_traffic.routed(kind, b, n); });
    m_link->setLostHandler([this](const QString &reason) { linkThreadPortLost(reason); });
}

LinkSession::~LinkSession()
{
    // The link thread runs code of ours that uses every member below; it ends first, whatever the
    // order the members are declared in.
    m_link.reset();
}

void LinkSession::tellOwner(std::function<void()> fn)
{
    if (QThread::currentThread() == thread())
        fn();
    else
        handover::post(this, std::move(fn));
}

void LinkSession::linkThreadPortLost(const QString &reason)
{
    {
        std::lock_guard lock(m_mutex);
        m_lost = true;
        m_lostReason = reason;
        m_router->disarm();
    }
    m_cv.notify_all();
    tellOwner([this, reason] {
        emit portLostSignal(reason);
        emit portStateChanged(false);
    });
}

bool LinkSession::open(const QString &port, const QString &lineSettings, QString *error)
{
    const bool ok = m_link->open(port, lineSettings, error);
    if (ok) {
        m_link->call([this] {
            m_traffic.recorder().restartClock();
            std::lock_guard lock(m_mutex);
            m_lost = false;
            m_lostReason.clear();
            m_router->disarm();
        });
        tellOwner([this] { emit portStateChanged(true); });
    }
    return ok;
}

void LinkSession::close()
{
    const bool wasOpen = m_link->isOpen();
    m_link->close();
    m_link->call([this] {
        std::lock_guard lock(m_mutex);
        m_router->disarm();
    });
    if (wasOpen)
        tellOwner([this] { emit portStateChanged(false); });
}

bool LinkSession::isOpen() const
{
    return m_link->isOpen();
}

QString LinkSession::lostReason() const
{
    std::lock_guard lock(m_mutex);
    return m_lost ? m_lostReason : QString();
}

bool LinkSession::tryAcquire()
{
    std::lock_guard lock(m_turnMutex);
    if (m_busy)
        return false;
    m_busy = true;
    return true;
}

bool LinkSession::acquire(std::chrono::milliseconds wait, std::stop_token stop)
{
    const WakeOnStop wake(stop, m_turnMutex, m_turnFree);
    std::unique_lock lock(m_turnMutex);
    if (!m_turnFree.wait_for(lock, wait, [&] { return !m_busy || stop.stop_requested() || m_aborting.load(); })
        || m_busy)
        return false;
    m_busy = true;
    return true;
}

void LinkSession::release()
{
    {
        std::lock_guard lock(m_turnMutex);
        m_busy = false;
    }
    m_turnFree.notify_all();
}

void LinkSession::abortWaits(bool on)
{
    m_aborting = on;
    if (!on)
        return;
    { std::lock_guard lock(m_mutex); }
    m_cv.notify_all();
    { std::lock_guard lock(m_turnMutex); }
    m_turnFree.notify_all();
}

bool LinkSession::isBusy() const
{
    std::lock_guard lock(m_turnMutex);
    return m_busy;
}

LinkSettings LinkSession::settings() const
{
    std::lock_guard lock(m_settingsMutex);
    return m_settings;
}

LinkSession::SentCommand LinkSession::lastSent() const
{
    std::lock_guard lock(m_mutex);
    return m_sent;
}

AnswerRecord LinkSession::lastAnswer() const
{
    std::lock_guard lock(m_mutex);
    return m_router->answer();
}

quint64 LinkSession::writeCount() const
{
    return m_link->writeCount();
}

ReceiveState LinkSession::receiveState() const
{
    std::lock_guard lock(m_mutex);
    return m_router->state();
}

// Link thread: every batch of arriving bytes.
void LinkSession::received(const uint8_t *b, size_t k)
{
    ReceiveRouter::Output out;
    {
        std::lock_guard lock(m_mutex);
        m_router->feed(b, k, out);
        if (out.answered) {
            m_event = true;
            m_signalled.store(true, std::memory_order_release);
        }
        if (m_router->state() != ReceiveState::RawReceiving)
            m_traffic.flushRaw();
    }
    if (out.answered || out.rawProgress || out.queued)
        m_cv.notify_all();
    m_idle.deliver(out.show);
}

void LinkSession::resetWait()
{
    std::lock_guard lock(m_mutex);
    m_event = false;
    m_writeFailed = false;
    m_signalled.store(false);
}

uint8_t LinkSession::request(const CommandRecord &frame, std::stop_token stop, After after, AnswerRecord *answer)
{
    const LinkSettings s = settings();
    {
        std::lock_guard lock(m_mutex);
        m_sent = SentCommand{true, frame.code, QByteArray(reinterpret_cast<const char *>(frame.data.data()), frame.length),
                             s.timeoutFor(frame.code), false};
    }
    if (!m_link->isOpen()) {
        m_lastResult = rc::SendFailed;
        return rc::SendFailed;
    }
    if (stop.stop_requested() || m_aborting.load()) {
        // Nothing goes out that nobody would wait for.
        m_lastResult = rc::Stopped;
        return rc::Stopped;
    }
    QByteArray bytes(kCommandHeader + kMaxData, '\0');
    bytes.resize(frame.encode(reinterpret_cast<uint8_t *>(bytes.data())));
    resetWait();
    // Discarding stale input, arming the router and writing happen in one step on the link
    // thread, so no byte can slip in between; the requester goes straight on to wait, and a
    // failed write wakes it as an answer would.
    m_link->post([this, bytes, code = frame.code, after, serial = s.serial] {
        m_link->discardInputOnThread();
        m_traffic.sent(bytes);
        {
            std::lock_guard lock(m_mutex);
            m_router->arm(code, ReceiveRouter::After(after), serial);
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
    return waitArmed(s.timeoutFor(frame.code), stop, s.serial, answer);
}

uint8_t LinkSession::waitArmed(int timeoutMs, const std::stop_token &stop, uint8_t serial, AnswerRecord *answer)
{
    const WakeOnStop wake(stop, m_mutex, m_cv);
    // Most answers come within a few tens of microseconds; looking for them briefly before going
    // to sleep saves the wake-up, which costs about as much as the exchange itself.
    const auto spinUntil = std::chrono::steady_clock::now() + std::chrono::microseconds(kSpinMicros);
    while (!m_signalled.load(std::memory_order_acquire) && !stop.stop_requested()
           && std::chrono::steady_clock::now() < spinUntil)
        std::this_thread::yield();
    uint8_t result;
    {
        std::unique_lock lock(m_mutex);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        const bool came = m_cv.wait_until(lock, deadline, [&] {
            return m_event || m_writeFailed || m_lost.load() || stop.stop_requested() || m_aborting.load();
        });
        if (m_writeFailed) {
            result = rc::SendFailed;
        } else if (came && m_event) {
            const AnswerRecord &a = m_router->answer();
            if (m_router->frameError() != 0)
                result = m_router->frameError();
            else if (a.serial != serial)
                result = rc::InvalidSerial;
            else
                result = a.status;
            if (answer && m_router->frameError() == 0)
                *answer = a;
        } else if (came && m_lost.load()) {
            result = rc::Unknown; // the port went away
        } else if (came) {
            result = rc::Stopped;
        } else {
            result = rc::TimeOut;
        }
        m_event = false;
        m_writeFailed = false;
        m_signalled.store(false);
    }
    m_lastResult = result;
    // A good answer left the receive state where it belongs (idle, or the raw phase it opened);
    // anything else gives the wait up on the link thread, after whatever it is still doing.
    if (result != 0)
        giveUp(result);
    return result;
}

uint8_t LinkSession::waitForAnswer(int timeoutMs, std::stop_token stop)
{
    {
        std::lock_guard lock(m_mutex);
        m_sent.closing = true;
        m_sent.timeoutMs = timeoutMs;
    }
    resetWait();
    const uint8_t serial = settings().serial;
    m_link->post([this, serial] {
        ReceiveRouter::Output out;
        {
            std::lock_guard lock(m_mutex);
            m_traffic.flushRaw();
            m_router->armClosing(serial, out);
            if (out.answered) {
                m_event = true;
                m_signalled.store(true, std::memory_order_release);
            }
        }
        if (out.answered || out.rawProgress || out.queued)
            m_cv.notify_all();
        m_idle.deliver(out.show);
    });
    return waitArmed(timeoutMs, stop, serial, nullptr);
}

bool LinkSession::prepareRawReceive(uint32_t expected)
{
    std::lock_guard lock(m_mutex);
    return m_router->prepareRaw(expected);
}

LinkSession::RawProgress LinkSession::waitRawProgress(uint32_t seen, int ms, std::stop_token stop)
{
    const WakeOnStop wake(stop, m_mutex, m_cv);
    std::unique_lock lock(m_mutex);
    m_cv.wait_for(lock, std::chrono::milliseconds(ms), [&] {
        return m_router->rawCount() != seen || m_router->state() != ReceiveState::RawReceiving || m_lost.load()
            || stop.stop_requested() || m_aborting.load();
    });
    return {m_router->rawCount(), m_router->state() == ReceiveState::RawComplete};
}

QByteArray LinkSession::rawData() const
{
    std::lock_guard lock(m_mutex);
    return QByteArray(reinterpret_cast<const char *>(m_router->rawData()), qsizetype(m_router->rawCount()));
}

bool LinkSession::sendRawBytes(const uint8_t *bytes, int n)
{
    bool ok = false;
    m_link->call([&] {
        ok = true;
        int i = 0;
        for (; i < n && ok; ++i)
            ok = m_link->writeOnThread(bytes + i, 1);
        m_traffic.rawSent(bytes, n, ok ? n : i - 1);
    });
    return ok;
}

void LinkSession::giveUp(uint8_t result)
{
    m_link->call([this, result] {
        std::lock_guard lock(m_mutex);
        m_traffic.failed(result);
        m_traffic.flushRaw();
        m_router->disarm();
    });
}

void LinkSession::endRawPhase()
{
    m_link->call([this] {
        std::lock_guard lock(m_mutex);
        m_traffic.flushRaw();
        m_router->disarm();
    });
}

void LinkSession::startListening(uint8_t code)
{
    m_link->call([this, code] {
        std::lock_guard lock(m_mutex);
        m_router->listen(code);
    });
}

uint8_t LinkSession::waitNotification(int ms, AnswerRecord &frame, std::stop_token stop)
{
    const WakeOnStop wake(stop, m_mutex, m_cv);
    const uint8_t serial = settings().serial;
    uint8_t result;
    {
        std::unique_lock lock(m_mutex);
        const bool came = m_cv.wait_for(lock, std::chrono::milliseconds(ms), [&] {
            return m_router->queuedCount() > 0 || m_lost.load() || stop.stop_requested() || m_aborting.load();
        });
        if (m_router->takeQueued(frame))
            result = frame.serial != serial ? rc::InvalidSerial : frame.status;
        else if (!came)
            result = rc::TimeOut;
        else
            result = m_lost.load() ? rc::Unknown : rc::Stopped;
    }
    m_lastResult = result;
    return result;
}

void LinkSession::collectNotifications(bool on)
{
    m_link->call([this, on] {
        std::lock_guard lock(m_mutex);
        m_router->collectNotifications(on);
    });
}

void LinkSession::stopListening()
{
    endRawPhase();
}

} // namespace zm
