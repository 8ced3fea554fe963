#pragma once
// The choices of the "Comm Setting" panel, and the line they make.

#include <QString>
#include <QStringList>

namespace zm {

struct PortSettings {
    static QStringList baudRates();   // "9600" .. "115200"
    static QStringList dataBits();    // "5" .. "8"
    static QStringList parities();    // "Odd", "Even", "None"
    static QStringList stopBits();    // "1", "2"
    static constexpr int kDefaultBaud = 2;   // "38400"
    static constexpr int kDefaultData = 3;   // "8"
    static constexpr int kDefaultParity = 2; // "None"
    static constexpr int kDefaultStop = 0;   // "1"

    // "COM1" .. "COM20", then the serial ports the system reports (device paths) that are not
    // among them.
    static QStringList portNames();

    QString port = QStringLiteral("COM1");
    int baud = kDefaultBaud;
    int data = kDefaultData;
    int parity = kDefaultParity;
    int stop = kDefaultStop;

    // Baud text, parity letter, data bits and stop bits joined by ",", e.g. "38400,n,8,1".
    QString settingsString() const;
};

} // namespace zm
