#include "link/serial_link.h"

#include <QSerialPort>
#include <QRegularExpression>
#include <QStringList>

#include <cerrno>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

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
    if (onLinkThread())
        fn();
    else
        QMetaObject::invokeMethod(m_context, fn, Qt::BlockingQueuedConnection);
}

QString SerialLink::portName() const
{
    QString name;
    const_cast<SerialLink *>(this)->call([&] { name = m_portName; });
    return name;
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
        auto *p = new QSerialPort(m_context);
        p->setPortName(systemPortName(port));
        if (!p->open(QIODevice::ReadWrite)) {
            message = QStringLiteral("Cannot open %1: %2").arg(port, p->errorString());
            delete p;
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
        connect(p, &QSerialPort::readyRead, m_context, [this] { readAvailable(); });
        connect(p, &QSerialPort::errorOccurred, m_context, [this](QSerialPort::SerialPortError e) { portError(int(e)); });
        m_port = p;
        m_portName = port;
        m_lostReported = false;
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
    m_port->disconnect(m_context);
    m_port->close();
    delete m_port;
    m_port = nullptr;
}

void SerialLink::readAvailable()
{
    if (!m_port)
        return;
    const QByteArray bytes = m_port->readAll();
    if (!bytes.isEmpty() && m_receiver)
        m_receiver(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
}

void SerialLink::portError(int error)
{
    const auto e = QSerialPort::SerialPortError(error);
    // Errors after which the port cannot go on: the device went away or stopped answering reads.
    if (e != QSerialPort::ResourceError && e != QSerialPort::ReadError && e != QSerialPort::WriteError)
        return;
    if (!m_port || m_lostReported)
        return;
    m_lostReported = true;
    const QString reason = QStringLiteral("The port %1 was lost: %2").arg(m_portName, m_port->errorString());
    closeOnThread();
    if (m_lostHandler)
        m_lostHandler(reason);
    emit lost(reason);
}

namespace {

// Writes all bytes to a non-blocking descriptor, waiting while the system's buffer is full.
bool writeAll(int fd, const uint8_t *bytes, qint64 n)
{
    qint64 done = 0;
    while (done < n) {
        const ssize_t w = ::write(fd, bytes + done, size_t(n - done));
        if (w > 0) {
            done += w;
            continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        // A slow reader on the other side is fine; a line that takes nothing for this long is not.
        pollfd pfd{fd, POLLOUT, 0};
        const int r = ::poll(&pfd, 1, 5000);
        if (r == 0 || (r > 0 && (pfd.revents & (POLLERR | POLLHUP | POLLNVAL))))
            return false;
    }
    return true;
}

} // namespace

// Returns when the bytes have left the port's output buffer. The port object's own buffer is
// always empty between writes, so the bytes can go straight to the descriptor: the same order,
// without a round through the port's write notifier.
qint64 SerialLink::writeOnThread(const uint8_t *bytes, qint64 n)
{
    if (!m_port || !bytes || m_port->bytesToWrite() > 0)
        return -1;
    const int fd = int(m_port->handle());
    if (!writeAll(fd, bytes, n))
        return -1;
    ::tcdrain(fd);
    ++m_writes;
    return n;
}

qint64 SerialLink::write(const uint8_t *bytes, qint64 n)
{
    qint64 r = -1;
    call([&] { r = writeOnThread(bytes, n); });
    return r;
}

void SerialLink::post(std::function<void()> fn)
{
    QMetaObject::invokeMethod(m_context, std::move(fn), Qt::QueuedConnection);
}

void SerialLink::discardInputOnThread()
{
    if (m_port) {
        m_port->clear(QSerialPort::Input);
        m_port->readAll();
    }
}

qint64 SerialLink::writeEach(const std::function<uint8_t(qint64)> &next, qint64 n,
                             const std::function<void(qint64)> &progress)
{
    qint64 done = -1;
    call([&] {
        if (!m_port || m_port->bytesToWrite() > 0)
            return;
        // The port's own buffer is empty, so single bytes can go straight to the descriptor;
        // going through the port object per byte would cost more than the byte's line time on
        // a fast line.
        const int fd = int(m_port->handle());
        done = 0;
        while (done < n) {
            const uint8_t b = next(done);
            if (!writeAll(fd, &b, 1)) {
                done = -1;
                return;
            }
            ::tcdrain(fd);
            ++m_writes;
            ++done;
            if (progress)
                progress(done);
        }
    });
    return done;
}

} // namespace zm
