#include "app/port_settings.h"

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

QList<PortChoice> PortSettings::portChoices(const QList<SystemPort> &system)
{
    QList<PortChoice> choices;
    for (int i = 1; i <= 20; ++i)
        choices.append({QStringLiteral("COM%1").arg(i), QStringLiteral("COM%1").arg(i)});
    for (const SystemPort &port : system)
        if (comNameOf(port.path).isEmpty())
            choices.append({port.label(), port.path});
    return choices;
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
