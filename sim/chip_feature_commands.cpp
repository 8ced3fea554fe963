// The camera features: mirror, colour, power save, exposure, the DAC, the clock, zoom and
// down-size.

#include "sim/chip_model.h"
#include "sim/chip_reply.h"

#include <QDate>
#include <QTime>

namespace zm::sim {

ChipModel::Reply ChipModel::cameraCommand(uint8_t code, const uint8_t *d, int n, TimePoint now)
{
    using namespace reply;
    Reply r;
    ChipFeatures &f = m_features;
    // Fixed-length commands first refuse a wrong length, then a wrong value.
    switch (code) {
    case cmd::SetMirror:
        if (n != 2) return Reply::withStatus(rc::InvalidDataLength);
        if (d[0] > 1 || d[1] > 1) return Reply::withStatus(rc::InvalidDataFormat);
        f.mirrorSource = d[0];
        f.mirrorMode = d[1];
        return r;
    case cmd::GetMirror:
        if (n != 0) return Reply::withStatus(rc::InvalidDataLength);
        r.data = bytes({f.mirrorSource, f.mirrorMode});
        return r;
    case cmd::SetColor:
        if (n != 2) return Reply::withStatus(rc::InvalidDataLength);
        if (d[0] > 1 || d[1] > 3) return Reply::withStatus(rc::InvalidDataFormat);
        f.colorSource = d[0];
        f.colorMode = d[1];
        f.colorExtra = d[1] == 3 ? 0 : 1;
        return r;
    case cmd::GetColor:
        if (n != 0) return Reply::withStatus(rc::InvalidDataLength);
        r.data = bytes({f.colorSource, f.colorMode, f.colorExtra});
        return r;
    case cmd::SetPowerSave:
        // Sub-function 0 switches power save, 1 sets its automatic entry.
        if (n < 1) return Reply::withStatus(rc::InvalidDataLength);
        if (d[0] > 1) return Reply::withStatus(rc::InvalidDataFormat);
        if (n != (d[0] == 0 ? 3 : 4)) return Reply::withStatus(rc::InvalidDataLength);
        if (d[0] == 0) {
            if (d[1] > 1 || d[2] > 1) return Reply::withStatus(rc::InvalidDataFormat);
            f.powerSaveSource = d[1];
            f.powerSaveState = d[2];
        } else {
            if (d[1] > 7) return Reply::withStatus(rc::InvalidDataFormat);
            f.powerSaveFlags = d[1];
            f.powerSaveTime = getBe16(d + 2);
        }
        return r;
    case cmd::GetPowerSave:
        if (n != 1) return Reply::withStatus(rc::InvalidDataLength);
        if (d[0] > 1) return Reply::withStatus(rc::InvalidDataFormat);
        r.data = d[0] == 0 ? bytes({f.powerSaveSource, f.powerSaveState})
                           : bytes({f.powerSaveFlags}) + be16(f.powerSaveTime);
        return r;
    case cmd::SetAe:
        if (n != 3) return Reply::withStatus(rc::InvalidDataLength);
        if (d[0] > 2 || d[1] > 1 || d[2] > 1) return Reply::withStatus(rc::InvalidDataFormat);
        f.ae[d[0]] = {d[1], d[2]};
        return r;
    case cmd::GetAe:
        if (n != 1) return Reply::withStatus(rc::InvalidDataLength);
        if (d[0] > 2) return Reply::withStatus(rc::InvalidDataFormat);
        r.data = bytes({d[0], f.ae[d[0]].source, f.ae[d[0]].mode});
        return r;
    case cmd::DacControl:
        if (n != 1) return Reply::withStatus(rc::InvalidDataLength);
        if (d[0] > 1) return Reply::withStatus(rc::InvalidDataFormat);
        f.dacOpen = d[0];
        return r;
    case cmd::SetTime: {
        if (n != 7) return Reply::withStatus(rc::InvalidDataLength);
        const QDate date(getBe16(d), d[2], d[3]);
        const QTime time(d[4], d[5], d[6]);
        if (!date.isValid() || !time.isValid()) return Reply::withStatus(rc::InvalidDataFormat);
        m_rtcBase = QDateTime(date, time);
        m_rtcAt = now;
        return r;
    }
    case cmd::GetTime: {
        if (n != 0) return Reply::withStatus(rc::InvalidDataLength);
        // The clock runs on from the last setting by the model's own time, not the host's.
        const QDateTime t = m_rtcBase.addMSecs(
            std::chrono::duration_cast<std::chrono::milliseconds>(now - m_rtcAt).count());
        r.data = be16(uint16_t(t.date().year()))
            + bytes({t.date().month(), t.date().day(), t.time().hour(), t.time().minute(),
                     t.time().second()});
        return r;
    }
    case cmd::SetZoom: {
        if (n != 8) return Reply::withStatus(rc::InvalidDataLength);
        const uint32_t w = getBe16(d), h = getBe16(d + 2), x = getBe16(d + 4), y = getBe16(d + 6);
        if (w == 0 || h == 0 || x + w > f.sourceWidth || y + h > f.sourceHeight)
            return Reply::withStatus(rc::InvalidDataFormat);
        f.zoomWidth = uint16_t(w);
        f.zoomHeight = uint16_t(h);
        f.hStart = uint16_t(x);
        f.vStart = uint16_t(y);
        return r;
    }
    case cmd::GetZoom:
        if (n != 0) return Reply::withStatus(rc::InvalidDataLength);
        r.data = be16(f.sourceWidth) + be16(f.sourceHeight) + be16(f.zoomWidth) + be16(f.zoomHeight)
            + be16(f.hStart) + be16(f.vStart);
        return r;
    case cmd::SetDownSize:
        // Horizontal index in bits 0-1, vertical in bits 4-5, each 0..2; nothing else set.
        if (n != 1) return Reply::withStatus(rc::InvalidDataLength);
        if ((d[0] & 0xCC) || (d[0] & 3) > 2 || ((d[0] >> 4) & 3) > 2)
            return Reply::withStatus(rc::InvalidDataFormat);
        f.downSize = d[0];
        return r;
    case cmd::GetDownSize:
        if (n != 0) return Reply::withStatus(rc::InvalidDataLength);
        r.data = bytes({f.downSize});
        return r;
    default:
        return Reply::withStatus(rc::InvalidCmd);
    }
}

} // namespace zm::sim
