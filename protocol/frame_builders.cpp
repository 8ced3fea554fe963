#include "protocol/frame_builders.h"

namespace zm::frames {

Frame make(uint8_t serial, uint8_t code, const uint8_t *data, int n)
{
    if (n < 0 || n > kMaxData)
        return std::nullopt;
    CommandRecord r;
    r.serial = serial;
    r.code = code;
    r.length = uint8_t(n);
    for (int i = 0; i < n; ++i)
        r.data[i] = data[i];
    return r;
}

Frame make(uint8_t serial, uint8_t code, std::initializer_list<uint8_t> data)
{
    return make(serial, code, data.begin(), int(data.size()));
}

int transferHead(uint8_t type)
{
    switch (type) {
    case 1: case 4: case 5: return 4;
    case 2: case 3: return 5;
    case 6: return 6;
    default: return 0;
    }
}

int writeCapacity(uint8_t type)
{
    const int head = transferHead(type);
    return head ? kMaxData - head : 0;
}

namespace {

// The head of a read-data/write-data payload; refuses what the frame's fields cannot hold.
bool putTransferHead(const TransferRecord &t, uint8_t *p)
{
    const int head = transferHead(t.type);
    if (head == 0 || t.count == 0 || t.width == 0)
        return false;
    p[0] = t.type;
    p[1] = t.count;
    if (head == 6) {
        putBe32(p + 2, t.address);
        return true;
    }
    // A 16-bit address field would silently drop the high digits.
    if (t.address > 0xFFFF)
        return false;
    if (head == 5) {
        if (t.width > 3)
            return false;
        p[2] = t.width;
        putBe16(p + 3, uint16_t(t.address));
    } else {
        putBe16(p + 2, uint16_t(t.address));
    }
    return true;
}

} // namespace

Frame readData(uint8_t serial, const TransferRecord &t)
{
    uint8_t p[kMaxData];
    if (!putTransferHead(t, p) || t.bytes() > kMaxData)
        return std::nullopt;
    if (t.type == 6 && t.width != 1)
        return std::nullopt;
    return make(serial, cmd::ReadData, p, transferHead(t.type));
}

Frame writeData(uint8_t serial, const TransferRecord &t)
{
    uint8_t p[kMaxData];
    if (!putTransferHead(t, p))
        return std::nullopt;
    if (t.type == 6 && t.width != 1)
        return std::nullopt;
    const int head = transferHead(t.type);
    const int n = t.bytes();
    if (head + n > kMaxData)
        return std::nullopt;
    for (int i = 0; i < n; ++i)
        p[head + i] = t.data[i];
    return make(serial, cmd::WriteData, p, head + n);
}

Frame setSerialNumber(uint8_t serial, uint8_t value) { return make(serial, cmd::SetSerialNumber, {value}); }

Frame setBaudRateMcuUart(uint8_t serial, uint16_t value)
{
    return make(serial, cmd::SetBaudRate, {1, uint8_t(value >> 8), uint8_t(value)});
}

Frame setBaudRateHuart(uint8_t serial, uint16_t fraction, uint16_t integer)
{
    return make(serial, cmd::SetBaudRate,
                {2, uint8_t(fraction >> 8), uint8_t(fraction), uint8_t(integer >> 8), uint8_t(integer)});
}

Frame setBaudRateSpi(uint8_t serial, uint16_t divider, uint16_t ss)
{
    return make(serial, cmd::SetBaudRate, {3, uint8_t(divider >> 8), uint8_t(divider), uint8_t(ss >> 8), uint8_t(ss)});
}

Frame readFbufData(uint8_t serial, uint8_t frame, uint8_t mode, uint32_t start, uint32_t length, uint16_t delay)
{
    uint8_t p[12];
    p[0] = frame;
    p[1] = mode;
    putBe32(p + 2, start);
    putBe32(p + 6, length);
    putBe16(p + 10, delay);
    return make(serial, cmd::ReadFbufData, p, 12);
}

Frame writeFbufData(uint8_t serial, uint8_t mode, uint32_t start, uint32_t length, uint16_t delay)
{
    uint8_t p[11];
    p[0] = mode;
    putBe32(p + 1, start);
    putBe32(p + 5, length);
    putBe16(p + 9, delay);
    return make(serial, cmd::WriteFbufData, p, 11);
}

Frame getFbufLength(uint8_t serial, uint8_t frame)
{
    if (frame > 1)
        return std::nullopt;
    return make(serial, cmd::GetFbufLength, {frame});
}

Frame setFbufLength(uint8_t serial, uint32_t length)
{
    uint8_t p[4];
    putBe32(p, length);
    return make(serial, cmd::SetFbufLength, p, 4);
}

Frame fbufControl(uint8_t serial, uint8_t operation)
{
    if (operation > 3)
        return std::nullopt;
    return make(serial, cmd::FbufControl, {operation});
}

Frame commMotionControl(uint8_t serial, bool open) { return make(serial, cmd::CommMotionControl, {uint8_t(open ? 1 : 0)}); }
Frame setMirror(uint8_t serial, uint8_t source, uint8_t mode) { return make(serial, cmd::SetMirror, {source, mode}); }
Frame setColor(uint8_t serial, uint8_t source, uint8_t mode) { return make(serial, cmd::SetColor, {source, mode}); }
Frame setPowerSave(uint8_t serial, uint8_t source, uint8_t state) { return make(serial, cmd::SetPowerSave, {0, source, state}); }

Frame setPowerSaveTimer(uint8_t serial, uint8_t flags, uint16_t time)
{
    return make(serial, cmd::SetPowerSave, {1, flags, uint8_t(time >> 8), uint8_t(time)});
}

Frame getPowerSave(uint8_t serial, uint8_t type)
{
    if (type > 1)
        return std::nullopt;
    return make(serial, cmd::GetPowerSave, {type});
}

Frame setAe(uint8_t serial, uint8_t group, uint8_t source, uint8_t mode) { return make(serial, cmd::SetAe, {group, source, mode}); }
Frame getAe(uint8_t serial, uint8_t group) { return make(serial, cmd::GetAe, {group}); }

Frame setMotionDetection(uint8_t serial, uint8_t source, uint8_t flags)
{
    return make(serial, cmd::SetMotionControl, {0, source, flags});
}

Frame setMotionAlarm(uint8_t serial, uint8_t flags, uint16_t time)
{
    return make(serial, cmd::SetMotionControl, {1, flags, uint8_t(time >> 8), uint8_t(time)});
}

Frame enableAlarmOutput(uint8_t serial, bool enable) { return make(serial, cmd::SetMotionControl, {2, uint8_t(enable ? 1 : 0)}); }
Frame openAlarmOutput(uint8_t serial, bool open) { return make(serial, cmd::SetMotionControl, {3, uint8_t(open ? 1 : 0)}); }

Frame getMotionControl(uint8_t serial, uint8_t sub)
{
    if (sub > 3)
        return std::nullopt;
    return make(serial, cmd::GetMotionControl, {sub});
}

Frame dacControl(uint8_t serial, bool open) { return make(serial, cmd::DacControl, {uint8_t(open ? 1 : 0)}); }

Frame writeOsdCharacters(uint8_t serial, uint8_t start, const uint8_t *chars, int n)
{
    if (n < 0 || n > 14 || (n > 0 && !chars))
        return std::nullopt;
    uint8_t p[kMaxData];
    p[0] = uint8_t(n);
    p[1] = start;
    for (int i = 0; i < n; ++i)
        p[2 + i] = chars[i];
    return make(serial, cmd::WriteOsdCharacters, p, n + 2);
}

Frame setTime(uint8_t serial, const RtcTime &t)
{
    return make(serial, cmd::SetTime,
                {uint8_t(t.year >> 8), uint8_t(t.year), t.month, t.day, t.hour, t.minute, t.second});
}

Frame setZoom(uint8_t serial, const ZoomRect &z)
{
    uint8_t p[8];
    putBe16(p, z.width);
    putBe16(p + 2, z.height);
    putBe16(p + 4, z.hStart);
    putBe16(p + 6, z.vStart);
    return make(serial, cmd::SetZoom, p, 8);
}

Frame setDownSize(uint8_t serial, uint8_t value) { return make(serial, cmd::SetDownSize, {value}); }

Frame eraseFlashSector(uint8_t serial, uint32_t address)
{
    uint8_t p[4];
    putBe32(p, address);
    return make(serial, cmd::EraseFlashSector, p, 4);
}

Frame logoControl(uint8_t serial, uint8_t sub, uint16_t value, uint32_t address)
{
    if (sub == 3) {
        uint8_t p[7];
        p[0] = 3;
        putBe16(p + 1, value);
        putBe32(p + 3, address);
        return make(serial, cmd::LogoControl, p, 7);
    }
    return make(serial, cmd::LogoControl, {sub, uint8_t(value >> 8), uint8_t(value)});
}

Frame bitmapControl(uint8_t serial, uint8_t sub, uint16_t value, uint32_t address)
{
    switch (sub) {
    case 1:
        return make(serial, cmd::BitmapControl, {1});
    case 2: {
        uint8_t p[7];
        p[0] = 2;
        putBe16(p + 1, value);
        putBe32(p + 3, address);
        return make(serial, cmd::BitmapControl, p, 7);
    }
    case 3:
        return make(serial, cmd::BitmapControl, {3, uint8_t(value >> 8), uint8_t(value)});
    default:
        return make(serial, cmd::BitmapControl);
    }
}

} // namespace zm::frames
