#include "tools/read_write_data.h"

#include "protocol/hex_text.h"

namespace zm {

const std::array<ReadWriteDevice, 6> &ReadWriteData::devices()
{
    static const std::array<ReadWriteDevice, 6> table{{
        {"Chip Reg", false, 8, 4, "Chip Reg:   Data Width = 1 ;    Address = [0x00,0xFFFF]"},
        {"Sensor Reg", true, 4, 4, "Sensor Reg: Data Width = [1,3]; Address = [0x00,0xFFFF]"},
        {"CCIR656 Reg", true, 4, 4, nullptr},
        {"I2C E2prom", false, 8, 4, "I2C E2prom: Data Width = 1 ;    Address = [0x00,0xFFFF]"},
        {"SPI E2prom", false, 8, 4, "SPI E2prom: Data Width = 1 ;    Address = [0x00,0xFFFF]"},
        {"SPI Flash", false, 8, 8, "SPI Flash:  Data Width = 1 ;    Address = [0x00,0xFFFFFFFF]"},
    }};
    return table;
}

QStringList ReadWriteData::operationNames()
{
    return {"Read", "Write"};
}

QStringList ReadWriteData::deviceNames()
{
    QStringList names;
    for (const auto &d : devices())
        names.append(QString::fromLatin1(d.name));
    return names;
}

QStringList ReadWriteData::widthNames()
{
    return {"1Byte", "2Byte", "3Byte"};
}

QStringList ReadWriteData::helpLines()
{
    QStringList lines;
    for (const auto &d : devices())
        if (d.help)
            lines.append(QString::fromLatin1(d.help));
    return lines;
}

void ReadWriteData::setDevice(int index)
{
    device = index >= 0 && index < int(devices().size()) ? index : ChipReg;
    width = 0;
    count = 0;
}

int ReadWriteData::maxCount() const
{
    // One frame carries 16 data bytes: a read brings back at most 16, a write carries what is
    // left after the head of its memory type. Counts that could not be sent are not offered.
    const int perCommand = operation == Write ? frames::writeCapacity(uint8_t(device + 1)) : kMaxData;
    return qMax(1, qMin(devices()[device].maxCount, perCommand / (width + 1)));
}

QStringList ReadWriteData::countNames() const
{
    QStringList names;
    for (int i = 1; i <= maxCount(); ++i)
        names.append(QString::number(i));
    return names;
}

QString ReadWriteData::countHint() const
{
    const int perCommand = operation == Write ? frames::writeCapacity(uint8_t(device + 1)) : kMaxData;
    return QStringLiteral("At most %1 bytes of data fit one %2 command.")
        .arg(perCommand)
        .arg(operation == Write ? QStringLiteral("write") : QStringLiteral("read"));
}

bool ReadWriteData::widthSelectable() const
{
    return devices()[device].widthSelectable;
}

int ReadWriteData::addressMaxLength() const
{
    return devices()[device].addressDigits;
}

QString ReadWriteData::sendCaption() const
{
    return operation == Write ? QStringLiteral("Write") : QStringLiteral("Read");
}

QString ReadWriteData::filterAddress(const QString &before, const QString &after) const
{
    return isHexText(after) && after.size() <= addressMaxLength() ? after : before;
}

QString ReadWriteData::filterValue(const QString &before, const QString &after) const
{
    // In Read mode the box only shows what a read returned.
    if (operation == Read || !isHexText(after))
        return before;
    if (after.size() <= valueMaxLength())
        return after;
    return before.size() <= valueMaxLength() ? before : QStringLiteral("00");
}

TransferRecord ReadWriteData::record(const QString &addressText, const QString &valueText) const
{
    TransferRecord t;
    t.type = uint8_t(device + 1);
    t.width = uint8_t(width + 1);
    t.count = uint8_t(count + 1);
    t.address = hexFieldNumber(addressText);
    t.data.fill(0);
    if (operation == Write) {
        const QByteArray bytes = hexFieldBytes(valueText, int(t.data.size()));
        std::copy(bytes.begin(), bytes.end(), t.data.begin());
    }
    return t;
}

QString ReadWriteData::readText(const TransferRecord &t)
{
    return toHexText(QByteArray(reinterpret_cast<const char *>(t.data.data()), qMin(t.bytes(), int(t.data.size()))), QString());
}

} // namespace zm
