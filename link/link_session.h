#pragma once
// A link session: the one line to one chip. It owns the link thread, the transport on it (a
// serial port) and the receive router that the link thread feeds with every byte that arrives;
// it offers one request call (send a frame, wait for its answer until a deadline or a stop),
// the raw phases of the frame-buffer transfer, the listen mode of the motion monitor, and the
// turn that keeps one requester on the line at a time. The program has one a port; tests make
// their own.
//
// Threads:
// - The link thread is the only one that touches the transport and the only writer of the
//   receive state; a requester asks for a change and the link thread makes it, in order with
//   the bytes that arrive.
// - A requester (a worker, zmctl's main thread) holds the turn while it sends and waits; its
//   waits end at the answer, the deadline, the loss of the port, or its stop request, whether
//   the stop came before the wait began or during it.
// - Signals are emitted in the thread the session lives in (the GUI thread of the console).
//
//     LinkSession session;
//     session.open("/dev/ttyUSB0", "115200,n,8,1", &error);
//     if (session.tryAcquire()) {
//         AnswerRecord answer;
//         const uint8_t r = session.request(frame, stopToken, LinkSession::After::Idle, &answer);
//         session.release();
//     }

#include "link/idle_feed.h"
#include "link/link_settings.h"
#include "link/traffic_feed.h"
#include "protocol/protocol.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stop_token>

namespace zm {

class ReceiveRouter;
class SerialLink;

class LinkSession : public QObject
{
    Q_OBJECT

public:
    static constexpr uint32_t kFbufCapacity = 614400;
    // Single-byte writes of a raw send phase go to the link in runs of this many, so that the
    // caller can report progress and look at its stop request between runs.
    static constexpr int kRawRun = 1024;

    // What follows a good answer (status 0, our serial number).
    enum class After {
        Idle,       // nothing: an ordinary command
        RawReceive, // the chip streams the picture: bytes go to the frame-buffer buffer
        RawSend,    // the PC streams; the chip then sends a closing answer
        Closing,    // no raw phase on this line, but a closing answer follows
    };

    explicit LinkSession(QObject *parent = nullptr);
    ~LinkSession() override;

    // The port.
    bool open(const QString &port, const QString &lineSettings, QString *error = nullptr);
    void close();
    bool isOpen() const;
    bool portLost() const { return m_lost.load(); }
    // Why the port was lost ("<port>: the line was hung up."), empty while it is not.
    QString lostReason() const;

    // The turn: one requester on the line at a time. tryAcquire() takes it at once or refuses
    // (a window's command while another runs); acquire() waits for it up to `wait`, giving up at
    // a stop request (a requester that shares the line, such as a loop of captures).
    bool tryAcquire();
    bool acquire(std::chrono::milliseconds wait, std::stop_token stop = {});
    void release();
    bool isBusy() const;

    // The end of the program: every wait in progress ends now and every later one at once (252),
    // the waits of commands that clean up after a stop too, until it is switched off again.
    void abortWaits(bool on);

    LinkSettings settings() const;
    // Changes some settings in one step, e.g. updateSettings([](LinkSettings &s) { s.pageSize = 64; }).
    template <typename Change>
    void updateSettings(Change change)
    {
        std::lock_guard lock(m_settingsMutex);
        change(m_settings);
    }

    // The result of the last request, kept as the chip's "last result".
    uint8_t lastResult() const { return m_lastResult.load(); }
    void setLastResult(uint8_t result) { m_lastResult.store(result); }

    // Sends the frame and waits for the answer that carries its command code, for the time-out
    // of that code. Returns the result code (also kept as the last result): 0, the chip's
    // status, 6 for no answer in time, 240 or 241 for a broken frame, 242 for another serial
    // number, 254 when the frame could not be written, 252 when `stop` was requested (before the
    // wait began or during it), 255 when the port went away. `answer`, when given, receives the
    // answer frame, also that of a failing status.
    uint8_t request(const CommandRecord &frame, std::stop_token stop, After after = After::Idle,
                    AnswerRecord *answer = nullptr);

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
    // The last answer frame taken (the serial number it carried tells a 242 apart).
    AnswerRecord lastAnswer() const;

    // Raw phases of the frame-buffer transfer.
    // The closing answer of a raw phase: any frame but a motion notification.
    uint8_t waitForAnswer(int timeoutMs, std::stop_token stop);
    // Sets the expected raw length before a read-fbuf-data whose picture comes over this line.
    bool prepareRawReceive(uint32_t expected);
    struct RawProgress {
        uint32_t count = 0;    // raw bytes in so far
        bool complete = false; // all that was expected is in
    };
    // Waits until the raw count differs from `seen`, the phase is complete, `ms` pass, the port
    // goes away or `stop` is requested.
    RawProgress waitRawProgress(uint32_t seen, int ms, std::stop_token stop);
    // The received raw bytes (valid once the phase is complete).
    QByteArray rawData() const;
    // Sends bytes one per write, each gone from the output buffer before the next; at most
    // kRawRun of them in one call. Returns false when the line failed.
    bool sendRawBytes(const uint8_t *bytes, int n);
    // Ends a raw phase, or a wait given up: the receive state goes back to idle.
    void endRawPhase();

    // Notifications: the router stays armed for frames of `code` until stopListening(), so that
    // no frame is cut by the listener's own timing. waitNotification() takes the next one:
    // 0 with the frame, its status when not 0, 242 for another serial number, 6 when none came
    // within `ms`, 252 at a stop request, 255 when the port went away.
    void startListening(uint8_t code);
    uint8_t waitNotification(int ms, AnswerRecord &frame, std::stop_token stop);
    void stopListening();
    // From before the commands that open notifications until after those that close them:
    // notifications that come while one of them waits are queued for waitNotification() too.
    void collectNotifications(bool on);

    // Where the receive path stands (idle after every request that ended), for tests.
    ReceiveState receiveState() const;
    // How many writes went out since the port was opened (a raw phase writes one byte each).
    quint64 writeCount() const;

    IdleFeed &idleFeed() { return m_idle; }
    TrafficFeed &traffic() { return m_traffic; }

signals:
    // The open port went away under us; the link is closed. Emitted once.
    void portLostSignal(const QString &reason);
    // The port was opened or closed (by the program, or lost).
    void portStateChanged(bool open);

private:
    void received(const uint8_t *bytes, size_t k);
    // Before a wait: no event, no failure.
    void resetWait();
    uint8_t waitArmed(int timeoutMs, const std::stop_token &stop, uint8_t serial, AnswerRecord *answer);
    // Link thread, after a wait that failed: recorded, and the receive state back to idle.
    void giveUp(uint8_t result);
    void linkThreadPortLost(const QString &reason);
    void tellOwner(std::function<void()> fn);

    std::unique_ptr<SerialLink> m_link;
    std::unique_ptr<ReceiveRouter> m_router; // under m_mutex; written on the link thread only
    IdleFeed m_idle;
    TrafficFeed m_traffic; // link thread, but for its recorder's reader

    mutable std::mutex m_settingsMutex;
    LinkSettings m_settings;

    mutable std::mutex m_turnMutex;
    std::condition_variable m_turnFree;
    bool m_busy = false;

    std::atomic<uint8_t> m_lastResult{0};
    std::atomic<bool> m_aborting{false};
    std::atomic<bool> m_lost{false};

    // The answer event: shared between the link thread (receive path) and the requester.
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    QString m_lostReason;
    SentCommand m_sent;
    bool m_event = false;
    bool m_writeFailed = false;
    static constexpr int kSpinMicros = 150;
    std::atomic<bool> m_signalled{false}; // mirrors m_event || m_writeFailed for the brief look
};

} // namespace zm
