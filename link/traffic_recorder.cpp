#include "link/traffic_recorder.h"

#include <algorithm>
#include <cstring>

namespace zm {

namespace {
int64_t steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
} // namespace

TrafficRecorder::TrafficRecorder()
    : m_ring(std::make_unique<Event[]>(kCapacity))
    , m_start(steadyNs())
{
}

void TrafficRecorder::setEnabled(bool on)
{
    m_enabled.store(on);
}

void TrafficRecorder::restartClock()
{
    m_start.store(steadyNs());
}

int64_t TrafficRecorder::now() const
{
    return steadyNs() - m_start.load(std::memory_order_relaxed);
}

void TrafficRecorder::record(Kind kind, const uint8_t *bytes, int n, uint32_t total, int64_t at, int64_t durationNs)
{
    if (!enabled())
        return;
    const uint64_t head = m_head.load(std::memory_order_relaxed);
    if (head - m_tail.load(std::memory_order_acquire) >= kCapacity) {
        m_dropped.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    Event &e = m_ring[head % kCapacity];
    e.ns = at >= 0 ? at : now();
    e.durationNs = durationNs;
    e.kind = kind;
    e.length = uint8_t(std::clamp(n, 0, kBytes));
    e.total = total ? total : uint32_t(std::max(n, 0));
    if (e.length)
        std::memcpy(e.data, bytes, e.length);
    m_head.store(head + 1, std::memory_order_release);
}

size_t TrafficRecorder::take(std::vector<Event> &out)
{
    const uint64_t tail = m_tail.load(std::memory_order_relaxed);
    const uint64_t head = m_head.load(std::memory_order_acquire);
    for (uint64_t i = tail; i < head; ++i)
        out.push_back(m_ring[i % kCapacity]);
    m_tail.store(head, std::memory_order_release);
    return size_t(head - tail);
}

} // namespace zm
