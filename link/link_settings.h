#pragma once
// What every request of a link session is sent with: the serial number the frames carry, the
// chip UART the PC is attached to, the page size of block writes and the time-out of each
// command. A plain value: the session hands out copies and takes changes whole, so a request
// never sees half of a change.

#include "protocol/protocol.h"

#include <cstdint>

namespace zm {

struct LinkSettings {
    static constexpr int kDefaultTimeoutMs = 3000;
    static constexpr int kEraseTimeoutMs = 10000;

    uint8_t serial = 0;
    // Through which of the chip's UARTs the PC is attached: 1 MCU UART, 2 HUART.
    int pcUart = 1;
    // Page size of the serial memories for block writes, in bytes; set by the configuration.
    int pageSize = 256;
    int commandTimeoutMs = kDefaultTimeoutMs;

    // The time-out a command waits with: the erase of the whole flash gets its own, however it
    // is sent.
    int timeoutFor(uint8_t code) const { return code == cmd::FlashChipErase ? kEraseTimeoutMs : commandTimeoutMs; }

    bool operator==(const LinkSettings &) const = default;
};

} // namespace zm
