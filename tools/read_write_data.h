#pragma once
// What the Read/Write Data window knows without its widgets: the device table, the choices each
// device allows, the typing rules of the address and value fields, the transfer record a press
// of the send button makes, and the text a read shows.

#include "protocol/frame_builders.h"

#include <QString>
#include <QStringList>

#include <array>

namespace zm {

struct ReadWriteDevice {
    const char *name;
    bool widthSelectable; // "Data Width" enabled; otherwise 1 byte
    int maxCount;         // entries of "Data Num"
    int addressDigits;
    const char *help;     // null: no help line
};

class ReadWriteData
{
public:
    enum Operation { Read = 0, Write = 1 };
    enum Device { ChipReg = 0, SensorReg, Ccir656Reg, I2cE2prom, SpiE2prom, SpiFlash };

    static const std::array<ReadWriteDevice, 6> &devices();
    static QStringList operationNames(); // "Read", "Write"
    static QStringList deviceNames();
    static QStringList widthNames();     // "1Byte", "2Byte", "3Byte"
    static QStringList helpLines();

    // Selections, as indexes into the lists.
    int operation = Read;
    int device = ChipReg;
    int width = 0;
    int count = 0;

    // A device change puts width and count back to their first entries.
    void setDevice(int index);

    // "1".."8" or "1".."4", but never more items than one command carries at the width and for
    // the operation chosen.
    QStringList countNames() const;
    int maxCount() const;
    // Why the list ends where it does.
    QString countHint() const;
    bool widthSelectable() const;
    int addressMaxLength() const;
    int valueMaxLength() const { return 2 * (width + 1) * (count + 1); }
    QString sendCaption() const;

    // Typing rules: the text to keep, given the text before a change and after it.
    QString filterAddress(const QString &before, const QString &after) const;
    QString filterValue(const QString &before, const QString &after) const;

    // The record for one command. For a write the value's bytes fill the data from the front,
    // the rest is zero; a value of odd length reads as if it had a "0" in front.
    TransferRecord record(const QString &addressText, const QString &valueText) const;

    // The value text after a successful read: width x count bytes as hex pairs.
    static QString readText(const TransferRecord &t);
};

} // namespace zm
