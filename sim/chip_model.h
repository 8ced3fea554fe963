#pragma once
// The simulated chip without its line: it is fed the bytes the PC sends and hands out the bytes
// the chip sends back, each piece with the timing rule it goes out under. Not thread-safe;
// PtyChip serialises access and does the line timing.

#include "link/file_writer.h"
#include "sim/chip_config.h"
#include "sim/chip_features.h"
#include "sim/chip_memory.h"
#include "sim/fault_rules.h"
#include "sim/frame_buffers.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace zm::sim {

// A piece of output. It goes out after the piece before it, `gap` after that one's last byte,
// and not before the moment it was made plus `delay` (plus the line turnaround when `answer`).
struct Emission {
    QByteArray bytes;
    bool answer = false;
    std::chrono::milliseconds delay{0};
    std::chrono::microseconds gap{0};
    bool hangup = false; // close the line once everything before it is out
};

class ChipModel {
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;

    // How long a raw write phase waits for the next byte before it gives up (closing answer
    // with status 5), and how long a partly received command frame is kept.
    static constexpr std::chrono::milliseconds kRawTimeout{3000};
    static constexpr std::chrono::milliseconds kFrameTimeout{500};

    explicit ChipModel(const ChipConfig &config = {}, TimePoint now = Clock::now());
    ~ChipModel();
    ChipModel(const ChipModel &) = delete;
    ChipModel &operator=(const ChipModel &) = delete;

    // Bytes from the PC, in the order and at the time they arrived.
    void feed(const uint8_t *data, size_t size, TimePoint now);
    void feed(const QByteArray &bytes, TimePoint now);
    // Runs what is due by `now`: motion notifications, time-outs of raw phases and frames.
    void tick(TimePoint now);
    // When tick has something to do next; TimePoint::max() when nothing is pending.
    TimePoint nextDeadline() const;
    // The output made since the last call, in order.
    std::vector<Emission> takeOutput();

    // Every command frame received (header and data bytes; raw phase bytes are not frames).
    const QList<QByteArray> &frames() const { return m_frames; }
    void clearFrames() { m_frames.clear(); }
    // Appends each frame to `path` as a line of upper-case hex pairs; empty switches it off.
    bool setTraceFile(const QString &path);

    FaultRules &faults() { return m_faults; }
    ChipMemory &memory() { return m_memory; }
    FrameBuffers &frameBuffers() { return m_fbuf; }
    ChipFeatures &features() { return m_features; }

    uint8_t serialNumber() const { return m_serial; }
    void setSerialNumber(uint8_t serial) { m_serial = serial; }
    int pcUart() const { return m_pcUart; }
    void setPcUart(int uart) { m_pcUart = uart; }
    bool commMotionOpen() const { return m_commMotion; }
    void setCommMotionOpen(bool open, TimePoint now);
    int motionIntervalMs() const { return m_motionIntervalMs; }
    void setMotionInterval(int ms, TimePoint now);
    int notificationCount() const { return m_notifications; }
    // How long a flash erase holds back its answer.
    void setEraseTimes(int chipMs, int sectorMs);

private:
    struct Reply {
        static Reply withStatus(uint8_t status)
        {
            Reply r;
            r.status = status;
            return r;
        }

        uint8_t status = 0;
        QByteArray data;
        bool closing = false;             // a closing answer ends the exchange
        QByteArray stream;                // streamed to the PC before the closing answer
        std::chrono::microseconds gap{0}; // pause between the answer and the stream
        uint32_t receive = 0;             // bytes to take from the PC before the closing answer
        uint32_t receiveStart = 0;
        std::chrono::milliseconds delay{0}; // the chip is busy this long before it answers
    };
    struct RawReceive {
        bool active = false;
        uint8_t code = 0;
        uint32_t offset = 0;
        uint32_t remaining = 0;
        int64_t stallAfter = -1;
        int64_t taken = 0;
        bool decrypt = false;
        uint8_t previous = 0;
        bool stalled = false;
        TimePoint last{};
    };

    void takeByte(uint8_t byte, TimePoint now);
    void takeRawByte(uint8_t byte, TimePoint now);
    void handleFrame(TimePoint now);
    Reply execute(uint8_t code, const uint8_t *data, int length, bool flaky, TimePoint now);
    Reply readData(const uint8_t *data, int length);
    Reply writeData(const uint8_t *data, int length, bool flaky);
    Reply readFbuf(const uint8_t *data, int length);
    Reply writeFbuf(const uint8_t *data, int length);
    // The other commands, by group; each group's handler lives in its own file
    // (chip_<group>_commands.cpp) and answers only that group's codes.
    Reply featureCommand(uint8_t code, const uint8_t *data, int length, TimePoint now);
    Reply linkCommand(uint8_t code, const uint8_t *data, int length);
    Reply motionCommand(uint8_t code, const uint8_t *data, int length, TimePoint now);
    Reply osdCommand(uint8_t code, const uint8_t *data, int length);
    Reply cameraCommand(uint8_t code, const uint8_t *data, int length, TimePoint now);
    Reply flashCommand(uint8_t code, const uint8_t *data, int length);
    void systemReset();
    QByteArray answerFrame(uint8_t serial, uint8_t code, uint8_t status, const QByteArray &data,
                           const FaultEffects &effects = {}) const;
    void push(Emission emission) { m_output.push_back(std::move(emission)); }
    // The answer that ends a raw phase, as the closing fault rules leave it.
    void pushClosing(uint8_t code, bool answer);
    void sendNotification();
    bool encrypting() const;
    void record(const QByteArray &frame);

    ChipConfig m_config;
    ChipMemory m_memory;
    FrameBuffers m_fbuf;
    ChipFeatures m_features;
    FaultRules m_faults;
    uint8_t m_serial = 0;
    int m_pcUart = 1;
    bool m_commMotion = false;
    int m_motionIntervalMs = 1500;
    TimePoint m_nextNotification{};
    int m_notifications = 0;
    int m_flakyBit = 0;
    TimePoint m_start;
    QDateTime m_rtcBase;
    TimePoint m_rtcAt;
    QByteArray m_partial;
    TimePoint m_partialAt{};
    RawReceive m_raw;
    std::vector<Emission> m_output;
    QList<QByteArray> m_frames;
    std::unique_ptr<FileWriter> m_trace;
};

} // namespace zm::sim
