#include "sim/frame_buffers.h"

#include "protocol/protocol.h"

#include <algorithm>

namespace zm::sim {

FrameBuffers::FrameBuffers(uint32_t capacity, const QByteArray &current, const QByteArray &next)
    : m_capacity(capacity)
{
    m_memory[0] = QByteArray(qsizetype(capacity), '\0');
    m_memory[1] = QByteArray(qsizetype(capacity), '\0');
    setPicture(kCurrent, current);
    setPicture(kNext, next);
}

uint8_t FrameBuffers::control(uint8_t operation)
{
    switch (operation) {
    case 0: m_state = FbufState::CurrentStopped; return rc::Ok;
    case 1: m_state = FbufState::NextStopped; return rc::Ok;
    case 2:
        // Stepping advances capture by one frame: the next picture becomes the current one.
        if (!stopped())
            return rc::CantRunNow;
        m_memory[kCurrent] = m_memory[kNext];
        m_length[kCurrent] = m_length[kNext];
        return rc::Ok;
    case 3: m_state = FbufState::Running; return rc::Ok;
    default: return rc::InvalidDataFormat;
    }
}

void FrameBuffers::setLength(int which, uint32_t length)
{
    m_length[which & 1] = std::min(length, m_capacity);
}

QByteArray FrameBuffers::picture(int which) const
{
    return m_memory[which & 1].left(m_length[which & 1]);
}

void FrameBuffers::setPicture(int which, const QByteArray &picture)
{
    const auto n = std::min<qsizetype>(picture.size(), m_capacity);
    QByteArray &memory = m_memory[which & 1];
    std::copy_n(picture.constData(), n, memory.data());
    m_length[which & 1] = uint32_t(n);
}

QByteArray FrameBuffers::read(int which, uint32_t start, uint32_t length) const
{
    return m_memory[which & 1].mid(start, length);
}

void FrameBuffers::writeByte(int which, uint32_t offset, uint8_t value)
{
    if (offset < m_capacity)
        m_memory[which & 1][offset] = char(value);
}

} // namespace zm::sim
