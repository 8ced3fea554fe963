#include "link/command_layer.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace zm {

namespace {
constexpr size_t kPendingLimit = 4096;
}

CommandLayer::CommandLayer(QObject *parent)
    : QObject(parent)
    , m_link(std::make_unique<SerialLink>())
{
    m_raw.resize(kFbufCapacity);
    m_link->setReceiver([this](const uint8_t *b, size_t k) { received(b, k); });
    m_link->setLostHandler([this](const QString &reason) {
        {
            std::lock_guard lock(m_mutex);
            m_lost = true;
        }
        m_cv.notify_all();
        emit portLostSignal(reason);
    });
}

CommandLayer::~CommandLayer()
{
    m_link->close();
}

bool CommandLayer::open(const QString &port, const QString &settings, QString *error)
{
    const bool ok = m_link->open(port, settings, error);
    if (ok) {
        std::lock_guard lock(m_mutex);
        m_lost = false;
        m_state = ReceiveState::Idle;
        m_pending.clear();
    }
    return ok;
}

void CommandLayer::close()
{
    m_link->close();
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
    return m_state;
}

void CommandLayer::setReceiveState(ReceiveState s)
{
    std::lock_guard lock(m_mutex);
    m_state = s;
    if (s == ReceiveState::Idle) {
        m_pending.clear();
        m_holdForClosing = false;
    }
}

AnswerRecord CommandLayer::answer() const
{
    std::lock_guard lock(m_mutex);
    return m_answer;
}

// Link thread: every batch of arriving bytes.
void CommandLayer::received(const uint8_t *b, size_t k)
{
    QByteArray show;
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        switch (m_state) {
        case ReceiveState::Idle:
            show = QByteArray(reinterpret_cast<const char *>(b), qsizetype(k));
            break;
        case ReceiveState::AwaitingAnswer: {
            // An answer that a raw phase follows is taken byte-exact, so that picture bytes in the
            // same batch are not mistaken for an over-long answer.
            const auto r = m_after == After::Idle ? m_assembly.feed(b, k, m_answer)
                                                  : m_assembly.feedFrame(b, k, m_answer);
            if (r.outcome == AnswerAssembly::Outcome::Complete) {
                const bool good = m_answer.status == 0 && m_answer.serial == m_serial.load();
                const uint8_t *rest = b + r.used;
                const size_t n = k - r.used;
                if (good && m_after == After::RawReceive) {
                    m_state = ReceiveState::RawReceiving;
                    appendRaw(rest, n);
                } else if (good && m_after == After::RawSend) {
                    m_state = ReceiveState::RawSending;
                    hold(rest, n);
                } else if (good && m_after == After::Closing) {
                    m_state = ReceiveState::AnswerComplete;
                    m_holdForClosing = true;
                    hold(rest, n);
                } else {
                    m_state = ReceiveState::AnswerComplete;
                    show = QByteArray(reinterpret_cast<const char *>(rest), qsizetype(n));
                }
                m_event = true;
                m_signalled.store(true, std::memory_order_release);
                wake = true;
            } else if (r.outcome == AnswerAssembly::Outcome::Error) {
                // Wake the waiter now with the real cause instead of letting it time out.
                m_lastResult = m_assembly.error();
                m_state = ReceiveState::AnswerComplete;
                m_event = true;
                m_signalled.store(true, std::memory_order_release);
                wake = true;
            }
            break;
        }
        case ReceiveState::RawReceiving:
            appendRaw(b, k);
            wake = true;
            break;
        case ReceiveState::RawSending:
        case ReceiveState::RawComplete:
            hold(b, k);
            break;
        case ReceiveState::AnswerComplete:
            if (m_holdForClosing)
                hold(b, k);
            break;
        }
    }
    if (wake)
        m_cv.notify_all();
    if (!show.isEmpty())
        emit idleBytes(show);
}

void CommandLayer::appendRaw(const uint8_t *b, size_t k)
{
    const size_t room = m_rawExpected > m_rawCount ? m_rawExpected - m_rawCount : 0;
    const size_t n = std::min(k, room);
    std::copy(b, b + n, m_raw.begin() + m_rawCount);
    m_rawCount += uint32_t(n);
    if (m_rawCount >= m_rawExpected) {
        m_state = ReceiveState::RawComplete;
        hold(b + n, k - n);
    }
}

void CommandLayer::hold(const uint8_t *b, size_t k)
{
    const size_t n = std::min(k, kPendingLimit - std::min(kPendingLimit, m_pending.size()));
    m_pending.insert(m_pending.end(), b, b + n);
}

void CommandLayer::arm()
{
    m_assembly.reset();
    m_lastResult = 0;
    m_event = false;
    m_signalled.store(false);
    m_state = ReceiveState::AwaitingAnswer;
}

uint8_t CommandLayer::waitArmed(int timeoutMs)
{
    // Most answers come within a few tens of microseconds; looking for them briefly before going
    // to sleep saves the wake-up, which costs about as much as the exchange itself.
    const auto spinUntil = std::chrono::steady_clock::now() + std::chrono::microseconds(kSpinMicros);
    while (!m_signalled.load(std::memory_order_acquire) && std::chrono::steady_clock::now() < spinUntil)
        std::this_thread::yield();
    std::unique_lock lock(m_mutex);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const bool came = m_cv.wait_until(lock, deadline, [&] { return m_event || m_writeFailed || m_lost.load(); });
    uint8_t result;
    if (m_writeFailed) {
        m_writeFailed = false;
        result = rc::SendFailed;
    } else if (came && m_event) {
        m_event = false;
        m_signalled.store(false);
        if (m_assembly.error() != 0)
            result = m_assembly.error();
        else if (m_answer.serial != m_serial.load())
            result = rc::InvalidSerial;
        else
            result = m_answer.status;
    } else if (came) {
        result = rc::Unknown; // the port went away while we waited
    } else {
        result = rc::TimeOut;
    }
    m_lastResult = result;
    // A successful answer that opened a raw phase leaves the receive state to that phase.
    const bool rawPhase = result == 0 && (m_state == ReceiveState::RawReceiving || m_state == ReceiveState::RawComplete
                                          || m_state == ReceiveState::RawSending || m_holdForClosing);
    if (!rawPhase) {
        m_state = ReceiveState::Idle;
        m_pending.clear();
        m_holdForClosing = false;
    }
    m_after = After::Idle;
    return result;
}

uint8_t CommandLayer::sendAndWait(const CommandRecord &frame, After after)
{
    if (!m_link->isOpen()) {
        std::lock_guard lock(m_mutex);
        m_state = ReceiveState::Idle;
        m_lastResult = rc::SendFailed;
        return rc::SendFailed;
    }
    std::vector<uint8_t> bytes(kCommandHeader + kMaxData);
    bytes.resize(size_t(frame.encode(bytes.data())));
    {
        std::lock_guard lock(m_mutex);
        m_event = false;
        m_signalled.store(false);
        m_writeFailed = false;
        m_state = ReceiveState::Idle; // nothing reaches the assembly before the link thread arms it
    }
    // Discarding stale input, arming the assembly and writing happen in one step on the link
    // thread, so no byte can slip in between; the worker goes straight on to wait, and a failed
    // write wakes it like an answer would.
    m_link->post([this, bytes = std::move(bytes), after] {
        m_link->discardInputOnThread();
        {
            std::lock_guard lock(m_mutex);
            arm();
            m_after = after;
            m_pending.clear();
            m_holdForClosing = false;
        }
        if (m_link->writeOnThread(bytes.data(), qint64(bytes.size())) != qint64(bytes.size())) {
            {
                std::lock_guard lock(m_mutex);
                m_writeFailed = true;
                m_signalled.store(true, std::memory_order_release);
            }
            m_cv.notify_all();
        }
    });
    return waitArmed(m_timeout.load());
}

uint8_t CommandLayer::waitForAnswer(int timeoutMs)
{
    QByteArray show;
    {
        std::lock_guard lock(m_mutex);
        std::vector<uint8_t> pending;
        pending.swap(m_pending);
        m_holdForClosing = false;
        arm();
        m_after = After::Idle;
        if (!pending.empty()) {
            const auto r = m_assembly.feedFrame(pending.data(), pending.size(), m_answer);
            if (r.outcome == AnswerAssembly::Outcome::Complete) {
                m_state = ReceiveState::AnswerComplete;
                m_event = true;
                m_signalled.store(true, std::memory_order_release);
                show = QByteArray(reinterpret_cast<const char *>(pending.data() + r.used),
                                  qsizetype(pending.size() - r.used));
            } else if (r.outcome == AnswerAssembly::Outcome::Error) {
                m_lastResult = m_assembly.error();
                m_state = ReceiveState::AnswerComplete;
                m_event = true;
                m_signalled.store(true, std::memory_order_release);
            }
        }
    }
    if (!show.isEmpty())
        emit idleBytes(show);
    return waitArmed(timeoutMs);
}

bool CommandLayer::prepareRawReceive(uint32_t expected)
{
    if (expected > kFbufCapacity)
        return false;
    std::lock_guard lock(m_mutex);
    m_rawExpected = expected;
    m_rawCount = 0;
    return true;
}

uint32_t CommandLayer::rawExpected() const
{
    std::lock_guard lock(m_mutex);
    return m_rawExpected;
}

uint32_t CommandLayer::rawCount() const
{
    std::lock_guard lock(m_mutex);
    return m_rawCount;
}

uint32_t CommandLayer::waitRawProgress(uint32_t seen, int ms)
{
    std::unique_lock lock(m_mutex);
    m_cv.wait_for(lock, std::chrono::milliseconds(ms), [&] {
        return m_rawCount != seen || m_state != ReceiveState::RawReceiving || m_lost.load();
    });
    return m_rawCount;
}

QByteArray CommandLayer::rawData() const
{
    std::lock_guard lock(m_mutex);
    return QByteArray(reinterpret_cast<const char *>(m_raw.data()), qsizetype(m_rawCount));
}

} // namespace zm
