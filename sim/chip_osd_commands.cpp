// The on-screen display: character cells, the logo and the bitmap overlay.

#include "sim/chip_model.h"
#include "sim/chip_reply.h"

#include <algorithm>

namespace zm::sim {

ChipModel::Reply ChipModel::osdCommand(uint8_t code, const uint8_t *d, int n)
{
    Reply r;
    ChipFeatures &f = m_features;
    switch (code) {
    case cmd::WriteOsdCharacters: {
        // Count, first cell, then the characters: at most 14, all within the character set.
        if (n < 2) return Reply::withStatus(rc::InvalidDataLength);
        const int count = d[0];
        if (count > 14) return Reply::withStatus(rc::InvalidDataFormat);
        if (n != count + 2) return Reply::withStatus(rc::InvalidDataLength);
        const int start = d[1];
        if (start + count > int(f.osdCharacters.size())
            || std::any_of(d + 2, d + 2 + count, [](uint8_t c) { return c > 79; }))
            return Reply::withStatus(rc::InvalidDataFormat);
        std::copy(d + 2, d + 2 + count, f.osdCharacters.begin() + start);
        return r;
    }
    case cmd::LogoControl:
        // Function 3 carries an address besides the value.
        if (n < 1) return Reply::withStatus(rc::InvalidDataLength);
        if (n != (d[0] == 3 ? 7 : 3)) return Reply::withStatus(rc::InvalidDataLength);
        f.logoFunction = d[0];
        f.logoValue = getBe16(d + 1);
        f.logoAddress = d[0] == 3 ? getBe32(d + 3) : 0;
        return r;
    case cmd::BitmapControl:
        if (n == 0) { // the request without a sub-function
            f.bitmapFunction = 0;
            return r;
        }
        if (d[0] < 1 || d[0] > 3) return Reply::withStatus(rc::InvalidDataFormat);
        if (n != (d[0] == 1 ? 1 : d[0] == 2 ? 7 : 3)) return Reply::withStatus(rc::InvalidDataLength);
        f.bitmapFunction = d[0];
        if (d[0] == 1) {
            // Stopping the bitmap switches its OSD channel off.
            m_memory.setReg(0x2500, m_memory.reg(0x2500) & ~0x08);
        } else {
            f.bitmapValue = getBe16(d + 1);
            if (d[0] == 2)
                f.bitmapAddress = getBe32(d + 3);
        }
        return r;
    default:
        return Reply::withStatus(rc::InvalidCmd);
    }
}

} // namespace zm::sim
