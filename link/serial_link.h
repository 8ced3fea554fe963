#pragma once
// The one serial port of the program. A long-lived link thread owns the QSerialPort; every other
// thread reaches it through calls into that thread, and arriving bytes are handed to the
// receiver on the link thread as they come.
//
// Only a real loss closes the port: the line hung up, the device node went away, or a write
// failed for good. A read that finds nothing (the input was just discarded) is not a loss.

#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <functional>

class QSerialPort;

namespace zm {

// Line settings parsed from a settings string such as "38400,n,8,1".
struct LineSettings {
    int baud = 38400;
    char parity = 'n'; // n, e, o, m, s
    int dataBits = 8;
    int stopBits = 1;

    static bool parse(const QString &text, LineSettings &out);
    QString toString() const;
};


class SerialLink : public QObject
{
    Q_OBJECT

public:
    // Called on the link thread with each batch of arriving bytes.
    using Receiver = std::function<void(const uint8_t *bytes, size_t k)>;
    // Called on the link thread once when an open port goes away under us.
    using LostHandler = std::function<void(const QString &reason)>;

    SerialLink();
    ~SerialLink() override;

    void setReceiver(Receiver r) { m_receiver = std::move(r); }
    void setLostHandler(LostHandler h) { m_lostHandler = std::move(h); }

    // Opens `port` with a settings string; whatever waits in the input is discarded.
    // Refuses when the link is already open.
    bool open(const QString &port, const QString &settings, QString *error = nullptr);
    void close();
    bool isOpen() const { return m_open.load(); }

    // Queues fn to run on the link thread and returns at once.
    void post(std::function<void()> fn);
    // Runs fn on the link thread and waits for it.
    void call(const std::function<void()> &fn);

    // Link thread only: drops whatever waits in the input.
    void discardInputOnThread();
    // Link thread only: writes the bytes and returns when they have left the port's output
    // buffer. A failure that is a loss of the line is reported as such.
    bool writeOnThread(const uint8_t *bytes, qint64 n);

    // How many writes went out since the port was opened (for tests and diagnostics).
    quint64 writeCount() const { return m_writes.load(); }

private:
    void readAvailable();
    void portError(int error);
    bool lineIsGone() const;
    void reportLost(const QString &why);
    void closeOnThread();

    QThread m_thread;
    QObject *m_context = nullptr;  // lives on the link thread
    QSerialPort *m_port = nullptr; // created, used and released on the link thread only
    Receiver m_receiver;
    LostHandler m_lostHandler;
    std::atomic<bool> m_open{false};
    std::atomic<quint64> m_writes{0};
    QString m_portName;
    QString m_devicePath;
};

} // namespace zm
