// The SPI flash: its size, sector erase and chip erase. Reads and writes of the flash go through
// the memory commands with the other memories.

#include "sim/chip_model.h"
#include "sim/chip_reply.h"

#include <algorithm>

namespace zm::sim {

void ChipModel::setEraseTimes(int chipMs, int sectorMs)
{
    m_config.chipEraseMs = std::max(0, chipMs);
    m_config.sectorEraseMs = std::max(0, sectorMs);
}

ChipModel::Reply ChipModel::flashCommand(uint8_t code, const uint8_t *d, int n)
{
    Reply r;
    switch (code) {
    case cmd::GetFlashSize:
        if (n != 0) return Reply::withStatus(rc::InvalidDataLength);
        r.data = reply::be32(m_memory.size(MemoryType::SpiFlash) / 128); // bytes * 8 / 1024: kilobits
        return r;
    case cmd::EraseFlashSector:
        if (n != 4) return Reply::withStatus(rc::InvalidDataLength);
        r.status = m_memory.eraseSector(getBe32(d));
        if (r.status == rc::Ok)
            r.delay = std::chrono::milliseconds(m_config.sectorEraseMs);
        return r;
    case cmd::FlashChipErase:
        if (n != 0) return Reply::withStatus(rc::InvalidDataLength);
        // Erased at once, answered when a real part would be done: whatever the PC sends meanwhile
        // is answered after it.
        m_memory.eraseFlash();
        r.delay = std::chrono::milliseconds(m_config.chipEraseMs);
        return r;
    default:
        return Reply::withStatus(rc::InvalidCmd);
    }
}

} // namespace zm::sim
