#include "motion/motion_settings.h"

#include "link/failure_text.h"
#include "protocol/hex_text.h"
#include "link/messages.h"

namespace zm {

const std::array<ThresholdField, kThresholdFieldCount> &thresholdFields()
{
    static const std::array<ThresholdField, kThresholdFieldCount> fields{{
        {"In_col_ThdSum:", 4, "0040", 0x1A1D},
        {"In_col_ThdLines:", 2, "03", 0x1A1F},
        {"In_row_ThdSum:", 4, "0030", 0x1A50},
        {"In_row_ThdLines:", 2, "03", 0x1A52},
        {"sample_rate:", 2, "24", 0x1A53},
        {"Win_rightshift_bit:", 8, "FFFFFFFF", 0x1A54},
        {"Row Duration:", 2, "02", 0x1A58},
        {"Col Duration:", 2, "02", 0x1A59},
        {"Motion Frame Threshold:", 2, "01", 0x1A6E},
        {"Static Frame Threshold:", 2, "00", 0x1A6F},
    }};
    return fields;
}

const std::array<uint16_t, kThresholdRegisterCount> &thresholdRegisters()
{
    static const std::array<uint16_t, kThresholdRegisterCount> registers = [] {
        std::array<uint16_t, kThresholdRegisterCount> r{};
        int i = 0;
        for (const ThresholdField &f : thresholdFields())
            for (int b = 0; b < f.digits / 2; ++b)
                r[i++] = uint16_t(f.firstRegister + b);
        return r;
    }();
    return registers;
}

uint32_t hexFieldValue(const QString &text, int digits)
{
    return hexFieldNumber(padHexLeft(text, digits).left(digits));
}

ThresholdBytes thresholdBytes(const QStringList &texts)
{
    ThresholdBytes bytes{};
    int i = 0;
    int field = 0;
    for (const ThresholdField &f : thresholdFields()) {
        const uint32_t value = hexFieldValue(texts.value(field++), f.digits);
        for (int b = 0; b < f.digits / 2; ++b)
            bytes[i++] = uint8_t(value >> (8 * b));
    }
    return bytes;
}

QStringList thresholdTexts(const ThresholdBytes &bytes)
{
    QStringList texts;
    int i = 0;
    for (const ThresholdField &f : thresholdFields()) {
        uint32_t value = 0;
        for (int b = 0; b < f.digits / 2; ++b)
            value |= uint32_t(bytes[i++]) << (8 * b);
        texts << formatHex(value, f.digits);
    }
    return texts;
}

const std::array<ImageType, kImageTypeCount> &imageTypes()
{
    // The tab in "CIFN" is part of the list's text as the chip's engineers know it.
    static const std::array<ImageType, kImageTypeCount> types{{
        {"User Define", 640, 480},
        {"VGA(640x480)", 640, 480},
        {"QVGA(320x240)", 320, 240},
        {"QQVGA(160x120)", 160, 120},
        {"CIF(352x288)", 352, 288},
        {"CIFN(352x240)\t", 352, 240},
        {"QCIF(176x144)", 176, 144},
        {"QCIFN(176x120)", 176, 120},
        {"QQCIF(88x72)", 88, 72},
        {"QQCIFN(88x60)", 88, 60},
    }};
    return types;
}

QStringList boundaryEntries(int size)
{
    QStringList entries;
    entries.reserve(size);
    for (int i = 0; i < size; ++i)
        entries << QString::asprintf("0x%03X(%03d)", i, i);
    return entries;
}

std::array<int, 5> evenBoundaries(int size)
{
    return {0, size / 4, size / 2, 3 * size / 4, size - 1};
}

MotionSettingAccess::MotionSettingAccess(Commands &commands, const Report &report)
    : m_c(commands)
    , m_report(report)
{
}

uint8_t MotionSettingAccess::read(uint16_t address, uint8_t *bytes, int n)
{
    return m_c.readRegisters(address, bytes, n);
}

uint8_t MotionSettingAccess::write(uint16_t address, const uint8_t *bytes, int n)
{
    return m_c.writeRegisters(address, bytes, n);
}

Outcome MotionSettingAccess::failed(uint8_t result, bool writing)
{
    if (result == rc::Stopped)
        return Outcome::stopped();
    const char *prefix = writing ? msg::kWriteRegisterFailed : msg::kReadRegisterFailed;
    const QString text = QString::fromLatin1(prefix)
        + (m_portBusy ? QString::fromLatin1(msg::kMotionPortBusy) : failureText(m_c.session(), result));
    m_report.fail(text);
    return Outcome::failed(result, text);
}

// Runs `n` steps in order: a stop request ends them quietly, the first failure with its
// message; each step done is reported.
Outcome MotionSettingAccess::steps(int n, bool writing, const std::function<uint8_t(int)> &step)
{
    for (int i = 0; i < n; ++i) {
        if (stopped())
            return Outcome::stopped();
        if (const uint8_t r = step(i))
            return failed(r, writing);
        m_report.setProgress(i + 1, n);
    }
    return Outcome::done();
}

Outcome MotionSettingAccess::writeThresholds(const ThresholdBytes &bytes)
{
    const auto &registers = thresholdRegisters();
    return steps(kThresholdRegisterCount, true, [&](int i) { return write(registers[i], &bytes[i], 1); });
}

Outcome MotionSettingAccess::readThresholds(ThresholdBytes &bytes)
{
    ThresholdBytes got{};
    const auto &registers = thresholdRegisters();
    const Outcome outcome = steps(kThresholdRegisterCount, false, [&](int i) { return read(registers[i], &got[i], 1); });
    if (outcome)
        bytes = got;
    return outcome;
}

// Five commands of four bytes: two boundaries each, low byte first.
Outcome MotionSettingAccess::writeBoundaries(const Boundaries &b)
{
    return steps(5, true, [&](int i) {
        const uint8_t bytes[4] = {uint8_t(b[2 * i]), uint8_t(b[2 * i] >> 8), uint8_t(b[2 * i + 1]),
                                  uint8_t(b[2 * i + 1] >> 8)};
        return write(uint16_t(kBoundaryRegister + 4 * i), bytes, 4);
    });
}

Outcome MotionSettingAccess::readBoundaries(Boundaries &b)
{
    Boundaries got{};
    const Outcome ok = steps(5, false, [&](int i) {
        uint8_t bytes[4] = {};
        const uint8_t r = read(uint16_t(kBoundaryRegister + 4 * i), bytes, 4);
        got[2 * i] = uint16_t(bytes[0] | bytes[1] << 8);
        got[2 * i + 1] = uint16_t(bytes[2] | bytes[3] << 8);
        return r;
    });
    if (ok)
        b = got;
    return ok;
}

// Polls the port's status until `busyBit` is clear. A port that never comes free has not moved
// the value; that is a failure, not a finished access.
uint8_t MotionSettingAccess::waitPort(uint8_t busyBit)
{
    for (int poll = 0; poll < kPortPolls; ++poll) {
        if (stopped())
            return rc::Stopped;
        uint8_t status = 0;
        if (const uint8_t r = read(kPortStatus, &status, 1))
            return r;
        if (!(status & busyBit))
            return 0;
    }
    m_portBusy = true;
    return rc::TimeOut;
}

uint8_t MotionSettingAccess::portWrite(uint8_t selector, uint16_t value)
{
    m_portBusy = false;
    const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), selector, 1};
    if (const uint8_t r = write(kPortValue, bytes, 4))
        return r;
    return waitPort(0x01);
}

uint8_t MotionSettingAccess::portRead(uint8_t selector, uint16_t &value)
{
    m_portBusy = false;
    const uint8_t start[2] = {selector, 2};
    if (const uint8_t r = write(kPortSelector, start, 2))
        return r;
    if (const uint8_t r = waitPort(0x02))
        return r;
    uint8_t bytes[2] = {};
    if (const uint8_t r = read(kPortResult, bytes, 2))
        return r;
    value = uint16_t(bytes[0] | bytes[1] << 8);
    return 0;
}

namespace {

// The port's order: all "Row Sum", all "Row Line", all "Col Sum", all "Col Line".
uint8_t selectorOfStep(int step)
{
    return windowSelector(step % kWindowCount, WindowValue(step / kWindowCount));
}

} // namespace

Outcome MotionSettingAccess::writeWindowThresholds(const WindowThresholds &t)
{
    return steps(int(t.size()), true, [&](int i) { return portWrite(selectorOfStep(i), t[selectorOfStep(i)]); });
}

Outcome MotionSettingAccess::readWindowThresholds(WindowThresholds &t)
{
    WindowThresholds got{};
    const Outcome ok = steps(int(got.size()), false, [&](int i) { return portRead(selectorOfStep(i), got[selectorOfStep(i)]); });
    if (ok)
        t = got;
    return ok;
}

} // namespace zm
