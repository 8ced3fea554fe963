#pragma once
// Paces one direction of a serial line at baud / 10 bytes per second (8 data bits, no parity,
// one stop bit) against the steady clock.
//
// The pacer keeps an absolute schedule: byte k of a burst is due at start + k byte times, so a
// late wake-up is made good by the next chunk instead of adding up. A burst starts when the
// line has been idle; idle time is never saved up as credit for a later burst.

#include <chrono>
#include <cstdint>

namespace zm::sim {

class LinePacer {
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;

    // 0 switches pacing off: everything may move at once.
    void setBaud(int baud, TimePoint now);
    int baud() const { return m_baud; }
    bool paced() const { return m_baud > 0; }

    // How many bytes the line can have moved by `now` that have not been taken yet.
    int64_t allowance(TimePoint now) const;
    // `count` bytes were taken.
    void consume(int64_t count) { m_count += count; }
    // Nothing was waiting at `at`: if the line has finished its burst by then, the next burst
    // starts at `at`.
    void idle(TimePoint at);
    // When the allowance reaches `count` bytes.
    TimePoint dueTime(int64_t count) const;
    // About one millisecond of bytes, at least one: the size of the chunks a paced line moves.
    int64_t chunk() const;

private:
    int m_baud = 0;
    TimePoint m_start{};
    int64_t m_count = 0; // bytes taken since m_start
};

} // namespace zm::sim
