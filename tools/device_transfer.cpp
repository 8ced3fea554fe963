#include "tools/device_transfer.h"

#include "ctrlinfo/config_settings.h"
#include "link/failure_text.h"
#include "link/file_writer.h"
#include "link/input_file.h"
#include "link/messages.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace zm {

namespace {

// The read-data and write-data frames of the EEPROMs carry 16-bit addresses.
constexpr uint32_t kEepromAddressEnd = 0x10000;

QString text(const char *fixed)
{
    return QString::fromLatin1(fixed);
}

QString hexAddress(uint32_t address)
{
    return QStringLiteral("0x") + QString::number(address, 16).toUpper().rightJustified(4, QChar('0'));
}

QString bytes(qint64 n)
{
    return n == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(n);
}

// A range the frames cannot address, refused before anything is sent.
QString addressLimit(const DeviceSetup &s, qint64 amount)
{
    if (s.device == CtrlInfoDevice::SpiFlash || amount <= qint64(kEepromAddressEnd))
        return {};
    return QStringLiteral("An EEPROM is addressed with 16 bits: at most %1 of it can be reached, not %2.")
        .arg(bytes(kEepromAddressEnd), bytes(amount));
}

TransferRecord deviceRecord(const DeviceSetup &s, uint32_t address, int n)
{
    TransferRecord t;
    t.type = ctrlInfoMemoryType(s.device);
    t.address = address;
    t.count = uint8_t(n);
    return t;
}

} // namespace

DeviceSetup DeviceSetup::from(const ConfigSettings &settings)
{
    return {settings.ctrlInfoDevice(), settings.deviceSize(), settings.pageSize()};
}

DeviceTransfer::DeviceTransfer(Commands &commands, const Report &report)
    : m_c(commands)
    , m_report(report)
{
}

int DeviceTransfer::uploadPiece(const DeviceSetup &s)
{
    return isSpiDevice(s.device) ? std::clamp(s.pageSize, 1, kMaxData) : kMaxData;
}

int DeviceTransfer::downloadPiece(const DeviceSetup &s)
{
    // Pieces start at multiples of their size and pages are powers of two, so a piece no larger
    // than a page stays inside one.
    return isSpiDevice(s.device) ? std::clamp(s.pageSize, 1, 8) : 12;
}

QString DeviceTransfer::partialPath(const QString &path)
{
    return path + QStringLiteral(".partial");
}

bool DeviceTransfer::fail(const QString &message, uint8_t code)
{
    m_report.setStatus(QString());
    m_report.fail(message);
    if (!m_failure.isFailed())
        m_failure = Outcome::failed(code, message);
    return false;
}

Outcome DeviceTransfer::ended(bool ok)
{
    Outcome outcome = ok ? Outcome::done()
        : m_report.stopRequested() ? Outcome::stopped()
        : m_failure.isFailed() ? m_failure
                               : Outcome::failed(rc::Unknown, QString());
    m_failure = Outcome::done();
    return outcome;
}

Outcome DeviceTransfer::upload(const DeviceSetup &s, const UploadOptions &o)
{
    return ended(runUpload(s, o));
}

Outcome DeviceTransfer::download(const DeviceSetup &s, const QString &path)
{
    return ended(runDownload(s, path));
}

Outcome DeviceTransfer::verify(const DeviceSetup &s, const QString &path, VerifyResult &result)
{
    return ended(runVerify(s, path, result));
}

Outcome DeviceTransfer::eraseFlash(bool stopBitmapFirst)
{
    return ended(runErase(stopBitmapFirst));
}

// The fixed text, and on a line of its own what the chip or the link said.
bool DeviceTransfer::fail(const char *fixed, uint8_t result)
{
    return fail(joinLines({text(fixed), failureText(m_c.session(), result)}), result);
}

void DeviceTransfer::setCounter(qint64 done, qint64 total) const
{
    m_report.setCounter(text(msg::kCounterFormat).arg(done).arg(total));
}

void DeviceTransfer::clearTexts() const
{
    m_report.setStatus(QString());
    m_report.setCounter(QString());
}

uint8_t DeviceTransfer::setUpAddressing(const DeviceSetup &s)
{
    TransferRecord t;
    t.type = uint8_t(MemoryType::Chip);
    t.address = kAddressingRegister;
    if (s.device == CtrlInfoDevice::I2cEeprom) {
        // Beyond 2 KB the EEPROM takes two address bytes.
        const bool large = s.size > 2048;
        const uint8_t head[5] = {uint8_t(large ? 1 : 0), 0x01, 0x00, kI2cBusAddress, uint8_t(large ? 2 : 1)};
        std::copy(std::begin(head), std::end(head), t.data.begin());
        t.count = 5;
    } else if (s.device == CtrlInfoDevice::SpiEeprom) {
        t.data[0] = s.size > 512 ? 1 : 0;
    } else {
        return 0;
    }
    return m_c.writeData(t);
}

bool DeviceTransfer::prepare(const DeviceSetup &s, bool download)
{
    if (const uint8_t r = m_c.setMotionDetection(1, 0))
        return fail(msg::kStopMotionFailed, r);
    if (isSpiDevice(s.device))
        if (const uint8_t r = StopBitmapIfShown(m_c))
            return fail(msg::kStopBitmapFailed, r);
    if (download && s.device == CtrlInfoDevice::SpiFlash) {
        m_report.setStatus(text(msg::kErasingFlash));
        if (const uint8_t r = m_c.flashChipErase())
            return fail(msg::kEraseFlashFailed, r);
        m_report.setStatus(text(msg::kErasingFinish));
        return true;
    }
    if (const uint8_t r = setUpAddressing(s))
        return fail(download ? msg::kDownloadSetupFailed : msg::kUploadSetupFailed, r);
    return true;
}

uint8_t DeviceTransfer::readDevice(const DeviceSetup &s, uint32_t amount, QByteArray &out)
{
    const int piece = uploadPiece(s);
    out.clear();
    out.reserve(amount);
    m_report.setStatus(text(msg::kReadingData));
    setCounter(0, amount);
    for (uint32_t address = 0; address < amount;) {
        if (m_report.stopRequested())
            return rc::Stopped;
        const int n = int(std::min<uint32_t>(piece, amount - address));
        TransferRecord t = deviceRecord(s, address, n);
        // A stop cuts the wait for an answer short: that read failed because it was asked to.
        if (const uint8_t r = m_c.readData(t))
            return m_report.stopRequested() ? rc::Stopped : r;
        out.append(reinterpret_cast<const char *>(t.data.data()), n);
        address += uint32_t(n);
        m_report.setProgress(address, amount);
        setCounter(address, amount);
    }
    return 0;
}

bool DeviceTransfer::keepPartial(const QString &path, const QByteArray &data)
{
    // A message of its own, which is shown even when the failure itself is not (the port went
    // away, and the console says so).
    if (FileWriter::isStreamTarget(path)) {
        m_report.inform(QStringLiteral("Nothing was written to %1.").arg(path));
        return false;
    }
    const QString untouched = QStringLiteral("%1 was left as it was.").arg(path);
    if (data.isEmpty()) {
        m_report.inform(untouched);
        return false;
    }
    QString error;
    if (FileWriter::writeAll(partialPath(path), data, &error)) {
        m_report.inform(QStringLiteral("The %1 read so far are kept in %2; %3")
                            .arg(bytes(data.size()), partialPath(path), untouched));
        return false;
    }
    return fail(QStringLiteral("The %1 read so far could not be kept: %2; %3").arg(bytes(data.size()), error, untouched));
}

bool DeviceTransfer::runUpload(const DeviceSetup &s, const UploadOptions &o)
{
    m_report.setProgress(0, 0);
    if (o.path.isEmpty())
        return fail(text(msg::kSelectUploadFile));
    if (s.device == CtrlInfoDevice::None)
        return fail(text(msg::kSelectCtrlInfoDevice));
    // Opened first: finding out after a long read that the target cannot be written wastes it.
    FileWriter file;
    if (!file.open(o.path, FileWriter::Mode::Replace, m_report.stop))
        return fail(text(msg::kCreateUploadFileFailed) + '\n' + file.errorString());
    if (!prepare(s, false))
        return false;

    uint32_t amount = 0;
    switch (o.amount) {
    case UploadAmount::CtrlInfo: {
        if (!CheckCtrlInfoSignature(m_c, s.device))
            return fail(text(msg::kNoCtrlInfoForUpload));
        uint16_t size = 0;
        if (!ReadCtrlInfoSize(m_c, s.device, size))
            return fail(msg::kReadCtrlInfoSizeFailed, m_c.session().lastResult());
        amount = size;
        break;
    }
    case UploadAmount::WholeDevice: amount = s.size; break;
    case UploadAmount::GivenSize: amount = o.givenSize; break;
    }
    if (amount > s.size)
        return fail(text(msg::kCtrlInfoTooLarge).arg(amount).arg(s.size));
    if (const QString limit = addressLimit(s, amount); !limit.isEmpty())
        return fail(limit);

    QByteArray data;
    const uint8_t r = readDevice(s, amount, data);
    QString failure;
    const QString where = QStringLiteral("It stopped at %1.").arg(hexAddress(uint32_t(data.size())));
    if (r == rc::Stopped)
        failure = QStringLiteral("The upload was stopped.\n") + where;
    else if (r)
        failure = joinLines({text(msg::kReadDataFailedUpload), failureText(m_c.session(), r), where});
    else if (!file.write(data) || !file.commit())
        failure = QStringLiteral("%1 %2").arg(text(msg::kWriteFileFailed), file.errorString());
    if (!failure.isEmpty()) {
        file.cancel();
        fail(failure, r ? r : rc::Unknown);
        return keepPartial(o.path, data);
    }
    m_report.setStatus(text(msg::kReadFinish));
    // What an earlier failure kept is older than the copy just made: left beside it, it would
    // pass for part of this one.
    const QString stale = partialPath(o.path);
    if (!file.isStream() && QFileInfo(stale).isFile() && QFile::remove(stale))
        m_report.inform(QStringLiteral("%1 (the bytes of an earlier failed upload) was removed.").arg(stale));
    m_report.inform(text(msg::kUploadFinish));
    clearTexts();
    return true;
}

QByteArray DeviceTransfer::readSource(const DeviceSetup &s, const QString &path)
{
    // A memory holds at most 1 MiB; a longer file is refused without reading it.
    const InputFile in = InputFile::read(path, s.size, InputFile::RegularOnly, m_report.stop);
    if (in.status == InputFile::Status::TooLong) {
        fail(text(msg::kFileTooLong).arg(in.size).arg(s.size));
        return {};
    }
    if (!in.ok()) {
        fail(text(msg::kOpenDownloadFileFailed).arg(path) + '\n' + in.error);
        return {};
    }
    if (in.data.isEmpty()) {
        fail(text(msg::kFileLengthZero));
        return {};
    }
    if (const QString limit = addressLimit(s, in.data.size()); !limit.isEmpty()) {
        fail(limit);
        return {};
    }
    return in.data;
}

QString DeviceTransfer::downloadStop(uint32_t address) const
{
    if (address == 0)
        return QStringLiteral("The download stopped at 0x0000; no byte was written and verified.");
    return QStringLiteral("The download stopped at %1; the %2 before it (0x0000 to %3) were written and verified.")
        .arg(hexAddress(address), bytes(address), hexAddress(address - 1));
}

bool DeviceTransfer::runDownload(const DeviceSetup &s, const QString &path)
{
    m_report.setProgress(0, 0);
    if (s.device == CtrlInfoDevice::None)
        return fail(text(msg::kSelectCtrlInfoDevice));
    const QByteArray data = readSource(s, path);
    if (data.isEmpty() || !prepare(s, true))
        return false;

    const auto *bytesIn = reinterpret_cast<const uint8_t *>(data.constData());
    const uint32_t length = uint32_t(data.size());
    const int piece = downloadPiece(s);
    m_report.setStatus(text(msg::kWrittingData));
    setCounter(0, length);
    for (uint32_t address = 0; address < length;) {
        if (m_report.stopRequested())
            return fail(downloadStop(address));
        const int n = int(std::min<uint32_t>(piece, length - address));
        bool same = false;
        for (int attempt = 0; attempt < kAttempts && !same; ++attempt) {
            TransferRecord t = deviceRecord(s, address, n);
            std::copy(bytesIn + address, bytesIn + address + n, t.data.begin());
            const uint8_t w = m_c.writeData(t);
            TransferRecord back = deviceRecord(s, address, n);
            const uint8_t r = w ? w : m_c.readData(back);
            if (r && m_report.stopRequested())
                return fail(downloadStop(address));
            if (r)
                return fail(joinLines({text(w ? msg::kWriteDataFailedDownload : msg::kReadDataFailedDownload),
                                       failureText(m_c.session(), r), downloadStop(address)}));
            same = std::equal(bytesIn + address, bytesIn + address + n, back.data.begin());
        }
        if (!same)
            return fail(text(msg::kCantBeWrite) + '\n' + downloadStop(address));
        address += uint32_t(n);
        m_report.setProgress(address, length);
        setCounter(address, length);
    }
    m_report.setStatus(text(msg::kWriteFinish));
    m_report.inform(text(msg::kDownloadFinish));
    clearTexts();
    return true;
}

bool DeviceTransfer::runVerify(const DeviceSetup &s, const QString &path, VerifyResult &result)
{
    m_report.setProgress(0, 0);
    if (s.device == CtrlInfoDevice::None)
        return fail(text(msg::kSelectCtrlInfoDevice));
    const QByteArray expected = readSource(s, path);
    if (expected.isEmpty() || !prepare(s, false))
        return false;
    QByteArray actual;
    const uint8_t r = readDevice(s, uint32_t(expected.size()), actual);
    if (r == rc::Stopped)
        return fail(QStringLiteral("The comparison was stopped at %1.").arg(hexAddress(uint32_t(actual.size()))));
    if (r)
        return fail(joinLines({QStringLiteral("Read data failed at %1").arg(hexAddress(uint32_t(actual.size()))),
                               failureText(m_c.session(), r)}));
    result = VerifyResult{expected.size(), 0, 0};
    for (qsizetype i = expected.size() - 1; i >= 0; --i) {
        if (expected[i] != actual[i]) {
            ++result.differing;
            result.firstDifference = uint32_t(i);
        }
    }
    clearTexts();
    return true;
}

bool DeviceTransfer::runErase(bool stopBitmapFirst)
{
    if (stopBitmapFirst)
        if (const uint8_t r = StopBitmapIfShown(m_c))
            return fail(msg::kStopBitmapFailed, r);
    m_report.setStatus(text(msg::kWaitForErase));
    // Only an erase that the chip reported done is called finished: after a time-out the chip
    // may still be erasing.
    if (const uint8_t r = m_c.flashChipErase())
        return fail(failureText(m_c.session(), r), r);
    m_report.setStatus(QString());
    m_report.inform(text(msg::kChipEraseFinish));
    return true;
}

} // namespace zm
