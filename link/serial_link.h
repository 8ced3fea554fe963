#pragma once
// The one serial port of the program. A long-lived link thread owns the QSerialPort; every other
// thread reaches it through blocking calls into that thread, and arriving bytes are handed to the
// receiver on the link thread as they come.

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

// "COM1".."COM20" name the first serial ports of the system; anything else is a device path or a
// name the system knows.
QString systemPortName(const QString &port);

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
    QString portName() const;

    // Writes the bytes and returns when they have left the port's output buffer; -1 on failure.
    qint64 write(const uint8_t *bytes, qint64 n);

    // Queues fn to run on the link thread and returns at once.
    void post(std::function<void()> fn);

    // Link thread only: drops whatever waits in the input.
    void discardInputOnThread();
    // Link thread only: the write of write(), for code that already runs there.
    qint64 writeOnThread(const uint8_t *bytes, qint64 n);

    // Writes `n` bytes one byte per write, each taken from `next` as it goes, waiting for each to
    // leave the output buffer. `progress` is told the count now and then. Returns the count
    // written, or -1 when the port failed.
    qint64 writeEach(const std::function<uint8_t(qint64 index)> &next, qint64 n,
                     const std::function<void(qint64 done)> &progress);

    // Runs fn on the link thread and waits for it.
    void call(const std::function<void()> &fn);

    bool onLinkThread() const { return QThread::currentThread() == &m_thread; }

    // How many single writes went out since the port was opened (for tests and diagnostics).
    quint64 writeCount() const { return m_writes.load(); }

signals:
    // Emitted once (from the link thread) when an open port goes away under us.
    void lost(const QString &reason);

private:
    void readAvailable();
    void portError(int error);
    void closeOnThread();

    QThread m_thread;
    QObject *m_context = nullptr; // lives on the link thread
    QSerialPort *m_port = nullptr; // created, used and destroyed on the link thread only
    Receiver m_receiver;
    LostHandler m_lostHandler;
    std::atomic<bool> m_open{false};
    std::atomic<quint64> m_writes{0};
    bool m_lostReported = false;
    QString m_portName;
};

} // namespace zm
