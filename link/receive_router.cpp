#include "link/receive_router.h"

#include <algorithm>

namespace zm {

void ReceiveRouter::arm(int code, After after, uint8_t serial)
{
    disarm();
    m_state = ReceiveState::AwaitingAnswer;
    m_code = code;
    m_after = after;
    m_serial = serial;
    m_frameError = 0;
    m_assembly.reset();
}

void ReceiveRouter::armClosing(uint8_t serial, Output &out)
{
    std::vector<uint8_t> held;
    held.swap(m_held);
    m_counters.held -= held.size();
    m_holdForClosing = false;
    arm(kAnyButNotification, After::Idle, serial);
    size_t pos = 0;
    while (pos < held.size() && m_state == ReceiveState::AwaitingAnswer)
        pos += takeFrames(held.data() + pos, held.size() - pos, out);
    // Whatever the closing answer left goes where the state now sends it.
    if (pos < held.size()) {
        const size_t before = m_counters.fed;
        feed(held.data() + pos, held.size() - pos, out);
        m_counters.fed = before; // these bytes were counted when they first came
    }
}

void ReceiveRouter::listen(uint8_t code)
{
    disarm();
    if (!m_collect)
        m_queue.clear();
    m_state = ReceiveState::AwaitingAnswer;
    m_code = code;
    m_listening = true;
    m_assembly.reset();
}

void ReceiveRouter::disarm()
{
    if (m_state == ReceiveState::AwaitingAnswer)
        m_counters.dropped += uint64_t(m_assembly.count());
    m_assembly.reset();
    m_counters.held -= m_held.size();
    m_counters.dropped += m_held.size();
    m_held.clear();
    m_holdForClosing = false;
    m_listening = false;
    m_state = ReceiveState::Idle;
}

void ReceiveRouter::collectNotifications(bool on)
{
    m_collect = on;
    m_queue.clear();
}

bool ReceiveRouter::prepareRaw(uint32_t expected)
{
    if (expected > kRawCapacity)
        return false;
    if (m_raw.size() < expected)
        m_raw.resize(expected);
    m_rawExpected = expected;
    m_rawCount = 0;
    return true;
}

bool ReceiveRouter::takeQueued(AnswerRecord &frame)
{
    if (m_queue.empty())
        return false;
    frame = m_queue.front();
    m_queue.pop_front();
    return true;
}

void ReceiveRouter::feed(const uint8_t *b, size_t k, Output &out)
{
    m_counters.fed += k;
    size_t pos = 0;
    while (pos < k) {
        switch (m_state) {
        case ReceiveState::Idle:
            show(b + pos, k - pos, out);
            return;
        case ReceiveState::AwaitingAnswer:
            pos += takeFrames(b + pos, k - pos, out);
            break;
        case ReceiveState::RawReceiving:
            pos += takeRaw(b + pos, k - pos, out);
            break;
        case ReceiveState::AnswerComplete:
            if (!m_holdForClosing) {
                show(b + pos, k - pos, out);
                return;
            }
            [[fallthrough]];
        case ReceiveState::RawSending:
        case ReceiveState::RawComplete:
            hold(b + pos, k - pos);
            return;
        }
    }
}

bool ReceiveRouter::awaited(uint8_t code) const
{
    if (m_code == kAnyButNotification)
        return code != cmd::MotionNotification;
    return code == uint8_t(m_code);
}

size_t ReceiveRouter::takeFrames(const uint8_t *b, size_t k, Output &out)
{
    size_t used = 0;
    while (used < k && m_state == ReceiveState::AwaitingAnswer) {
        const auto r = m_assembly.feed(b + used, k - used);
        used += r.used;
        if (r.outcome == AnswerAssembly::Outcome::Incomplete)
            break;
        const int n = m_assembly.count();
        if (r.outcome == AnswerAssembly::Outcome::Error) {
            // The bytes of a broken frame are the chip's all the same: the user sees them.
            out.show.append(reinterpret_cast<const char *>(m_assembly.bytes()), n);
            m_counters.shown += uint64_t(n);
            tell(TrafficRecorder::Kind::Broken, m_assembly.bytes(), n);
            if (m_listening) {
                m_assembly.reset(); // a listener resynchronises on the next byte
                continue;
            }
            m_frameError = m_assembly.error();
            m_answer = m_assembly.frame();
            m_state = ReceiveState::Idle;
            out.answered = true;
            break;
        }
        const AnswerRecord &frame = m_assembly.frame();
        const bool collected = m_collect && frame.code == cmd::MotionNotification;
        if (!awaited(frame.code) && !collected) {
            out.show.append(reinterpret_cast<const char *>(m_assembly.bytes()), n);
            m_counters.shown += uint64_t(n);
            tell(frame.code == cmd::MotionNotification ? TrafficRecorder::Kind::Notification
                                                       : TrafficRecorder::Kind::Stray,
                 m_assembly.bytes(), n);
            m_assembly.reset();
            continue;
        }
        if (m_listening || collected) {
            if (m_queue.size() < kQueueLimit)
                m_queue.push_back(frame);
            m_counters.queued += uint64_t(n);
            ++out.queued;
            tell(TrafficRecorder::Kind::Notification, m_assembly.bytes(), n);
            m_assembly.reset();
            continue;
        }
        m_answer = frame;
        m_counters.answers += uint64_t(n);
        tell(TrafficRecorder::Kind::Answer, m_assembly.bytes(), n);
        m_assembly.reset();
        completed(out);
    }
    return used;
}

void ReceiveRouter::completed(Output &out)
{
    out.answered = true;
    const bool good = m_answer.status == 0 && m_answer.serial == m_serial;
    if (!good) {
        m_state = ReceiveState::Idle;
        return;
    }
    switch (m_after) {
    case After::Idle:
        m_state = ReceiveState::Idle;
        break;
    case After::RawReceive:
        m_state = m_rawCount >= m_rawExpected ? ReceiveState::RawComplete : ReceiveState::RawReceiving;
        break;
    case After::RawSend:
        m_state = ReceiveState::RawSending;
        break;
    case After::Closing:
        m_state = ReceiveState::AnswerComplete;
        m_holdForClosing = true;
        break;
    }
}

size_t ReceiveRouter::takeRaw(const uint8_t *b, size_t k, Output &out)
{
    const size_t room = m_rawExpected > m_rawCount ? m_rawExpected - m_rawCount : 0;
    const size_t n = std::min(k, room);
    std::copy(b, b + n, m_raw.begin() + m_rawCount);
    m_rawCount += uint32_t(n);
    m_counters.raw += n;
    out.rawProgress = out.rawProgress || n > 0;
    if (n > 0)
        tell(TrafficRecorder::Kind::RawIn, b, int(n));
    if (m_rawCount >= m_rawExpected)
        m_state = ReceiveState::RawComplete;
    return n;
}

void ReceiveRouter::hold(const uint8_t *b, size_t k)
{
    const size_t n = std::min(k, kHoldLimit - std::min(kHoldLimit, m_held.size()));
    m_held.insert(m_held.end(), b, b + n);
    m_counters.held += n;
    m_counters.dropped += k - n;
}

void ReceiveRouter::show(const uint8_t *b, size_t k, Output &out)
{
    out.show.append(reinterpret_cast<const char *>(b), qsizetype(k));
    m_counters.shown += k;
    tell(TrafficRecorder::Kind::Idle, b, int(std::min<size_t>(k, INT32_MAX)));
}

} // namespace zm
