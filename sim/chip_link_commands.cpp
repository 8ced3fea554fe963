// The link and frame-buffer commands: version, serial number, baud rate, reset, the comm
// formula, and the frame-buffer length and capture control.

#include "sim/chip_model.h"
#include "sim/chip_reply.h"

namespace zm::sim {

ChipModel::Reply ChipModel::linkCommand(uint8_t code, const uint8_t *d, int n)
{
    Reply r;
    ChipFeatures &f = m_features;
    // Fixed-length commands first refuse a wrong length, then a wrong value.
    switch (code) {
    case cmd::GetVersion:
        if (n != 0) return Reply::withStatus(rc::InvalidDataLength);
        r.data = m_config.version.leftJustified(11, ' ', true);
        return r;
    case cmd::SetSerialNumber:
        if (n != 1) return Reply::withStatus(rc::InvalidDataLength);
        m_serial = d[0];
        return r;
    case cmd::SetBaudRate:
        // The first byte picks the port, and with it how many bytes of divider follow.
        if (n < 1) return Reply::withStatus(rc::InvalidDataLength);
        if (d[0] < 1 || d[0] > 3) return Reply::withStatus(rc::InvalidDataFormat);
        if (n != (d[0] == 1 ? 3 : 5)) return Reply::withStatus(rc::InvalidDataLength);
        if (d[0] == 1) {
            f.mcuBaudValue = getBe16(d + 1);
        } else if (d[0] == 2) {
            f.huartFrac = getBe16(d + 1);
            f.huartInter = getBe16(d + 3);
        } else {
            f.spiDivider = getBe16(d + 1);
            f.spiSs = getBe16(d + 3);
        }
        return r;
    case cmd::SystemReset:
        if (n != 0) return Reply::withStatus(rc::InvalidDataLength);
        systemReset();
        return r;
    case cmd::ExecCommFormula:
        if (n != 0) return Reply::withStatus(rc::InvalidDataLength);
        ++f.commFormulaRuns;
        return r;
    case cmd::GetFbufLength:
        if (n != 1) return Reply::withStatus(rc::InvalidDataLength);
        if (d[0] > 1) return Reply::withStatus(rc::InvalidDataFormat);
        r.data = reply::be32(m_fbuf.length(d[0]));
        return r;
    case cmd::SetFbufLength:
        if (n != 4) return Reply::withStatus(rc::InvalidDataLength);
        if (!m_fbuf.stopped()) return Reply::withStatus(rc::FbufNotStopped);
        if (getBe32(d) > m_fbuf.capacity()) return Reply::withStatus(rc::InvalidDataFormat);
        m_fbuf.setLength(FrameBuffers::kCurrent, getBe32(d));
        return r;
    case cmd::FbufControl:
        if (n != 1) return Reply::withStatus(rc::InvalidDataLength);
        return Reply::withStatus(m_fbuf.control(d[0]));
    default:
        return Reply::withStatus(rc::InvalidCmd);
    }
}

} // namespace zm::sim
