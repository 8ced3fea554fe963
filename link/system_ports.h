#pragma once
// The serial ports this system reports, with what it knows of each, so that a person can pick
// "the FTDI adapter" rather than guess which /dev/ttyUSB number it got today.

#include <QList>
#include <QString>

namespace zm {

// "COM1".."COM20" name the first serial ports of the system; anything else is a device path or a
// name the system knows.
QString systemPortName(const QString &port);

struct SystemPort {
    QString path;         // "/dev/ttyUSB0": the value a port box or --port takes
    QString description;  // "FT232R USB UART"
    QString manufacturer; // "FTDI"
    QString serialNumber; // "A50285BI"

    // What the system knows, without the device: "FT232R USB UART, FTDI, serial A50285BI";
    // empty when it knows nothing.
    QString details() const;
    // "FT232R USB UART, FTDI, serial A50285BI (ttyUSB0)"; the path alone when nothing is known.
    QString label() const;
};

// Every serial port the system reports, in the order of sortPorts.
QList<SystemPort> systemPorts();
// By path, numbers as numbers: ttyUSB2 before ttyUSB10.
void sortPorts(QList<SystemPort> &ports);

// "COM1".."COM20" for /dev/ttyS0../dev/ttyS19, empty for any other path.
QString comNameOf(const QString &path);

} // namespace zm
