#pragma once
// The choices of the "Comm Setting" panel, and the line they make.

#include "link/system_ports.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace zm {

// One entry of the port box: what it shows and the port it stands for.
struct PortChoice {
    QString text;  // "COM3", "FT232R USB UART, FTDI (ttyUSB0)"
    QString value; // "COM3", "/dev/ttyUSB0"
    friend bool operator==(const PortChoice &, const PortChoice &) = default;
};

struct PortSettings {
    static QStringList baudRates();   // "9600" .. "115200"
    static QStringList dataBits();    // "5" .. "8"
    static QStringList parities();    // "Odd", "Even", "None"
    static QStringList stopBits();    // "1", "2"
    static constexpr int kDefaultBaud = 2;   // "38400"
    static constexpr int kDefaultData = 3;   // "8"
    static constexpr int kDefaultParity = 2; // "None"
    static constexpr int kDefaultStop = 0;   // "1"

    // "COM1" .. "COM20", then each of the system's serial ports that is not among them, by what
    // the system knows of it; its value stays the device path.
    static QList<PortChoice> portChoices(const QList<SystemPort> &system);

    QString port = QStringLiteral("COM1");
    int baud = kDefaultBaud;
    int data = kDefaultData;
    int parity = kDefaultParity;
    int stop = kDefaultStop;

    // Baud text, parity letter, data bits and stop bits joined by ",", e.g. "38400,n,8,1".
    QString settingsString() const;
};

} // namespace zm
