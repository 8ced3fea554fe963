#pragma once
// The command layer: the one serial link, the frame in flight and its answer, the receive state
// that routes arriving bytes, the busy flag that keeps one command in flight, and the raw
// frame-buffer buffer. The program has one; tests make their own.

#include "link/answer_assembly.h"
#include "link/protocol.h"
#include "link/serial_link.h"

#include <QByteArray>
#include <QObject>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace zm {

class CommandLayer : public QObject
{
    Q_OBJECT

public:
    static constexpr int kDefaultTimeout = 3000;
    static constexpr int kEraseTimeout = 10000;
    static constexpr uint32_t kFbufCapacity = 614400;

    // What the receive path does once the answer of a command is in and says success.
    enum class After {
        Idle,       // an ordinary command
        RawReceive, // the chip streams raw bytes next: they go to the frame-buffer buffer
        RawSend,    // the PC streams raw bytes next; the chip then sends a closing answer
        Closing,    // no raw phase on this line, but a closing answer follows
    };

    explicit CommandLayer(QObject *parent = nullptr);
    ~CommandLayer() override;

    SerialLink &link() { return *m_link; }

    bool open(const QString &port, const QString &settings, QString *error = nullptr);
    void close();
    bool isOpen() const { return m_link->isOpen(); }

    // One command (or chain of commands) in flight: an atomic test-and-set.
    bool tryAcquire() { return !m_busy.exchange(true); }
    void release() { m_busy.store(false); }
    bool isBusy() const { return m_busy.load(); }

    uint8_t serialNumber() const { return m_serial.load(); }
    void setSerialNumber(uint8_t n) { m_serial.store(n); }
    uint8_t lastResult() const;
    void setLastResult(uint8_t r);
    ReceiveState receiveState() const;
    void setReceiveState(ReceiveState s);
    int commandTimeout() const { return m_timeout.load(); }
    void setCommandTimeout(int ms) { m_timeout.store(ms); }
    AnswerRecord answer() const;

    // Page size of the serial memories for block writes; set by the configuration.
    int pageSize() const { return m_pageSize.load(); }
    void setPageSize(int bytes) { m_pageSize.store(bytes > 0 ? bytes : 1); }
    // Through which of the chip's UARTs the PC is attached: 1 MCU UART, 2 HUART.
    int pcUart() const { return m_pcUart.load(); }
    void setPcUart(int uart) { m_pcUart.store(uart); }

    // Sends the frame and waits for its answer with the command time-out. Returns the result
    // code and records it as the last result.
    uint8_t sendAndWait(const CommandRecord &frame, After after = After::Idle);
    // Waits for one answer frame without sending anything (the closing answer of a raw phase).
    uint8_t waitForAnswer(int timeoutMs);

    // Frame-buffer receive: the expected length and the count so far.
    bool prepareRawReceive(uint32_t expected);
    uint32_t rawExpected() const;
    uint32_t rawCount() const;
    // Waits until the raw count differs from `seen`, the phase completes or `ms` pass; returns the
    // count then.
    uint32_t waitRawProgress(uint32_t seen, int ms);
    // The received raw bytes (valid once the phase is complete).
    QByteArray rawData() const;

    bool portLost() const { return m_lost.load(); }

signals:
    // Bytes that arrived while no command was waiting, or that trailed an answer.
    void idleBytes(const QByteArray &bytes);
    // The open port went away under us; the link is closed.
    void portLostSignal(const QString &reason);

private:
    void received(const uint8_t *bytes, size_t k);
    void appendRaw(const uint8_t *bytes, size_t k);
    void hold(const uint8_t *bytes, size_t k);
    void arm();
    uint8_t waitArmed(int timeoutMs);

    std::unique_ptr<SerialLink> m_link;
    std::atomic<bool> m_busy{false};
    std::atomic<uint8_t> m_serial{0};
    std::atomic<int> m_timeout{kDefaultTimeout};
    std::atomic<int> m_pageSize{256};
    std::atomic<int> m_pcUart{1};
    std::atomic<bool> m_lost{false};

    // Shared between the link thread (receive path) and the worker in flight.
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    ReceiveState m_state = ReceiveState::Idle;
    After m_after = After::Idle;
    AnswerAssembly m_assembly;
    AnswerRecord m_answer;
    uint8_t m_lastResult = 0;
    bool m_event = false;
    bool m_writeFailed = false;
    bool m_holdForClosing = false; // an answer with a closing answer behind it is in
    static constexpr int kSpinMicros = 150;
    std::atomic<bool> m_signalled{false}; // mirrors m_event || m_writeFailed for the brief look
    std::vector<uint8_t> m_raw;
    uint32_t m_rawExpected = 0;
    uint32_t m_rawCount = 0;
    // Bytes that came while a raw phase was running or had just ended: the chip's closing
    // answer can be among them, and it must not be lost before the wait for it is armed.
    std::vector<uint8_t> m_pending;
    QByteArray m_trailing; // collected under the lock, emitted after it
};

} // namespace zm
