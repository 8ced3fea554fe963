#pragma once
// The chip's two frame buffers (current and next) and their capture control.

#include <QByteArray>

#include <array>
#include <cstdint>

namespace zm::sim {

enum class FbufState : uint8_t {
    Running,
    CurrentStopped,
    NextStopped,
};

class FrameBuffers {
public:
    static constexpr int kCurrent = 0;
    static constexpr int kNext = 1;

    FrameBuffers(uint32_t capacity, const QByteArray &current, const QByteArray &next);

    uint32_t capacity() const { return m_capacity; }
    FbufState state() const { return m_state; }
    bool stopped() const { return m_state != FbufState::Running; }

    // fbuf-control: 0 stop current, 1 stop next, 2 step, 3 resume. Returns the chip status.
    uint8_t control(uint8_t operation);

    // The picture length the chip reports for a buffer, and the picture itself.
    uint32_t length(int which) const { return m_length[which & 1]; }
    void setLength(int which, uint32_t length);
    QByteArray picture(int which) const;
    // Replaces a buffer's contents and length (tests, start-up).
    void setPicture(int which, const QByteArray &picture);

    // Buffer memory, also past the picture; callers keep start + length within the capacity.
    QByteArray read(int which, uint32_t start, uint32_t length) const;
    void writeByte(int which, uint32_t offset, uint8_t value);

private:
    uint32_t m_capacity;
    std::array<QByteArray, 2> m_memory;
    std::array<uint32_t, 2> m_length{};
    FbufState m_state = FbufState::Running;
};

} // namespace zm::sim
