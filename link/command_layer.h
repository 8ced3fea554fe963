#pragma once
// The command layer: the one serial link, the frame in flight and its answer, the receive state
// that routes arriving bytes, the busy flag that keeps one command in flight, and the raw phases
// of the frame-buffer transfer. The program has one; tests make their own.
//
// Only the link thread changes the receive state: a worker asks for a change and the link thread
// makes it, in order with the bytes that arrive.

#include "link/protocol.h"
#include "link/receive_router.h"
#include "link/serial_link.h"
#include "link/traffic_recorder.h"

#include <QByteArray>
#include <QObject>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace zm {

class CommandLayer : public QObject
{
    Q_OBJECT

public:
    static constexpr int kDefaultTimeout = 3000;
    static constexpr int kEraseTimeout = 10000;
    static constexpr uint32_t kFbufCapacity = ReceiveRouter::kRawCapacity;
    // Single-byte writes of a raw send phase go to the link in runs of this many, so that the
    // caller can report progress and look at its stop request between runs.
    static constexpr int kRawRun = 1024;

    using After = ReceiveRouter::After;

    explicit CommandLayer(QObject *parent = nullptr);
    ~CommandLayer() override;

    bool open(const QString &port, const QString &settings, QString *error = nullptr);
    void close();
    bool isOpen() const { return m_link->isOpen(); }
    bool portLost() const { return m_lost.load(); }
    // Why the port was lost ("<port>: the line was hung up."), empty while it is not.
    QString lostReason() const;

    // One command (or chain of commands) in flight: an atomic test-and-set.
    bool tryAcquire() { return !m_busy.exchange(true); }
    void release() { m_busy.store(false); }
    bool isBusy() const { return m_busy.load(); }

    uint8_t serialNumber() const { return m_serial.load(); }
    void setSerialNumber(uint8_t n) { m_serial.store(n); }
    uint8_t lastResult() const;
    void setLastResult(uint8_t r);
    ReceiveState receiveState() const;
    int commandTimeout() const { return m_timeout.load(); }
    void setCommandTimeout(int ms) { m_timeout.store(ms); }
    // The time-out a command waits with: the erase of the whole flash gets its own, however it
    // is sent.
    int timeoutFor(uint8_t code) const;
    AnswerRecord answer() const;

    // Page size of the serial memories for block writes; set by the configuration.
    int pageSize() const { return m_pageSize.load(); }
    void setPageSize(int bytes) { m_pageSize.store(bytes > 0 ? bytes : 1); }
    // Through which of the chip's UARTs the PC is attached: 1 MCU UART, 2 HUART.
    int pcUart() const { return m_pcUart.load(); }
    void setPcUart(int uart) { m_pcUart.store(uart); }

    // Sends the frame and waits for the answer that carries its command code. Returns the
    // result code and records it as the last result.
    uint8_t sendAndWait(const CommandRecord &frame, After after = After::Idle);

    // The last wait for the chip: the command sent and how long its answer was waited for, so
    // that a failure can say which command it was. `closing` marks the wait for the closing
    // answer of a raw phase, after the command that opened it.
    struct SentCommand {
        bool valid = false;
        uint8_t code = 0;
        QByteArray data;
        int timeoutMs = 0;
        bool closing = false;
    };
    SentCommand lastSent() const;

    // Raw phases of the frame-buffer transfer.
    // The closing answer of a raw phase: any frame but a motion notification.
    uint8_t waitForAnswer(int timeoutMs);
    // Sets the expected raw length before a read-fbuf-data whose picture comes over this line.
    bool prepareRawReceive(uint32_t expected);
    uint32_t rawExpected() const;
    uint32_t rawCount() const;
    // Waits until the raw count differs from `seen`, the phase completes or `ms` pass; returns
    // the count then.
    uint32_t waitRawProgress(uint32_t seen, int ms);
    // The received raw bytes (valid once the phase is complete).
    QByteArray rawData() const;
    // Sends bytes one per write, each gone from the output buffer before the next; at most
    // kRawRun of them in one call. Returns false when the line failed.
    bool sendRawBytes(const uint8_t *bytes, int n);
    // Ends a raw phase, or a wait given up: the receive state goes back to idle.
    void endRawPhase();

    // Notifications: the assembly stays armed for frames of `code` until stopListening(), so
    // that no frame is cut by the listener's own timing. waitNotification() takes the next one:
    // 0 with the frame, its status when not 0, 242 for another serial number, 6 when none came
    // within `ms`, 255 when the port went away or the wait was interrupted.
    void startListening(uint8_t code);
    uint8_t waitNotification(int ms, AnswerRecord &frame);
    void stopListening();
    // From before the commands that open notifications until after those that close them:
    // notifications that come while one of them waits are queued for waitNotification() too.
    void collectNotifications(bool on);

    // Ends the wait in progress now, with 255 (an interrupted program, or one that is closing).
    void interruptWait();

    // How many writes went out since the port was opened (for tests and diagnostics).
    quint64 writeCount() const { return m_link->writeCount(); }

    // What crossed the line; recorded while enabled (the traffic log, zmctl --log).
    TrafficRecorder &traffic() { return m_traffic; }

    // Idle bytes gathered for a reader on another thread (the console's data show). While it has
    // not taken them, bytes that come are added to what waits, and idleBytesGathered() is emitted
    // only when nothing was waiting: a flood of bytes then reaches a busy reader as a few large
    // batches, instead of one queued copy per read that buries its event loop. Off until
    // switched on; switching off drops what waits.
    void gatherIdleBytes(bool on);
    QByteArray takeIdleBytes();

signals:
    // Bytes that arrived while no command was waiting, that trailed an answer, or frames that
    // were not the awaited answer.
    void idleBytes(const QByteArray &bytes);
    // Gathered idle bytes wait to be taken (see gatherIdleBytes). From the link thread.
    void idleBytesGathered();
    // The open port went away under us; the link is closed. Emitted once, on the link thread.
    void portLostSignal(const QString &reason);
    // The port was opened or closed (by the program, or lost). From the thread that did it.
    void portStateChanged(bool open);

private:
    void received(const uint8_t *bytes, size_t k);
    void deliver(const ReceiveRouter::Output &out);
    // Before a wait: no event, no failure, last result 0.
    void resetWait();
    // Link thread, after a wait that failed: recorded, and the receive state back to idle.
    void giveUp(uint8_t result);
    uint8_t waitArmed(int timeoutMs);
    // Link thread: raw phases are recorded as one event each, when they end.
    void routed(TrafficRecorder::Kind kind, const uint8_t *bytes, int n);
    void flushRaw();

    std::unique_ptr<SerialLink> m_link;
    std::atomic<bool> m_busy{false};
    std::atomic<uint8_t> m_serial{0};
    std::atomic<int> m_timeout{kDefaultTimeout};
    std::atomic<int> m_pageSize{256};
    std::atomic<int> m_pcUart{1};
    std::atomic<bool> m_lost{false};
    QString m_lostReason; // under m_mutex
    SentCommand m_sent;   // under m_mutex

    // Shared between the link thread (receive path) and the worker in flight.
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    ReceiveRouter m_router;
    uint8_t m_lastResult = 0;
    bool m_event = false;
    bool m_writeFailed = false;
    bool m_waiting = false;
    bool m_interrupted = false;
    static constexpr int kSpinMicros = 150;
    std::atomic<bool> m_signalled{false}; // mirrors m_event || m_writeFailed for the brief look

    TrafficRecorder m_traffic;
    std::atomic<bool> m_gatherIdle{false};
    std::mutex m_gatheredMutex;
    QByteArray m_gathered;
    struct RawRun {
        int64_t start = -1;
        uint32_t bytes = 0;
        uint8_t first[TrafficRecorder::kBytes] = {};
        int kept = 0;
    };
    RawRun m_rawIn, m_rawOut; // link thread only
};

} // namespace zm
