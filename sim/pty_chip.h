#pragma once
// The simulated chip on a pseudo-terminal, served from its own thread.
//
// PtyChip opens a fresh pseudo-terminal, keeps its slave side open itself (so that clients can
// close and reopen the port without the chip seeing a hang-up) and runs a ChipModel behind the
// master side in a background thread built on poll(); the calling thread needs no event loop.
// Clients open slavePath() like any serial port. Every method is thread-safe.
//
// Usage in a test:
//
//     zm::sim::PtyChip chip;                       // default chip, control info in the I2C EEPROM
//     QVERIFY(chip.isOpen());
//     chip.addFault("status=5,cmd=0x26");          // or chip.addFault(FaultRule{...})
//     runTheCodeUnderTest(chip.slavePath());       // e.g. QSerialPort on that path
//     QVERIFY(chip.waitForFrames(1, 3000));
//     QCOMPARE(chip.frames().at(0), QByteArray::fromHex("56002600"));
//     QCOMPARE(chip.reg(0x1204), uint8_t(0x35));
//     chip.setBaud(115200);                        // pace the line from now on
//     chip.withModel([](zm::sim::ChipModel &m) { m.frameBuffers().control(0); });
//
// Line timing: with a baud rate set, both directions move baud / 10 bytes per second against an
// absolute clock (in chunks of about a millisecond); bytes the PC writes are taken from the
// pseudo-terminal no faster than the line would deliver them. The turnaround delays every
// answer. Both are 0 (off) by default: the chip then answers at once.
//
// Hang-up: the hangup fault closes the pseudo-terminal; clients see the line go away (EIO or
// POLLHUP). The chip stays down (isOpen() false, hangupCount() counts) until reopen(), which
// opens a new pseudo-terminal with a new path; the chip's state carries over.
//
// Output that nobody reads for two seconds (the pseudo-terminal's buffer stays full) is
// dropped, as a line with nobody listening would lose it.

#include "sim/chip_model.h"
#include "sim/line_pacer.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace zm::sim {

class PtyChip {
public:
    struct Options {
        ChipConfig chip;
        int baud = 0;         // 0: unpaced
        int turnaroundMs = 0; // added before every answer
    };

    PtyChip();
    explicit PtyChip(const Options &options);
    ~PtyChip();
    PtyChip(const PtyChip &) = delete;
    PtyChip &operator=(const PtyChip &) = delete;

    bool isOpen() const;
    QString errorString() const;
    QString slavePath() const;
    int hangupCount() const;
    // Opens a new pseudo-terminal (after a hang-up, or to drop the current one) and returns its
    // path; empty on failure.
    QString reopen();

    void setBaud(int baud);
    int baud() const;
    void setTurnaround(int ms);
    int turnaround() const;

    // The command frames received so far, in order.
    QList<QByteArray> frames() const;
    void clearFrames();
    // Waits until at least `count` frames have been received.
    bool waitForFrames(int count, int timeoutMs) const;

    bool addFault(const QString &rule, QString *error = nullptr); // KIND[=VALUE][,cmd=CODE][,times=N]
    void addFault(const FaultRule &rule);
    void clearFaults();
    QList<FaultRule> faults() const;

    // Memories: types 1, 4, 5, 6 byte-wise (no side effects, no NOR rule);
    // types 2 and 3 item-wise.
    QByteArray readMemory(MemoryType type, uint32_t address, int length) const;
    void writeMemory(MemoryType type, uint32_t address, const QByteArray &bytes);
    uint8_t reg(uint16_t address) const;
    void setReg(uint16_t address, uint8_t value);
    uint32_t item(MemoryType type, uint16_t address) const;
    void setItem(MemoryType type, uint16_t address, uint32_t value);
    uint16_t windowThreshold(int selector) const;
    void setWindowThreshold(int selector, uint16_t value);

    // Frame buffers: 0 current, 1 next.
    void setFrameBuffer(int which, const QByteArray &picture);
    QByteArray frameBuffer(int which) const;

    bool commMotionOpen() const;
    void setCommMotionOpen(bool open);
    void setMotionInterval(int ms);
    int notificationCount() const;

    uint8_t serialNumber() const;
    void setSerialNumber(uint8_t serial);
    ChipFeatures features() const;
    void setFeatures(const ChipFeatures &features);

    // Anything else: runs `f` on the model under the chip's lock, then lets the chip thread
    // look at the model again (new output, new deadlines).
    template <typename F>
    decltype(auto) withModel(F &&f)
    {
        struct Wake {
            PtyChip *chip;
            ~Wake() { chip->wake(); }
        } wake{this};
        std::lock_guard lock(m_mutex);
        return f(*m_model);
    }
    template <typename F>
    decltype(auto) withModel(F &&f) const
    {
        std::lock_guard lock(m_mutex);
        return f(std::as_const(*m_model));
    }
    // Waits until `pred(model)` holds; checked whenever the chip thread has done something.
    template <typename F>
    bool waitUntil(F &&pred, int timeoutMs) const
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return pred(std::as_const(*m_model)); });
    }

private:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;
    struct Pending {
        QByteArray bytes;
        qsizetype offset = 0;
        TimePoint notBefore{};
        std::chrono::microseconds gap{0};
        bool hangup = false;
        bool started = false;
    };

    bool openPty();  // m_mutex held
    void closePty(); // m_mutex held
    void run();
    void readInput(TimePoint now, TimePoint &wakeAt);
    void collectOutput(TimePoint now);
    void writeOutput(TimePoint now, TimePoint &wakeAt);
    void wake() const;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::unique_ptr<ChipModel> m_model;
    int m_master = -1;
    uint64_t m_lineNumber = 0; // counts closed pseudo-terminals: tells a replaced one from its successor
    int m_slave = -1;
    int m_wakeFd = -1;
    QString m_path;
    QString m_error;
    int m_hangups = 0;
    int m_turnaroundMs = 0;
    LinePacer m_rx;
    LinePacer m_tx;
    bool m_rxDry = true;     // the last read emptied the input: wait for POLLIN
    bool m_txBlocked = false; // the pseudo-terminal took less than offered: wait for POLLOUT
    TimePoint m_txBlockedSince{};
    TimePoint m_lastTxEnd{};
    std::deque<Pending> m_out;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace zm::sim
