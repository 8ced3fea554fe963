#pragma once
// Every command of the chip as an operation named after it. Each builds its frame, sends it and
// waits for the answer through the link session, checks that the answer carries the data it
// needs (243 when it is short), records the result as the last result and returns it (0 is
// success); out-parameters are written only on success. Every wait ends at the stop request the
// commands were made with (result 252), whenever it comes.
// The caller holds the session's turn.

#include "link/link_session.h"
#include "protocol/frame_builders.h"
#include "link/report.h"

#include <QByteArray>

#include <functional>
#include <stop_token>

namespace zm {

// One run of bytes for block read and block write.
struct BlockDescriptor {
    uint8_t type = 1;
    uint32_t address = 0;
    uint16_t length = 0;
    uint8_t *data = nullptr;
};

class Commands
{
public:
    static constexpr int kBlockPiece = 8;

    explicit Commands(LinkSession &session, std::stop_token stop = {})
        : m_session(session)
        , m_stop(std::move(stop))
    {
    }

    LinkSession &session() { return m_session; }
    const std::stop_token &stopToken() const { return m_stop; }
    bool stopRequested() const { return m_stop.stop_requested(); }
    // The answer to the last command sent through these commands, also that of a failing status.
    const AnswerRecord &answer() const { return m_answer; }

    uint8_t getVersion(QByteArray &text);
    uint8_t setSerialNumber(uint8_t value);
    uint8_t setBaudRateMcuUart(uint16_t value);
    uint8_t setBaudRateHuart(uint16_t fraction, uint16_t integer);
    uint8_t setBaudRateSpi(uint16_t divider, uint16_t ss);
    uint8_t systemReset();
    uint8_t execCommFormula();
    uint8_t readData(TransferRecord &t);
    uint8_t writeData(const TransferRecord &t);
    // With `rawOverThisLine` the picture comes back over this line: the raw length is set up
    // first and the receive state moves to raw receiving with the answer.
    uint8_t readFbufData(uint8_t frame, uint8_t mode, uint32_t start, uint32_t length, uint16_t delay,
                         bool rawOverThisLine);
    uint8_t writeFbufData(uint8_t mode, uint32_t start, uint32_t length, uint16_t delay, bool rawOverThisLine);
    uint8_t getFbufLength(uint8_t frame, uint32_t &length);
    uint8_t setFbufLength(uint32_t length);
    uint8_t fbufControl(uint8_t operation);
    uint8_t commMotionControl(bool open);
    uint8_t getCommMotionStatus(uint8_t &status);
    uint8_t setMirror(uint8_t source, uint8_t mode);
    uint8_t getMirror(uint8_t &source, uint8_t &mode);
    uint8_t setColor(uint8_t source, uint8_t mode);
    uint8_t getColor(uint8_t &source, uint8_t &mode, uint8_t &extra);
    uint8_t setPowerSave(uint8_t source, uint8_t state);
    uint8_t setPowerSaveTimer(uint8_t flags, uint16_t time);
    uint8_t getPowerSave(uint8_t &source, uint8_t &state);
    uint8_t getPowerSaveTimer(uint8_t &flags, uint16_t &time);
    uint8_t setAe(uint8_t group, uint8_t source, uint8_t mode);
    uint8_t getAe(uint8_t group, uint8_t &source, uint8_t &mode);
    uint8_t setMotionDetection(uint8_t source, uint8_t flags);
    uint8_t setMotionAlarm(uint8_t flags, uint16_t time);
    uint8_t enableAlarmOutput(bool enable);
    uint8_t openAlarmOutput(bool open);
    uint8_t getMotionDetection(uint8_t &source, uint8_t &flags);
    uint8_t getMotionAlarm(uint8_t &flags, uint16_t &time);
    uint8_t getAlarmOutputEnabled(uint8_t &enabled);
    uint8_t getAlarmOutputOpened(uint8_t &opened);
    uint8_t dacControl(bool open);
    uint8_t writeOsdCharacters(uint8_t start, const uint8_t *chars, int n);
    uint8_t setTime(const RtcTime &t);
    uint8_t getTime(RtcTime &t);
    uint8_t setZoom(const ZoomRect &z);
    uint8_t getZoom(ZoomInfo &z);
    uint8_t setDownSize(uint8_t value);
    uint8_t getDownSize(uint8_t &value);
    uint8_t getFlashSize(uint32_t &size);
    uint8_t eraseFlashSector(uint32_t address);
    uint8_t flashChipErase();
    uint8_t logoControl(uint8_t sub, uint16_t value, uint32_t address);
    uint8_t bitmapControl(uint8_t sub, uint16_t value, uint32_t address);

    // Chip registers from `address` on: read-data or write-data of memory type 1, `n` bytes (at
    // most 16 read, 12 written, in one command); `out` is written only on success.
    uint8_t readRegisters(uint16_t address, uint8_t *out, int n);
    uint8_t writeRegisters(uint16_t address, const uint8_t *bytes, int n);
    uint8_t readRegister(uint16_t address, uint8_t &value) { return readRegisters(address, &value, 1); }
    uint8_t writeRegister(uint16_t address, uint8_t value) { return writeRegisters(address, &value, 1); }

    // Any command code with raw data bytes; the answer (also of a failing command) is left in
    // `answer`.
    uint8_t rawCommand(uint8_t code, const uint8_t *data, int n, AnswerRecord &answer);

    // Runs of bytes moved in pieces of at most 8 bytes. Only memory types 1, 4, 5 and 6; for 5
    // and 6 a written piece never crosses a page of the configured page size. They stop at the
    // first failing command, or with 252 when the report's stop was requested between pieces;
    // `stoppedAt` then holds the address of the piece that was not done. The report (optional)
    // is told the bytes done so far.
    uint8_t blockRead(BlockDescriptor *blocks, int count, const Report *report = nullptr, uint32_t *stoppedAt = nullptr);
    uint8_t blockWrite(const BlockDescriptor *blocks, int count, const Report *report = nullptr,
                       uint32_t *stoppedAt = nullptr);

private:
    using Decode = std::function<void(const uint8_t *data)>;

    uint8_t sn() const { return m_session.settings().serial; }
    uint8_t fail(uint8_t result);
    uint8_t run(const Frame &frame, LinkSession::After after = LinkSession::After::Idle);
    // The query pattern: send, check the answer carries `need` data bytes, decode them.
    uint8_t query(const Frame &frame, int need, const Decode &decode);
    uint8_t blockRun(const BlockDescriptor *blocks, int count, bool write, const Report *report, uint32_t *stoppedAt);

    LinkSession &m_session;
    std::stop_token m_stop;
    AnswerRecord m_answer;
};

} // namespace zm
