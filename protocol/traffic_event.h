#pragma once
// One thing that crossed the line, as the link records it and the traffic log shows it: a frame
// sent, an answer, a frame that was no answer to the command in flight, a notification, a broken
// frame, idle bytes, a raw phase as a whole, or a wait that ended without an answer.

#include <cstdint>

namespace zm {

enum class TrafficKind : uint8_t {
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

struct TrafficEvent {
    static constexpr int kBytes = 24;

    int64_t ns = 0;         // since the port was opened
    int64_t durationNs = 0; // raw phases
    uint32_t total = 0;     // bytes the event stands for
    TrafficKind kind = TrafficKind::Sent;
    uint8_t length = 0;     // bytes kept in data (the first ones)
    uint8_t data[kBytes] = {};
};

} // namespace zm
