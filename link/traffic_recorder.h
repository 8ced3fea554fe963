#pragma once
// What crossed the line, recorded on the link thread into a bounded buffer and taken by one
// reader (the traffic log window on a timer, zmctl --log): frames sent, answers, frames that
// were not the awaited answer, notifications, broken frames, idle bytes, and each raw phase as a
// whole. Off, it costs one flag test a place; on, a copy of a few bytes and one atomic store.
// When the reader falls behind, the newest events are dropped and counted.

#include "protocol/protocol.h"
#include "protocol/traffic_event.h"

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

namespace zm {

class TrafficRecorder
{
public:
    using Kind = TrafficKind;
    using Event = TrafficEvent;
    static constexpr int kBytes = TrafficEvent::kBytes;
    static constexpr size_t kCapacity = 65536;

    TrafficRecorder();

    void setEnabled(bool on);
    bool enabled() const { return m_enabled.load(std::memory_order_relaxed); }
    // Time 0 of the events: the port was opened.
    void restartClock();
    int64_t now() const;

    // Writer (the link thread) only.
    void record(Kind kind, const uint8_t *bytes, int n, uint32_t total = 0, int64_t at = -1, int64_t durationNs = 0);

    // Reader only: appends what was recorded since the last call; returns how many.
    size_t take(std::vector<Event> &out);
    uint64_t dropped() const { return m_dropped.load(); }

private:
    std::unique_ptr<Event[]> m_ring;
    std::atomic<uint64_t> m_head{0}; // next to write
    std::atomic<uint64_t> m_tail{0}; // next to read
    std::atomic<bool> m_enabled{false};
    std::atomic<uint64_t> m_dropped{0};
    std::atomic<int64_t> m_start;
};

} // namespace zm
