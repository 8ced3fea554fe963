#include "link/system_ports.h"

#include <QRegularExpression>


#include <QFileInfo>
#include <QSerialPortInfo>
#include <QStringList>

#include <algorithm>

namespace zm {

QString systemPortName(const QString &port)
{
    static const QRegularExpression com(QStringLiteral("^COM([0-9]+)$"), QRegularExpression::CaseInsensitiveOption);
    const auto m = com.match(port.trimmed());
    if (m.hasMatch()) {
        const int n = m.captured(1).toInt();
        if (n >= 1)
            return QStringLiteral("/dev/ttyS%1").arg(n - 1);
    }
    return port.trimmed();
}


namespace {

// ttyUSB2 before ttyUSB10: by the name without its trailing number, then by the number.
bool naturalLess(const QString &a, const QString &b)
{
    auto split = [](const QString &s) {
        qsizetype i = s.size();
        while (i > 0 && s[i - 1].isDigit())
            --i;
        return std::pair{s.left(i), s.mid(i).toLongLong()};
    };
    return split(a) < split(b);
}

} // namespace

QString SystemPort::details() const
{
    QStringList parts;
    const QString what = description.trimmed();
    const QString maker = manufacturer.trimmed();
    if (!what.isEmpty())
        parts << what;
    // Many adapters repeat their maker in the description ("Silicon Labs CP210x ..."); once is enough.
    if (!maker.isEmpty() && !what.contains(maker, Qt::CaseInsensitive))
        parts << maker;
    // Two adapters of the same kind differ only here.
    if (!serialNumber.trimmed().isEmpty())
        parts << QStringLiteral("serial %1").arg(serialNumber.trimmed());
    return parts.join(QStringLiteral(", "));
}

QString SystemPort::label() const
{
    const QString known = details();
    return known.isEmpty() ? path : QStringLiteral("%1 (%2)").arg(known, QFileInfo(path).fileName());
}

QList<SystemPort> systemPorts()
{
    QList<SystemPort> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const QString path = info.systemLocation();
        if (std::any_of(ports.cbegin(), ports.cend(), [&](const SystemPort &p) { return p.path == path; }))
            continue;
        ports.append({path, info.description(), info.manufacturer(), info.serialNumber()});
    }
    sortPorts(ports);
    return ports;
}

void sortPorts(QList<SystemPort> &ports)
{
    std::stable_sort(ports.begin(), ports.end(),
                     [](const SystemPort &a, const SystemPort &b) { return naturalLess(a.path, b.path); });
}

QString comNameOf(const QString &path)
{
    for (int n = 1; n <= 20; ++n) {
        const QString com = QStringLiteral("COM%1").arg(n);
        if (systemPortName(com) == path)
            return com;
    }
    return {};
}

} // namespace zm
