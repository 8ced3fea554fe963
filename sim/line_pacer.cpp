#include "sim/line_pacer.h"

#include <algorithm>

namespace zm::sim {

namespace {
constexpr int64_t kNsPerByteBaud = 10'000'000'000; // 10 bits per byte, in ns at 1 baud
}

void LinePacer::setBaud(int baud, TimePoint now)
{
    m_baud = std::max(0, baud);
    m_start = now;
    m_count = 0;
}

int64_t LinePacer::allowance(TimePoint now) const
{
    if (!paced())
        return INT64_MAX / 4;
    const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - m_start).count();
    if (elapsed <= 0)
        return 0;
    const auto moved = int64_t((__int128(elapsed) * m_baud) / kNsPerByteBaud);
    return std::max<int64_t>(0, moved - m_count);
}

void LinePacer::idle(TimePoint at)
{
    if (paced() && dueTime(0) < at) {
        m_start = at;
        m_count = 0;
    }
}

LinePacer::TimePoint LinePacer::dueTime(int64_t count) const
{
    if (!paced())
        return m_start;
    const auto bytes = __int128(m_count + std::max<int64_t>(0, count));
    // Round up so that the allowance really has reached `count` at the returned time.
    const auto ns = int64_t((bytes * kNsPerByteBaud + m_baud - 1) / m_baud);
    return m_start + std::chrono::nanoseconds(ns);
}

int64_t LinePacer::chunk() const
{
    return paced() ? std::max<int64_t>(1, m_baud / 10'000) : INT64_MAX / 4;
}

} // namespace zm::sim
