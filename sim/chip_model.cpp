#include "sim/chip_model.h"

#include "protocol/protocol.h"
#include "protocol/traffic_decode.h"
#include "sim/test_picture.h"

#include <QFile>

#include <algorithm>

namespace zm::sim {

namespace {

using std::chrono::milliseconds;

bool knownCommand(uint8_t code)
{
    switch (code) {
    case cmd::GetVersion: case cmd::SetSerialNumber: case cmd::SetBaudRate:
    case cmd::SystemReset: case cmd::ExecCommFormula: case cmd::ReadData: case cmd::WriteData:
    case cmd::ReadFbufData: case cmd::WriteFbufData: case cmd::GetFbufLength:
    case cmd::SetFbufLength: case cmd::FbufControl: case cmd::CommMotionControl:
    case cmd::GetCommMotionStatus: case cmd::SetMirror: case cmd::GetMirror: case cmd::SetColor:
    case cmd::GetColor: case cmd::SetPowerSave: case cmd::GetPowerSave: case cmd::SetAe:
    case cmd::GetAe: case cmd::SetMotionControl: case cmd::GetMotionControl:
    case cmd::DacControl: case cmd::WriteOsdCharacters: case cmd::SetTime: case cmd::GetTime:
    case cmd::SetZoom: case cmd::GetZoom: case cmd::SetDownSize: case cmd::GetDownSize:
    case cmd::GetFlashSize: case cmd::EraseFlashSector: case cmd::FlashChipErase:
    case cmd::LogoControl: case cmd::BitmapControl:
        return true;
    default:
        return false;
    }
}

// In power save the image pipeline is off: what needs it is refused, the link, the memories,
// the clock, the queries and power save itself still work.
bool refusedInPowerSave(uint8_t code)
{
    switch (code) {
    case cmd::ExecCommFormula: case cmd::ReadFbufData: case cmd::WriteFbufData:
    case cmd::GetFbufLength: case cmd::SetFbufLength: case cmd::FbufControl:
    case cmd::CommMotionControl: case cmd::SetMirror: case cmd::SetColor: case cmd::SetAe:
    case cmd::SetMotionControl: case cmd::DacControl: case cmd::WriteOsdCharacters:
    case cmd::SetZoom: case cmd::SetDownSize: case cmd::LogoControl: case cmd::BitmapControl:
        return true;
    default:
        return false;
    }
}

} // namespace

ChipModel::ChipModel(const ChipConfig &config, TimePoint now)
    : m_config(config)
    , m_memory(config)
    , m_fbuf(config.fbufCapacity,
             config.currentPicture.isEmpty() ? testPicture(0) : config.currentPicture,
             !config.nextPicture.isEmpty()        ? config.nextPicture
                 : config.currentPicture.isEmpty() ? testPicture(1)
                                                   : config.currentPicture)
    , m_pcUart(config.pcUart)
    , m_motionIntervalMs(std::max(1, config.motionIntervalMs))
    , m_start(now)
    , m_rtcBase(QDateTime::currentDateTime())
    , m_rtcAt(now)
{
    if (!config.traceFile.isEmpty())
        setTraceFile(config.traceFile);
}

ChipModel::~ChipModel() = default;

bool ChipModel::setTraceFile(const QString &path)
{
    m_trace.reset();
    if (path.isEmpty())
        return true;
    m_trace = std::make_unique<FileWriter>();
    if (m_trace->open(path, FileWriter::Mode::Append))
        return true;
    m_trace.reset();
    return false;
}

void ChipModel::record(const QByteArray &frame)
{
    m_frames.append(frame);
    if (m_trace) {
        // The bytes as they came, then what they say.
        const auto *d = reinterpret_cast<const uint8_t *>(frame.constData());
        QString words = frame.size() >= kCommandHeader ? traffic::commandName(d[2]) : QStringLiteral("short frame");
        if (frame.size() > kCommandHeader) {
            const QString fields = traffic::describeCommand(d[2], d + kCommandHeader, int(frame.size()) - kCommandHeader);
            if (!fields.isEmpty())
                words += QStringLiteral(": ") + fields;
        }
        // A trace that stops taking lines (a full disk) is given up; the chip goes on.
        if (!m_trace->write(frame.toHex(' ').toUpper() + "  " + words.toUtf8() + '\n'))
            m_trace.reset();
    }
}

void ChipModel::feed(const QByteArray &data, TimePoint now)
{
    feed(reinterpret_cast<const uint8_t *>(data.constData()), size_t(data.size()), now);
}

void ChipModel::feed(const uint8_t *data, size_t size, TimePoint now)
{
    for (size_t i = 0; i < size; ++i) {
        if (m_raw.active)
            takeRawByte(data[i], now);
        else
            takeByte(data[i], now);
    }
}

void ChipModel::takeByte(uint8_t byte, TimePoint now)
{
    // Between frames only a command sign starts one; anything else is line noise.
    if (m_partial.isEmpty() && byte != kCommandSign)
        return;
    m_partial.append(char(byte));
    m_partialAt = now;
    if (m_partial.size() < kCommandHeader)
        return;
    const int length = uint8_t(m_partial[3]);
    if (length > kMaxData) {
        // The chip cannot know where such a frame ends: it refuses the header and hunts for
        // the next sign.
        const QByteArray header = m_partial;
        m_partial.clear();
        record(header);
        const uint8_t code = uint8_t(header[2]);
        const FaultEffects effects = m_faults.forCommand(code, false, false);
        if (effects.hangup)
            push({.bytes = {}, .hangup = true});
        else if (!effects.noAnswer)
            push({.bytes = answerFrame(m_serial, code, effects.status.value_or(rc::InvalidDataLength),
                                       {}, effects),
                  .answer = true,
                  .delay = milliseconds(effects.delayMs)});
        return;
    }
    if (m_partial.size() == kCommandHeader + length)
        handleFrame(now);
}

void ChipModel::handleFrame(TimePoint now)
{
    const QByteArray frame = m_partial;
    m_partial.clear();
    record(frame);
    const auto *d = reinterpret_cast<const uint8_t *>(frame.constData());
    const uint8_t code = d[2];
    const int length = d[3];
    const uint8_t *data = d + kCommandHeader;

    const bool rawPhase = code == cmd::ReadFbufData || code == cmd::WriteFbufData;
    const bool memoryWrite = code == cmd::WriteData && length >= 1 && data[0] >= 4 && data[0] <= 6;
    const FaultEffects effects = m_faults.forCommand(code, rawPhase, memoryWrite);
    if (effects.hangup) {
        push({.bytes = {}, .hangup = true});
        return;
    }
    if (effects.noAnswer)
        return;

    const uint8_t serial = m_serial; // the answer goes out under the number the command came with
    Reply reply;
    if (effects.status)
        reply.status = *effects.status;
    else
        reply = execute(code, data, length, effects.flaky, now);

    push({.bytes = answerFrame(serial, code, reply.status, reply.data, effects),
          .answer = true,
          .delay = milliseconds(effects.delayMs) + reply.delay});
    if (reply.status != rc::Ok || !reply.closing)
        return;

    if (!reply.stream.isEmpty()) {
        QByteArray stream = reply.stream;
        const bool stalled = effects.stall && *effects.stall < stream.size();
        if (stalled)
            stream.truncate(*effects.stall);
        if (!stream.isEmpty())
            push({.bytes = stream, .gap = reply.gap});
        if (!stalled)
            pushClosing(code, false);
    } else if (reply.receive > 0) {
        m_raw = RawReceive{};
        m_raw.active = true;
        m_raw.code = code;
        m_raw.offset = reply.receiveStart;
        m_raw.remaining = reply.receive;
        m_raw.stallAfter = effects.stall ? *effects.stall : -1;
        m_raw.decrypt = encrypting();
        m_raw.previous = m_memory.reg(0x131D);
        m_raw.last = now;
    } else {
        pushClosing(code, false);
    }
}

void ChipModel::pushClosing(uint8_t code, bool answer)
{
    const FaultEffects effects = m_faults.forClosing(code);
    if (effects.noAnswer)
        return;
    push({.bytes = answerFrame(m_serial, code, effects.status.value_or(rc::Ok), {}, effects),
          .answer = answer,
          .delay = milliseconds(effects.delayMs)});
}

void ChipModel::takeRawByte(uint8_t byte, TimePoint now)
{
    m_raw.last = now;
    // A stalled chip still counts the bytes of the phase so that it finds the next frame.
    if (m_raw.stallAfter >= 0 && m_raw.taken >= m_raw.stallAfter)
        m_raw.stalled = true;
    if (!m_raw.stalled) {
        // Undo the chained XOR: each plain byte is the cipher byte XOR the cipher byte before.
        const uint8_t value = m_raw.decrypt ? uint8_t(byte ^ m_raw.previous) : byte;
        m_raw.previous = byte;
        m_fbuf.writeByte(FrameBuffers::kCurrent, m_raw.offset++, value);
        ++m_raw.taken;
    }
    if (--m_raw.remaining > 0)
        return;
    m_raw.active = false;
    if (!m_raw.stalled)
        pushClosing(m_raw.code, true);
}

void ChipModel::tick(TimePoint now)
{
    if (!m_partial.isEmpty() && now - m_partialAt >= kFrameTimeout)
        m_partial.clear();
    if (m_raw.active && now - m_raw.last >= kRawTimeout) {
        m_raw.active = false;
        push({.bytes = answerFrame(m_serial, m_raw.code, rc::ExecuteFailed, {}), .answer = true});
    }
    if (m_commMotion && now >= m_nextNotification) {
        sendNotification();
        m_nextNotification += milliseconds(m_motionIntervalMs);
        if (m_nextNotification <= now) // far behind: do not send a burst to catch up
            m_nextNotification = now + milliseconds(m_motionIntervalMs);
    }
}

ChipModel::TimePoint ChipModel::nextDeadline() const
{
    TimePoint next = TimePoint::max();
    if (!m_partial.isEmpty())
        next = std::min(next, m_partialAt + kFrameTimeout);
    if (m_raw.active)
        next = std::min(next, m_raw.last + kRawTimeout);
    if (m_commMotion)
        next = std::min(next, m_nextNotification);
    return next;
}

std::vector<Emission> ChipModel::takeOutput()
{
    std::vector<Emission> out;
    out.swap(m_output);
    return out;
}

void ChipModel::setCommMotionOpen(bool open, TimePoint now)
{
    if (open && !m_commMotion)
        m_nextNotification = now + milliseconds(m_motionIntervalMs);
    m_commMotion = open;
}

void ChipModel::setMotionInterval(int ms, TimePoint now)
{
    m_motionIntervalMs = std::max(1, ms);
    if (m_commMotion)
        m_nextNotification = now + milliseconds(m_motionIntervalMs);
}

void ChipModel::sendNotification()
{
    // Motion is not reported into a raw write phase: the chip is busy taking picture bytes.
    if (m_raw.active)
        return;
    const FaultEffects effects = m_faults.forNotification();
    if (effects.hangup) {
        push({.bytes = {}, .hangup = true});
        return;
    }
    if (effects.noAnswer)
        return;
    ++m_notifications;
    push({.bytes = answerFrame(m_serial, cmd::MotionNotification, effects.status.value_or(rc::Ok), {},
                               effects),
          .delay = milliseconds(effects.delayMs)});
}

bool ChipModel::encrypting() const
{
    return m_memory.reg(0x1318) & 0x80;
}

QByteArray ChipModel::answerFrame(uint8_t serial, uint8_t code, uint8_t status, const QByteArray &data,
                                  const FaultEffects &effects) const
{
    QByteArray payload = data.left(kMaxData);
    if (effects.longAnswer)
        payload = data.leftJustified(kMaxData + 1, '\0', true);
    QByteArray frame;
    frame.append(char(effects.wrongSign ? kCommandSign : kAnswerSign));
    frame.append(char(effects.wrongSerial ? uint8_t(serial + 1) : serial));
    frame.append(char(code));
    frame.append(char(status));
    frame.append(char(payload.size()));
    frame.append(payload);
    return frame;
}

ChipModel::Reply ChipModel::execute(uint8_t code, const uint8_t *d, int n, bool flaky, TimePoint now)
{
    auto refuse = [](uint8_t status) {
        Reply r;
        r.status = status;
        return r;
    };
    if (!knownCommand(code))
        return refuse(rc::InvalidCmd);
    if (m_features.powerSaveState == 1 && refusedInPowerSave(code))
        return refuse(rc::PowerSave);

    switch (code) {
    case cmd::ReadData: return readData(d, n);
    case cmd::WriteData: return writeData(d, n, flaky);
    case cmd::ReadFbufData: return readFbuf(d, n);
    case cmd::WriteFbufData: return writeFbuf(d, n);
    default: return featureCommand(code, d, n, now);
    }
}

namespace {

// The head of a read-data or write-data payload.
struct TransferHead {
    MemoryType type = MemoryType::Chip;
    int size = 0;    // bytes of the head: type, count, (width,) address
    int count = 0;
    int width = 1;   // only sensor and CCIR656 frames carry it
    uint32_t address = 0;
};

// The head of a read-data or write-data frame, with the checks both share.
uint8_t parseTransferHead(const uint8_t *d, int n, TransferHead &h)
{
    if (n < 1)
        return rc::InvalidDataLength;
    if (d[0] < 1 || d[0] > 6)
        return rc::InvalidDataFormat;
    h.type = MemoryType(d[0]);
    const bool items = d[0] == 2 || d[0] == 3;
    h.size = d[0] == 6 ? 6 : items ? 5 : 4;
    if (n < h.size)
        return rc::InvalidDataLength;
    h.count = d[1];
    h.width = items ? d[2] : 1;
    h.address = d[0] == 6 ? getBe32(d + 2) : getBe16(d + h.size - 2);
    return rc::Ok;
}

} // namespace

ChipModel::Reply ChipModel::readData(const uint8_t *d, int n)
{
    Reply r;
    TransferHead h;
    if ((r.status = parseTransferHead(d, n, h)) != rc::Ok)
        return r;
    if (n != h.size)
        return r.status = rc::InvalidDataLength, r;
    r.status = m_memory.read(h.type, h.address, h.width, h.count, r.data);
    return r;
}

ChipModel::Reply ChipModel::writeData(const uint8_t *d, int n, bool flaky)
{
    Reply r;
    TransferHead h;
    if ((r.status = parseTransferHead(d, n, h)) != rc::Ok)
        return r;
    if (h.count < 1 || h.width < 1 || h.width > 3)
        return r.status = rc::InvalidDataFormat, r;
    if (n != h.size + h.width * h.count)
        return r.status = rc::InvalidDataLength, r;
    uint8_t data[kMaxData];
    std::copy(d + h.size, d + n, data);
    if (flaky) {
        // A weak cell: one bit of the first byte comes out wrong, a different bit each time.
        data[0] ^= uint8_t(1 << (m_flakyBit++ % 8));
    }
    r.status = m_memory.write(h.type, h.address, h.width, h.count, data);
    return r;
}

ChipModel::Reply ChipModel::readFbuf(const uint8_t *d, int n)
{
    Reply r;
    if (n != 12)
        return r.status = rc::InvalidDataLength, r;
    const int which = d[0];
    const int device = (d[1] >> 1) & 3;
    const uint32_t start = getBe32(d + 2);
    const uint32_t length = getBe32(d + 6);
    if (which > 1 || device == 0 || uint64_t(start) + length > m_fbuf.capacity())
        return r.status = rc::InvalidDataFormat, r;
    r.closing = true;
    if (device != m_pcUart || length == 0)
        return r; // the data goes to another device: only the closing answer comes back
    r.stream = m_fbuf.read(which, start, length);
    if (encrypting()) {
        uint8_t previous = m_memory.reg(0x131D);
        for (char &c : r.stream) {
            previous = uint8_t(c) ^ previous;
            c = char(previous);
        }
    }
    // The delay field is the pause before the stream, in microseconds: it gives the PC time to
    // switch its receive path from the answer to the raw bytes.
    r.gap = std::chrono::microseconds(getBe16(d + 10));
    return r;
}

ChipModel::Reply ChipModel::writeFbuf(const uint8_t *d, int n)
{
    Reply r;
    if (n != 11)
        return r.status = rc::InvalidDataLength, r;
    const int device = (d[0] >> 1) & 3;
    const uint32_t start = getBe32(d + 1);
    const uint32_t length = getBe32(d + 5);
    if (device == 0 || uint64_t(start) + length > m_fbuf.capacity())
        return r.status = rc::InvalidDataFormat, r;
    r.closing = true;
    if (device == m_pcUart) {
        r.receive = length;
        r.receiveStart = start;
    }
    return r;
}

ChipModel::Reply ChipModel::featureCommand(uint8_t code, const uint8_t *d, int n, TimePoint now)
{
    switch (code) {
    case cmd::GetVersion: case cmd::SetSerialNumber: case cmd::SetBaudRate: case cmd::SystemReset:
    case cmd::ExecCommFormula: case cmd::GetFbufLength: case cmd::SetFbufLength: case cmd::FbufControl:
        return linkCommand(code, d, n);
    case cmd::CommMotionControl: case cmd::GetCommMotionStatus: case cmd::SetMotionControl:
    case cmd::GetMotionControl:
        return motionCommand(code, d, n, now);
    case cmd::WriteOsdCharacters: case cmd::LogoControl: case cmd::BitmapControl:
        return osdCommand(code, d, n);
    case cmd::SetMirror: case cmd::GetMirror: case cmd::SetColor: case cmd::GetColor:
    case cmd::SetPowerSave: case cmd::GetPowerSave: case cmd::SetAe: case cmd::GetAe:
    case cmd::DacControl: case cmd::SetTime: case cmd::GetTime: case cmd::SetZoom: case cmd::GetZoom:
    case cmd::SetDownSize: case cmd::GetDownSize:
        return cameraCommand(code, d, n, now);
    case cmd::GetFlashSize: case cmd::EraseFlashSector: case cmd::FlashChipErase:
        return flashCommand(code, d, n);
    default:
        return Reply::withStatus(rc::InvalidCmd);
    }
}

void ChipModel::systemReset()
{
    // Volatile state starts over; the serial memories, the frame-buffer memory, the clock and
    // the link's serial number survive.
    m_memory.resetRegisters();
    m_features = ChipFeatures{};
    m_commMotion = false;
    m_fbuf.control(3);
    m_partial.clear();
}

} // namespace zm::sim
