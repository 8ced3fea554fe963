// The SPI flash: its size, sector erase and chip erase. Reads and writes of the flash go through
// the memory commands with the other memories.

#include "sim/chip_model.h"
#include "sim/chip_reply.h"

namespace zm::sim {

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
        return Reply::withStatus(m_memory.eraseSector(getBe32(d)));
    case cmd::FlashChipErase:
        if (n != 0) return Reply::withStatus(rc::InvalidDataLength);
        m_memory.eraseFlash();
        return r;
    default:
        return Reply::withStatus(rc::InvalidCmd);
    }
}

} // namespace zm::sim
