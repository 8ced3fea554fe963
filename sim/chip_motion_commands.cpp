// Motion: the comm-motion notifications switch and status, and motion detection with its alarm.

#include "sim/chip_model.h"
#include "sim/chip_reply.h"

namespace zm::sim {

ChipModel::Reply ChipModel::motionCommand(uint8_t code, const uint8_t *d, int n, TimePoint now)
{
    using namespace reply;
    Reply r;
    ChipFeatures &f = m_features;
    switch (code) {
    case cmd::CommMotionControl:
        if (n != 1) return Reply::withStatus(rc::InvalidDataLength);
        if (d[0] > 1) return Reply::withStatus(rc::InvalidDataFormat);
        setCommMotionOpen(d[0] == 1, now);
        return r;
    case cmd::GetCommMotionStatus:
        if (n != 0) return Reply::withStatus(rc::InvalidDataLength);
        r.data = bytes({m_commMotion ? 1 : 0});
        return r;
    case cmd::SetMotionControl: {
        // The first byte picks the setting: detection, alarm output, alarm enable, alarm open.
        if (n < 1) return Reply::withStatus(rc::InvalidDataLength);
        if (d[0] > 3) return Reply::withStatus(rc::InvalidDataFormat);
        const int lengths[4] = {3, 4, 2, 2};
        if (n != lengths[d[0]]) return Reply::withStatus(rc::InvalidDataLength);
        switch (d[0]) {
        case 0:
            if (d[1] > 1) return Reply::withStatus(rc::InvalidDataFormat);
            f.motionSource = d[1];
            f.motionFlags = d[2] & 0x01;
            break;
        case 1:
            if (d[1] > 3) return Reply::withStatus(rc::InvalidDataFormat);
            f.alarmFlags = d[1];
            f.alarmTime = getBe16(d + 2);
            break;
        case 2:
            if (d[1] > 1) return Reply::withStatus(rc::InvalidDataFormat);
            f.alarmEnabled = d[1];
            break;
        default:
            if (d[1] > 1) return Reply::withStatus(rc::InvalidDataFormat);
            f.alarmOpen = d[1];
            break;
        }
        return r;
    }
    case cmd::GetMotionControl: {
        if (n != 1) return Reply::withStatus(rc::InvalidDataLength);
        // The scene moves once per motion interval and stays "moving" for half a second.
        const auto sinceStart = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_start).count();
        const bool scene = f.motionDetected < 0 ? sinceStart % m_motionIntervalMs < 500 : f.motionDetected == 1;
        const bool moving = (f.motionFlags & 1) && scene;
        switch (d[0]) {
        case 0: r.data = bytes({f.motionSource, f.motionFlags | (moving ? 0x10 : 0)}); break;
        case 1: r.data = bytes({f.alarmFlags}) + be16(f.alarmTime); break;
        case 2: r.data = bytes({f.alarmEnabled}); break;
        case 3: r.data = bytes({f.alarmOpen}); break;
        default: return Reply::withStatus(rc::InvalidDataFormat);
        }
        return r;
    }
    default:
        return Reply::withStatus(rc::InvalidCmd);
    }
}

} // namespace zm::sim
