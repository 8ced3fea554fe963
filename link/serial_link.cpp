#include "link/serial_link.h"

#include "link/handover.h"
#include "link/open_failure.h"
#include "link/system_ports.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPort>
#include <QStringList>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace zm {

bool LineSettings::parse(const QString &text, LineSettings &out)
{
    const QStringList parts = text.split(',');
    if (parts.size() != 4)
        return false;
    bool ok = false;
    LineSettings s;
    s.baud = parts[0].trimmed().toInt(&ok);
    if (!ok || s.baud <= 0)
        return false;
    const QString p = parts[1].trimmed().toLower();
    if (p.size() != 1 || !QString("neoms").contains(p))
        return false;
    s.parity = p[0].toLatin1();
    s.dataBits = parts[2].trimmed().toInt(&ok);
    if (!ok || s.dataBits < 5 || s.dataBits > 8)
        return false;
    s.stopBits = parts[3].trimmed().toInt(&ok);
    if (!ok || (s.stopBits != 1 && s.stopBits != 2))
        return false;
    out = s;
    return true;
}

QString LineSettings::toString() const
{
    return QString("%1,%2,%3,%4").arg(baud).arg(QChar(parity)).arg(dataBits).arg(stopBits);
}

namespace {

// Writes all bytes and returns when they have left the port's output buffer. The port object's
// own buffer is always empty between our writes, so on a system with descriptors the bytes go
// straight to the descriptor: the same order, without a round through the port's write
// notifier, which costs more than a byte's line time at 921600 baud.
bool writeAndDrain(QSerialPort *port, const uint8_t *bytes, qint64 n, int *systemError)
{
    *systemError = 0;
#ifdef Q_OS_UNIX
    if (port->bytesToWrite() > 0)
        return false;
    const int fd = int(port->handle());
    qint64 done = 0;
    while (done < n) {
        const ssize_t w = ::write(fd, bytes + done, size_t(n - done));
        if (w > 0) {
            done += w;
            continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EINTR) {
            *systemError = errno;
            return false;
        }
        // A slow reader on the other side is fine; a line that takes nothing for this long is not.
        pollfd pfd{fd, POLLOUT, 0};
        const int r = ::poll(&pfd, 1, 5000);
        if (r == 0 || (r > 0 && (pfd.revents & (POLLERR | POLLHUP | POLLNVAL)))) {
            *systemError = r == 0 ? ETIMEDOUT : EIO;
            return false;
        }
    }
    ::tcdrain(fd);
    return true;
#else
    if (port->write(reinterpret_cast<const char *>(bytes), n) != n)
        return false;
    while (port->bytesToWrite() > 0)
        if (!port->waitForBytesWritten(5000))
            return false;
    return true;
#endif
}

} // namespace

SerialLink::SerialLink()
{
    m_thread.setObjectName(QStringLiteral("serial link"));
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.start();
}

SerialLink::~SerialLink()
{
    call([this] { closeOnThread(); });
    m_thread.quit();
    m_thread.wait();
}

void SerialLink::call(const std::function<void()> &fn)
{
    handover::call(m_context, fn);
}

void SerialLink::post(std::function<void()> fn)
{
    handover::post(m_context, std::move(fn));
}

bool SerialLink::open(const QString &port, const QString &settings, QString *error)
{
    bool ok = false;
    QString message;
    call([&] {
        if (m_port) {
            message = QStringLiteral("The port is already open.");
            return;
        }
        LineSettings line;
        if (!LineSettings::parse(settings, line)) {
            message = QStringLiteral("Invalid port settings \"%1\".").arg(settings);
            return;
        }
        const QString path = systemPortName(port);
        if (path.isEmpty()) {
            message = QStringLiteral("No port given.");
            return;
        }
        auto *p = new QSerialPort(m_context);
        p->setPortName(path);
        if (!p->open(QIODevice::ReadWrite)) {
            message = openFailureText(port, path, p->error(), p->errorString(), openFacts(path));
            delete p; // not open, so none of its signals can be running
            return;
        }
        // A pseudo-terminal or a simple adapter refuses some of these (modem lines); that does
        // not make the port unusable, so only the result of open() counts.
        p->setBaudRate(line.baud);
        p->setDataBits(QSerialPort::DataBits(line.dataBits));
        switch (line.parity) {
        case 'e': p->setParity(QSerialPort::EvenParity); break;
        case 'o': p->setParity(QSerialPort::OddParity); break;
        case 'm': p->setParity(QSerialPort::MarkParity); break;
        case 's': p->setParity(QSerialPort::SpaceParity); break;
        default: p->setParity(QSerialPort::NoParity); break;
        }
        p->setStopBits(line.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
        p->setFlowControl(QSerialPort::NoFlowControl);
        p->clearError();
        // Whatever waited in the input belongs to nobody.
        p->clear(QSerialPort::Input);
        p->readAll();
        p->clearError();
        connect(p, &QSerialPort::readyRead, m_context, [this] { readAvailable(); });
        connect(p, &QSerialPort::errorOccurred, m_context, [this](QSerialPort::SerialPortError e) { portError(int(e)); });
        m_port = p;
        m_portName = port.trimmed();
        m_devicePath = path;
        m_writes = 0;
        m_open = true;
        ok = true;
    });
    if (error)
        *error = message;
    return ok;
}

void SerialLink::close()
{
    call([this] { closeOnThread(); });
}

void SerialLink::closeOnThread()
{
    if (!m_port)
        return;
    m_open = false;
    QSerialPort *p = m_port;
    m_port = nullptr;
    p->disconnect(m_context);
    p->close();
    // We may be inside one of the port's own signals: it goes once they have returned.
    p->deleteLater();
}

void SerialLink::readAvailable()
{
    if (!m_port)
        return;
    const QByteArray bytes = m_port->readAll();
    if (!bytes.isEmpty() && m_receiver)
        m_receiver(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
}

bool SerialLink::lineIsGone() const
{
    if (!m_port)
        return true;
    if (!QFileInfo::exists(m_devicePath))
        return true;
#ifdef Q_OS_UNIX
    pollfd pfd{int(m_port->handle()), POLLIN, 0};
    if (::poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)))
        return true;
#endif
    return false;
}

void SerialLink::portError(int error)
{
    const auto e = QSerialPort::SerialPortError(error);
    if (!m_port || (e != QSerialPort::ResourceError && e != QSerialPort::ReadError && e != QSerialPort::WriteError))
        return;
    if (lineIsGone()) {
        reportLost(QFileInfo::exists(m_devicePath) ? QStringLiteral("the line was hung up")
                                                   : QStringLiteral("the device is no longer there"));
        return;
    }
    // A read that found nothing, typically right after the input was discarded: the port stopped
    // listening for input, so start it again.
    m_port->clearError();
    m_port->setReadBufferSize(m_port->readBufferSize());
}

void SerialLink::reportLost(const QString &why)
{
    if (!m_port)
        return;
    const QString reason = QStringLiteral("%1: %2.").arg(portLabel(m_portName, m_devicePath), why);
    closeOnThread();
    if (m_lostHandler)
        m_lostHandler(reason);
}

void SerialLink::discardInputOnThread()
{
    if (!m_port)
        return;
    m_port->clear(QSerialPort::Input);
    // clear() can report an error, and the error can close the port.
    if (m_port)
        m_port->readAll();
}

bool SerialLink::writeOnThread(const uint8_t *bytes, qint64 n)
{
    if (!m_port || !bytes)
        return false;
    int systemError = 0;
    if (writeAndDrain(m_port, bytes, n, &systemError)) {
        ++m_writes;
        return true;
    }
    if (lineIsGone() || systemError == EIO || systemError == ENXIO || systemError == ENODEV)
        reportLost(QStringLiteral("writing to it failed (%1)")
                       .arg(systemError ? QString::fromLocal8Bit(std::strerror(systemError))
                                        : QStringLiteral("the line is gone")));
    return false;
}

} // namespace zm
