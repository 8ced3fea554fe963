#include "protocol/traffic_decode.h"

#include "protocol/protocol.h"

#include <QStringList>

namespace zm::traffic {

namespace {

struct Entry {
    uint8_t code;
    const char *name;
};

// The command set: one row a command.
constexpr Entry kCommands[] = {
    {cmd::GetVersion, "get-version"},
    {cmd::SetSerialNumber, "set-serial-number"},
    {cmd::SetBaudRate, "set-baud-rate"},
    {cmd::SystemReset, "system-reset"},
    {cmd::ExecCommFormula, "exec-comm-formula"},
    {cmd::ReadData, "read-data"},
    {cmd::WriteData, "write-data"},
    {cmd::ReadFbufData, "read-fbuf-data"},
    {cmd::WriteFbufData, "write-fbuf-data"},
    {cmd::GetFbufLength, "get-fbuf-length"},
    {cmd::SetFbufLength, "set-fbuf-length"},
    {cmd::FbufControl, "fbuf-control"},
    {cmd::CommMotionControl, "comm-motion-control"},
    {cmd::GetCommMotionStatus, "get-comm-motion-status"},
    {cmd::MotionNotification, "motion-notification"},
    {cmd::SetMirror, "set-mirror"},
    {cmd::GetMirror, "get-mirror"},
    {cmd::SetColor, "set-color"},
    {cmd::GetColor, "get-color"},
    {cmd::SetPowerSave, "set-power-save"},
    {cmd::GetPowerSave, "get-power-save"},
    {cmd::SetAe, "set-ae"},
    {cmd::GetAe, "get-ae"},
    {cmd::SetMotionControl, "set-motion-control"},
    {cmd::GetMotionControl, "get-motion-control"},
    {cmd::DacControl, "dac-control"},
    {cmd::WriteOsdCharacters, "write-osd-characters"},
    {cmd::SetTime, "set-time"},
    {cmd::GetTime, "get-time"},
    {cmd::SetZoom, "set-zoom"},
    {cmd::GetZoom, "get-zoom"},
    {cmd::SetDownSize, "set-down-size"},
    {cmd::GetDownSize, "get-down-size"},
    {cmd::GetFlashSize, "get-flash-size"},
    {cmd::EraseFlashSector, "erase-flash-sector"},
    {cmd::FlashChipErase, "flash-chip-erase"},
    {cmd::LogoControl, "logo-control"},
    {cmd::BitmapControl, "bitmap-control"},
};

QString hex(uint32_t v, int digits = 2)
{
    return QStringLiteral("0x") + QString::number(v, 16).toUpper().rightJustified(digits, QChar('0'));
}

QString source(uint8_t s)
{
    return s == 1 ? QStringLiteral("uart") : s == 0 ? QStringLiteral("gpio") : QStringLiteral("source %1").arg(s);
}

QString onOff(uint8_t v, const char *on, const char *off)
{
    return QString::fromLatin1(v ? on : off);
}

// n < need: what came is shown as it came.
bool shortOf(int n, int need)
{
    return n < need;
}

QString raw(const uint8_t *d, int n)
{
    QStringList parts;
    for (int i = 0; i < n; ++i)
        parts << QString::number(d[i], 16).toUpper().rightJustified(2, QChar('0'));
    return parts.join(' ');
}

// "1 item", "4 items".
QString items(int count)
{
    return count == 1 ? QStringLiteral("1 item") : QStringLiteral("%1 items").arg(count);
}

QString transfer(const uint8_t *d, int n, bool write)
{
    if (shortOf(n, 4))
        return raw(d, n);
    const uint8_t type = d[0];
    const uint8_t count = d[1];
    QString text;
    int head = 4;
    if (type == 2 || type == 3) {
        if (shortOf(n, 5))
            return raw(d, n);
        head = 5;
        text = QStringLiteral("%1 %2, %3 of %4").arg(memoryName(type), hex(getBe16(d + 3), 4), items(count)).arg(d[2]);
    } else if (type == 6) {
        if (shortOf(n, 6))
            return raw(d, n);
        head = 6;
        text = QStringLiteral("%1 %2, %3").arg(memoryName(type), hex(getBe32(d + 2), 8), items(count));
    } else {
        text = QStringLiteral("%1 %2, %3").arg(memoryName(type), hex(getBe16(d + 2), 4), items(count));
    }
    if (write && n > head)
        text += QStringLiteral(": ") + raw(d + head, n - head);
    return text;
}

QString modeByte(uint8_t m)
{
    static const char *devices[] = {"?", "mcu-uart", "huart", "spi"};
    return QStringLiteral("mode %1 (%2, %3%4%5)")
        .arg(hex(m), QString::fromLatin1(m & 1 ? "dma" : "mcu"), QString::fromLatin1(devices[(m >> 1) & 3]),
             QString::fromLatin1(m & 8 ? ", spi host" : ""), QString::fromLatin1(m & 0x10 ? ", video source" : ""));
}

} // namespace

QString commandName(uint8_t code)
{
    for (const Entry &e : kCommands)
        if (e.code == code)
            return QString::fromLatin1(e.name);
    return QStringLiteral("command %1").arg(hex(code));
}

bool knownCommand(uint8_t code)
{
    for (const Entry &e : kCommands)
        if (e.code == code)
            return true;
    return false;
}

const uint8_t *commandCodes(int *count)
{
    static uint8_t codes[std::size(kCommands)];
    for (size_t i = 0; i < std::size(kCommands); ++i)
        codes[i] = kCommands[i].code;
    *count = int(std::size(kCommands));
    return codes;
}

QString memoryName(uint8_t type)
{
    static const char *names[] = {"?", "chip", "sensor", "ccir656", "i2c-eeprom", "spi-eeprom", "spi-flash"};
    return type >= 1 && type <= 6 ? QString::fromLatin1(names[type]) : QStringLiteral("memory %1").arg(type);
}

QString describeCommand(uint8_t code, const uint8_t *d, int n)
{
    auto need = [&](int k) { return n >= k; };
    switch (code) {
    case cmd::SetSerialNumber:
        return need(1) ? QStringLiteral("serial %1").arg(d[0]) : raw(d, n);
    case cmd::SetBaudRate:
        if (need(3) && d[0] == 1)
            return QStringLiteral("mcu uart, value %1").arg(hex(getBe16(d + 1), 4));
        if (need(5) && d[0] == 2)
            return QStringLiteral("huart, fraction %1, integer %2").arg(hex(getBe16(d + 1), 4), hex(getBe16(d + 3), 4));
        if (need(5) && d[0] == 3)
            return QStringLiteral("spi, divider %1, ss %2").arg(hex(getBe16(d + 1), 4), hex(getBe16(d + 3), 4));
        return raw(d, n);
    case cmd::ReadData:
        return transfer(d, n, false);
    case cmd::WriteData:
        return transfer(d, n, true);
    case cmd::ReadFbufData:
        if (!need(12))
            return raw(d, n);
        return QStringLiteral("%1, %2, start %3, length %4, delay %5")
            .arg(QString::fromLatin1(d[0] ? "next" : "current"), modeByte(d[1]), hex(getBe32(d + 2), 8))
            .arg(getBe32(d + 6))
            .arg(getBe16(d + 10));
    case cmd::WriteFbufData:
        if (!need(11))
            return raw(d, n);
        return QStringLiteral("%1, start %2, length %3, delay %4")
            .arg(modeByte(d[0]), hex(getBe32(d + 1), 8))
            .arg(getBe32(d + 5))
            .arg(getBe16(d + 9));
    case cmd::GetFbufLength:
        return need(1) ? QString::fromLatin1(d[0] ? "next" : "current") : raw(d, n);
    case cmd::SetFbufLength:
        return need(4) ? QStringLiteral("length %1").arg(getBe32(d)) : raw(d, n);
    case cmd::FbufControl: {
        static const char *ops[] = {"stop current", "stop next", "step", "resume"};
        return need(1) && d[0] < 4 ? QString::fromLatin1(ops[d[0]]) : raw(d, n);
    }
    case cmd::CommMotionControl:
    case cmd::DacControl:
        return need(1) ? onOff(d[0], "open", "close") : raw(d, n);
    case cmd::SetMirror:
    case cmd::SetColor:
        return need(2) ? QStringLiteral("%1, mode %2").arg(source(d[0])).arg(d[1]) : raw(d, n);
    case cmd::SetPowerSave:
        if (need(3) && d[0] == 0)
            return QStringLiteral("state: %1, %2").arg(source(d[1]), onOff(d[2], "power save", "awake"));
        if (need(4) && d[0] == 1)
            return QStringLiteral("timer: flags %1, time %2").arg(hex(d[1])).arg(getBe16(d + 2));
        return raw(d, n);
    case cmd::GetPowerSave:
        return need(1) ? QString::fromLatin1(d[0] ? "timer" : "state") : raw(d, n);
    case cmd::SetAe:
        return need(3) ? QStringLiteral("group %1, %2, mode %3").arg(d[0]).arg(source(d[1])).arg(d[2]) : raw(d, n);
    case cmd::GetAe:
        return need(1) ? QStringLiteral("group %1").arg(d[0]) : raw(d, n);
    case cmd::SetMotionControl:
        if (need(3) && d[0] == 0)
            return QStringLiteral("detection: %1, %2").arg(source(d[1]), onOff(d[2] & 1, "enabled", "disabled"));
        if (need(4) && d[0] == 1)
            return QStringLiteral("alarm: %1, level %2, time %3 x 10 ms")
                .arg(QString::fromLatin1(d[1] & 1 ? "always" : "certain time"), QString::fromLatin1(d[1] & 2 ? "low" : "high"))
                .arg(getBe16(d + 2));
        if (need(2) && d[0] == 2)
            return QStringLiteral("alarm output %1").arg(onOff(d[1], "enabled", "disabled"));
        if (need(2) && d[0] == 3)
            return QStringLiteral("alarm output %1").arg(onOff(d[1], "opened", "closed"));
        return raw(d, n);
    case cmd::GetMotionControl: {
        static const char *subs[] = {"detection", "alarm", "alarm output enabled", "alarm output opened"};
        return need(1) && d[0] < 4 ? QString::fromLatin1(subs[d[0]]) : raw(d, n);
    }
    case cmd::WriteOsdCharacters:
        return need(2) ? QStringLiteral("%1 characters at cell %2%3")
                             .arg(d[0])
                             .arg(d[1])
                             .arg(n > 2 ? QStringLiteral(": ") + raw(d + 2, n - 2) : QString())
                       : raw(d, n);
    case cmd::SetTime:
        return need(7) ? QString::asprintf("%04u-%02u-%02u %02u:%02u:%02u", getBe16(d), d[2], d[3], d[4], d[5], d[6])
                       : raw(d, n);
    case cmd::SetZoom:
        return need(8) ? QStringLiteral("%1 x %2 at %3, %4").arg(getBe16(d)).arg(getBe16(d + 2)).arg(getBe16(d + 4)).arg(getBe16(d + 6))
                       : raw(d, n);
    case cmd::SetDownSize:
        return need(1) ? hex(d[0]) : raw(d, n);
    case cmd::EraseFlashSector:
        return need(4) ? QStringLiteral("sector %1").arg(hex(getBe32(d), 8)) : raw(d, n);
    case cmd::LogoControl:
        if (need(7) && d[0] == 3)
            return QStringLiteral("sub 3, value %1, address %2").arg(hex(getBe16(d + 1), 4), hex(getBe32(d + 3), 8));
        return need(3) ? QStringLiteral("sub %1, value %2").arg(d[0]).arg(hex(getBe16(d + 1), 4)) : raw(d, n);
    case cmd::BitmapControl:
        if (n == 0)
            return {};
        if (d[0] == 1)
            return QStringLiteral("stop");
        if (need(7) && d[0] == 2)
            return QStringLiteral("start, value %1, address %2").arg(hex(getBe16(d + 1), 4), hex(getBe32(d + 3), 8));
        if (need(3) && d[0] == 3)
            return QStringLiteral("sub 3, value %1").arg(hex(getBe16(d + 1), 4));
        return raw(d, n);
    default:
        return raw(d, n);
    }
}

QString describeAnswer(uint8_t code, uint8_t status, const uint8_t *d, int n)
{
    if (status != 0 || n == 0)
        return {};
    switch (code) {
    case cmd::GetVersion:
        return QStringLiteral("\"%1\"").arg(QString::fromLatin1(reinterpret_cast<const char *>(d), n));
    case cmd::GetFbufLength:
        return n >= 4 ? QStringLiteral("length %1").arg(getBe32(d)) : raw(d, n);
    case cmd::GetCommMotionStatus:
        return onOff(d[0], "opened", "closed");
    case cmd::GetMirror:
        return n >= 2 ? QStringLiteral("%1, mode %2").arg(source(d[0])).arg(d[1]) : raw(d, n);
    case cmd::GetColor:
        return n >= 3 ? QStringLiteral("%1, mode %2, %3").arg(source(d[0])).arg(d[1]).arg(d[2]) : raw(d, n);
    case cmd::GetTime:
        return n >= 7 ? QString::asprintf("%04u-%02u-%02u %02u:%02u:%02u", getBe16(d), d[2], d[3], d[4], d[5], d[6])
                      : raw(d, n);
    case cmd::GetZoom:
        return n >= 12 ? QStringLiteral("source %1 x %2, zoom %3 x %4 at %5, %6")
                             .arg(getBe16(d)).arg(getBe16(d + 2)).arg(getBe16(d + 4)).arg(getBe16(d + 6))
                             .arg(getBe16(d + 8)).arg(getBe16(d + 10))
                       : raw(d, n);
    case cmd::GetFlashSize:
        return n >= 4 ? QStringLiteral("%1 kbit").arg(getBe32(d)) : raw(d, n);
    default:
        return raw(d, n);
    }
}

} // namespace zm::traffic
