#include "link/idle_feed.h"

#include "link/handover.h"

#include <utility>

namespace zm {

void IdleFeed::setGathering(bool on)
{
    m_gathering = on;
    if (!on) {
        std::lock_guard lock(m_mutex);
        m_waiting.clear();
    }
}

QByteArray IdleFeed::take()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_waiting, QByteArray());
}

qsizetype IdleFeed::waitingSize() const
{
    std::lock_guard lock(m_mutex);
    return m_waiting.size();
}

void IdleFeed::deliver(const QByteArray &bytes)
{
    if (bytes.isEmpty() || !m_gathering.load())
        return;
    bool first = false;
    {
        std::lock_guard lock(m_mutex);
        first = m_waiting.isEmpty();
        m_waiting += bytes;
    }
    if (first)
        handover::post(this, [this] { emit gathered(); });
}

} // namespace zm
