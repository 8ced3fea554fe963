#pragma once
// Builders for the data bytes of the chip's answers, shared by the command handlers of the
// chip model (chip_*_commands.cpp). Internal to sim/.

#include "protocol/protocol.h"

#include <QByteArray>

#include <cstdint>
#include <initializer_list>

namespace zm::sim::reply {

inline QByteArray be16(uint16_t v)
{
    QByteArray b(2, '\0');
    putBe16(reinterpret_cast<uint8_t *>(b.data()), v);
    return b;
}

inline QByteArray be32(uint32_t v)
{
    QByteArray b(4, '\0');
    putBe32(reinterpret_cast<uint8_t *>(b.data()), v);
    return b;
}

// One byte per value; the values are small fields, so the low byte is the whole value.
inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

} // namespace zm::sim::reply
