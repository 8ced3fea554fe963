#include "link/commands.h"

#include <algorithm>

namespace zm {

uint8_t Commands::fail(uint8_t result)
{
    m_session.setLastResult(result);
    return result;
}

uint8_t Commands::run(const Frame &frame, LinkSession::After after)
{
    if (!frame)
        return fail(rc::InvalidParameter);
    return m_session.request(*frame, m_stop, after, &m_answer);
}

uint8_t Commands::query(const Frame &frame, int need, const Decode &decode)
{
    const uint8_t r = run(frame);
    if (r != 0)
        return r;
    const AnswerRecord &a = m_answer;
    if (a.length < need)
        return fail(rc::InvalidReceivedData);
    decode(a.data.data());
    return 0;
}

uint8_t Commands::getVersion(QByteArray &text)
{
    // The chip sends 11 characters; a shorter answer shows what came.
    const uint8_t r = run(frames::make(sn(), cmd::GetVersion));
    if (r == 0) {
        const AnswerRecord &a = m_answer;
        text = QByteArray(reinterpret_cast<const char *>(a.data.data()), std::min<int>(a.length, 11));
    }
    return r;
}

uint8_t Commands::setSerialNumber(uint8_t value)
{
    const uint8_t r = run(frames::setSerialNumber(sn(), value));
    if (r == 0)
        m_session.updateSettings([value](LinkSettings &s) { s.serial = value; });
    return r;
}

uint8_t Commands::setBaudRateMcuUart(uint16_t value) { return run(frames::setBaudRateMcuUart(sn(), value)); }
uint8_t Commands::setBaudRateHuart(uint16_t f, uint16_t i) { return run(frames::setBaudRateHuart(sn(), f, i)); }
uint8_t Commands::setBaudRateSpi(uint16_t d, uint16_t ss) { return run(frames::setBaudRateSpi(sn(), d, ss)); }
uint8_t Commands::systemReset() { return run(frames::make(sn(), cmd::SystemReset)); }
uint8_t Commands::execCommFormula() { return run(frames::make(sn(), cmd::ExecCommFormula)); }

uint8_t Commands::readData(TransferRecord &t)
{
    // Exactly the bytes asked for: a longer answer is cut, a shorter one is no answer to this.
    const int need = t.bytes();
    return query(frames::readData(sn(), t), need, [&](const uint8_t *d) { std::copy(d, d + need, t.data.begin()); });
}

uint8_t Commands::writeData(const TransferRecord &t) { return run(frames::writeData(sn(), t)); }

uint8_t Commands::readFbufData(uint8_t frame, uint8_t mode, uint32_t start, uint32_t length, uint16_t delay,
                               bool rawOverThisLine)
{
    if (rawOverThisLine && !m_session.prepareRawReceive(length))
        return fail(rc::InvalidParameter);
    return run(frames::readFbufData(sn(), frame, mode, start, length, delay),
               rawOverThisLine ? LinkSession::After::RawReceive : LinkSession::After::Closing);
}

uint8_t Commands::writeFbufData(uint8_t mode, uint32_t start, uint32_t length, uint16_t delay, bool rawOverThisLine)
{
    return run(frames::writeFbufData(sn(), mode, start, length, delay),
               rawOverThisLine ? LinkSession::After::RawSend : LinkSession::After::Closing);
}

uint8_t Commands::getFbufLength(uint8_t frame, uint32_t &length)
{
    return query(frames::getFbufLength(sn(), frame), 4, [&](const uint8_t *d) { length = getBe32(d); });
}

uint8_t Commands::setFbufLength(uint32_t length) { return run(frames::setFbufLength(sn(), length)); }
uint8_t Commands::fbufControl(uint8_t operation) { return run(frames::fbufControl(sn(), operation)); }
uint8_t Commands::commMotionControl(bool open) { return run(frames::commMotionControl(sn(), open)); }

uint8_t Commands::getCommMotionStatus(uint8_t &status)
{
    return query(frames::make(sn(), cmd::GetCommMotionStatus), 1, [&](const uint8_t *d) { status = d[0]; });
}

uint8_t Commands::setMirror(uint8_t source, uint8_t mode) { return run(frames::setMirror(sn(), source, mode)); }

uint8_t Commands::getMirror(uint8_t &source, uint8_t &mode)
{
    return query(frames::make(sn(), cmd::GetMirror), 2, [&](const uint8_t *d) {
        source = d[0];
        mode = d[1];
    });
}

uint8_t Commands::setColor(uint8_t source, uint8_t mode) { return run(frames::setColor(sn(), source, mode)); }

uint8_t Commands::getColor(uint8_t &source, uint8_t &mode, uint8_t &extra)
{
    return query(frames::make(sn(), cmd::GetColor), 3, [&](const uint8_t *d) {
        source = d[0];
        mode = d[1];
        extra = d[2];
    });
}

uint8_t Commands::setPowerSave(uint8_t source, uint8_t state) { return run(frames::setPowerSave(sn(), source, state)); }
uint8_t Commands::setPowerSaveTimer(uint8_t flags, uint16_t time) { return run(frames::setPowerSaveTimer(sn(), flags, time)); }

uint8_t Commands::getPowerSave(uint8_t &source, uint8_t &state)
{
    return query(frames::getPowerSave(sn(), 0), 2, [&](const uint8_t *d) {
        source = d[0];
        state = d[1];
    });
}

uint8_t Commands::getPowerSaveTimer(uint8_t &flags, uint16_t &time)
{
    return query(frames::getPowerSave(sn(), 1), 3, [&](const uint8_t *d) {
        flags = d[0];
        time = getBe16(d + 1);
    });
}

uint8_t Commands::setAe(uint8_t group, uint8_t source, uint8_t mode) { return run(frames::setAe(sn(), group, source, mode)); }

uint8_t Commands::getAe(uint8_t group, uint8_t &source, uint8_t &mode)
{
    return query(frames::getAe(sn(), group), 3, [&](const uint8_t *d) {
        source = d[1];
        mode = d[2];
    });
}

uint8_t Commands::setMotionDetection(uint8_t source, uint8_t flags) { return run(frames::setMotionDetection(sn(), source, flags)); }
uint8_t Commands::setMotionAlarm(uint8_t flags, uint16_t time) { return run(frames::setMotionAlarm(sn(), flags, time)); }
uint8_t Commands::enableAlarmOutput(bool enable) { return run(frames::enableAlarmOutput(sn(), enable)); }
uint8_t Commands::openAlarmOutput(bool open) { return run(frames::openAlarmOutput(sn(), open)); }

uint8_t Commands::getMotionDetection(uint8_t &source, uint8_t &flags)
{
    return query(frames::getMotionControl(sn(), 0), 2, [&](const uint8_t *d) {
        source = d[0];
        flags = d[1];
    });
}

uint8_t Commands::getMotionAlarm(uint8_t &flags, uint16_t &time)
{
    return query(frames::getMotionControl(sn(), 1), 3, [&](const uint8_t *d) {
        flags = d[0];
        time = getBe16(d + 1);
    });
}

uint8_t Commands::getAlarmOutputEnabled(uint8_t &enabled)
{
    return query(frames::getMotionControl(sn(), 2), 1, [&](const uint8_t *d) { enabled = d[0]; });
}

uint8_t Commands::getAlarmOutputOpened(uint8_t &opened)
{
    return query(frames::getMotionControl(sn(), 3), 1, [&](const uint8_t *d) { opened = d[0]; });
}

uint8_t Commands::dacControl(bool open) { return run(frames::dacControl(sn(), open)); }

uint8_t Commands::writeOsdCharacters(uint8_t start, const uint8_t *chars, int n)
{
    return run(frames::writeOsdCharacters(sn(), start, chars, n));
}

uint8_t Commands::setTime(const RtcTime &t) { return run(frames::setTime(sn(), t)); }

uint8_t Commands::getTime(RtcTime &t)
{
    return query(frames::make(sn(), cmd::GetTime), 7,
                 [&](const uint8_t *d) { t = RtcTime{getBe16(d), d[2], d[3], d[4], d[5], d[6]}; });
}

uint8_t Commands::setZoom(const ZoomRect &z) { return run(frames::setZoom(sn(), z)); }

uint8_t Commands::getZoom(ZoomInfo &z)
{
    return query(frames::make(sn(), cmd::GetZoom), 12, [&](const uint8_t *d) {
        z.sourceWidth = getBe16(d);
        z.sourceHeight = getBe16(d + 2);
        z.zoom = ZoomRect{getBe16(d + 4), getBe16(d + 6), getBe16(d + 8), getBe16(d + 10)};
    });
}

uint8_t Commands::setDownSize(uint8_t value) { return run(frames::setDownSize(sn(), value)); }

uint8_t Commands::getDownSize(uint8_t &value)
{
    return query(frames::make(sn(), cmd::GetDownSize), 1, [&](const uint8_t *d) { value = d[0]; });
}

uint8_t Commands::getFlashSize(uint32_t &size)
{
    return query(frames::make(sn(), cmd::GetFlashSize), 4, [&](const uint8_t *d) { size = getBe32(d); });
}

uint8_t Commands::eraseFlashSector(uint32_t address) { return run(frames::eraseFlashSector(sn(), address)); }

// The whole chip takes longer than any other command; the link settings give its code the long
// time-out.
uint8_t Commands::flashChipErase() { return run(frames::make(sn(), cmd::FlashChipErase)); }

uint8_t Commands::logoControl(uint8_t sub, uint16_t value, uint32_t address)
{
    return run(frames::logoControl(sn(), sub, value, address));
}

uint8_t Commands::bitmapControl(uint8_t sub, uint16_t value, uint32_t address)
{
    return run(frames::bitmapControl(sn(), sub, value, address));
}

uint8_t Commands::readRegisters(uint16_t address, uint8_t *out, int n)
{
    if (n < 1 || n > kMaxData || !out)
        return fail(rc::InvalidParameter);
    TransferRecord t;
    t.type = uint8_t(MemoryType::Chip);
    t.count = uint8_t(n);
    t.address = address;
    const uint8_t r = readData(t);
    if (r == 0)
        std::copy(t.data.begin(), t.data.begin() + n, out);
    return r;
}

uint8_t Commands::writeRegisters(uint16_t address, const uint8_t *bytes, int n)
{
    if (n < 1 || n > kMaxData || !bytes)
        return fail(rc::InvalidParameter);
    TransferRecord t;
    t.type = uint8_t(MemoryType::Chip);
    t.count = uint8_t(n);
    t.address = address;
    std::copy(bytes, bytes + n, t.data.begin());
    return writeData(t);
}

uint8_t Commands::rawCommand(uint8_t code, const uint8_t *data, int n, AnswerRecord &answer)
{
    const uint8_t r = run(frames::make(sn(), code, data, n));
    // The answer of a failing command still carries what the chip said.
    if (r != rc::InvalidParameter && r != rc::SendFailed)
        answer = m_answer;
    return r;
}

uint8_t Commands::blockRead(BlockDescriptor *blocks, int count, const Report *report, uint32_t *stoppedAt)
{
    return blockRun(blocks, count, false, report, stoppedAt);
}

uint8_t Commands::blockWrite(const BlockDescriptor *blocks, int count, const Report *report, uint32_t *stoppedAt)
{
    return blockRun(blocks, count, true, report, stoppedAt);
}

uint8_t Commands::blockRun(const BlockDescriptor *blocks, int count, bool write, const Report *report,
                           uint32_t *stoppedAt)
{
    if (count <= 0)
        return 0;
    if (!blocks)
        return fail(rc::Unknown);
    qint64 total = 0;
    for (int b = 0; b < count; ++b) {
        const uint8_t type = blocks[b].type;
        if (type != 1 && type != 4 && type != 5 && type != 6)
            return fail(rc::Unknown);
        if (blocks[b].length > 0 && !blocks[b].data)
            return fail(rc::Unknown);
        total += blocks[b].length;
    }
    const int page = m_session.settings().pageSize;
    qint64 done = 0;
    for (int b = 0; b < count; ++b) {
        const BlockDescriptor &d = blocks[b];
        uint32_t offset = 0;
        while (offset < d.length) {
            const uint32_t address = d.address + offset;
            if (stoppedAt)
                *stoppedAt = address;
            if (stopRequested() || (report && report->stopRequested()))
                return fail(rc::Stopped);
            uint32_t piece = std::min<uint32_t>(kBlockPiece, d.length - offset);
            if (write && (d.type == 5 || d.type == 6) && page > 0) {
                const uint32_t inPage = address % uint32_t(page);
                piece = std::min<uint32_t>(piece, uint32_t(page) - inPage);
            }
            TransferRecord t;
            t.type = d.type;
            t.count = uint8_t(piece);
            t.address = address;
            uint8_t r;
            if (write) {
                std::copy(d.data + offset, d.data + offset + piece, t.data.begin());
                r = writeData(t);
            } else {
                r = readData(t);
                if (r == 0)
                    std::copy(t.data.begin(), t.data.begin() + piece, d.data + offset);
            }
            if (r != 0)
                return r;
            offset += piece;
            done += piece;
            if (report)
                report->setProgress(done, total);
        }
    }
    if (stoppedAt && count > 0)
        *stoppedAt = blocks[count - 1].address + blocks[count - 1].length;
    return 0;
}

} // namespace zm
