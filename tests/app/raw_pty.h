#pragma once
// A bare pseudo-terminal for bytes no chip command makes: the test writes to the master side,
// the console reads the slave side like any serial port. Closing the master makes the port go
// away under the console.

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

class RawPty
{
public:
    RawPty()
    {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&m_master, &slave, name, nullptr, nullptr) != 0)
            return;
        termios t{};
        ::tcgetattr(slave, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave, TCSANOW, &t);
        // The port opens the slave itself; keeping ours open would hide the hang-up.
        ::close(slave);
        m_path = QString::fromLocal8Bit(name);
    }
    ~RawPty() { closeMaster(); }
    RawPty(const RawPty &) = delete;
    RawPty &operator=(const RawPty &) = delete;

    bool isOpen() const { return m_master >= 0; }
    QString path() const { return m_path; }

    bool write(const QByteArray &bytes)
    {
        return m_master >= 0 && ::write(m_master, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QString m_path;
};
