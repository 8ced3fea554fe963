#pragma once
// What crossed the line, recorded on the link thread into a bounded buffer and taken by one
// reader (the traffic log window on a timer, zmctl --log): frames sent, answers, frames that
// were not the awaited answer, notifications, broken frames, idle bytes, and each raw phase as a
// whole. Off, it costs one flag test a place; on, a copy of a few bytes and one atomic store.
// When the reader falls behind, the newest events are dropped and counted.

#include "link/protocol.h"

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
    enum class Kind : uint8_t {
        Sent,         // a command frame
        Answer,       // the awaited answer
        Stray,        // a whole frame that was no answer to the command in flight (a late answer)
        Notification, // a motion notification
        Broken,       // bytes of a frame that broke (wrong sign, impossible length)
        Idle,         // bytes that came while no command waited
        RawIn,        // a raw phase from the chip, whole
        RawOut,       // a raw phase to the chip, whole
        Failed,       // a wait ended without an answer: data[0] is the result (a time-out, ...)
    };

    static constexpr int kBytes = 24;
    static constexpr size_t kCapacity = 65536;

    struct Event {
        int64_t ns = 0;         // since the port was opened
        int64_t durationNs = 0; // raw phases
        uint32_t total = 0;     // bytes the event stands for
        Kind kind = Kind::Sent;
        uint8_t length = 0;     // bytes kept in data (the first ones)
        uint8_t data[kBytes] = {};
    };

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
