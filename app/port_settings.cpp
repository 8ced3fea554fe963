#include "app/port_settings.h"

#include "link/serial_link.h"

#include <QSerialPortInfo>

namespace zm {

namespace {

QString pick(const QStringList &list, int index, int fallback)
{
    return list.value(index >= 0 && index < list.size() ? index : fallback);
}

} // namespace

QStringList PortSettings::baudRates() { return {"9600", "19200", "38400", "57600", "115200"}; }
QStringList PortSettings::dataBits() { return {"5", "6", "7", "8"}; }
QStringList PortSettings::parities() { return {"Odd", "Even", "None"}; }
QStringList PortSettings::stopBits() { return {"1", "2"}; }

QStringList PortSettings::portNames()
{
    QStringList names;
    QStringList devices;
    for (int i = 1; i <= 20; ++i) {
        names.append(QStringLiteral("COM%1").arg(i));
        devices.append(systemPortName(names.last()));
    }
    QStringList found;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QString path = info.systemLocation();
        if (!devices.contains(path) && !found.contains(path))
            found.append(path);
    }
    found.sort();
    return names + found;
}

QString PortSettings::settingsString() const
{
    static const char kParityLetters[] = {'O', 'E', 'n'};
    const int p = parity >= 0 && parity < 3 ? parity : kDefaultParity;
    return QStringLiteral("%1,%2,%3,%4")
        .arg(pick(baudRates(), baud, kDefaultBaud), QString(QChar(kParityLetters[p])),
             pick(dataBits(), data, kDefaultData), pick(stopBits(), stop, kDefaultStop));
}

} // namespace zm
