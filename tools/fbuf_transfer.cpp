#include "tools/fbuf_transfer.h"

#include "link/failure_text.h"
#include "link/file_reasons.h"
#include "link/messages.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QThread>

#include <algorithm>

namespace zm {

uint8_t FbufOptions::modeByte(bool write) const
{
    uint8_t m = 0;
    if (dma)
        m |= 0x01;
    m |= uint8_t((deviceBits() & 3) << 1);
    if (spiType == 0)
        m |= 0x08;
    if (write && videoSource)
        m |= 0x10;
    return m;
}

QString fbufLengthText(uint32_t length)
{
    return QString::asprintf("0x%08X (%.2fK)", length, length / 1024.0);
}

void fbufEncrypt(QByteArray &b, uint8_t key)
{
    uint8_t prev = key;
    for (auto &c : b) {
        c = char(uint8_t(c) ^ prev);
        prev = uint8_t(c);
    }
}

void fbufDecrypt(QByteArray &b, uint8_t key)
{
    uint8_t prev = key;
    for (auto &c : b) {
        const uint8_t in = uint8_t(c);
        c = char(in ^ prev);
        prev = in;
    }
}

namespace {

QString withResult(const CommandLayer &layer, const char *prefix, uint8_t r)
{
    return QString::fromLatin1(prefix) + failureText(layer, r);
}

QString bytesText(qint64 n)
{
    return QLocale::c().toString(n);
}

} // namespace

FbufTransfer::FbufTransfer(Commands &commands, const Report &report)
    : m_c(commands)
    , m_layer(commands.layer())
    , m_report(report)
{
}

bool FbufTransfer::fail(const QString &text)
{
    if (!text.isEmpty())
        m_report.fail(text);
    m_layer.endRawPhase();
    m_report.setProgress(0, 0);
    return false;
}

bool FbufTransfer::stopped()
{
    m_layer.endRawPhase();
    m_report.setProgress(0, 0);
    return false;
}

bool FbufTransfer::getLength(uint8_t frame)
{
    uint32_t length = 0;
    const uint8_t r = m_c.getFbufLength(frame, length);
    if (r)
        return fail(failureText(m_layer, r));
    m_report.setValue(QStringLiteral("length"), fbufLengthText(length));
    return true;
}

bool FbufTransfer::readToFile(const FbufOptions &o)
{
    m_report.setProgress(0, 0);
    const bool overThisLine = o.deviceBits() == m_layer.pcUart();
    // The picture goes to a temporary file beside the target, which replaces the target only
    // once the whole picture is in: a failed read leaves an earlier file as it was.
    QSaveFile file(o.path);
    if (overThisLine && (o.path.isEmpty() || !file.open(QIODevice::WriteOnly)))
        return fail(QString::fromLatin1(msg::kCreateFileFailed) + "\n"
                    + QStringLiteral("%1: %2.").arg(o.path, whyNotWritable(o.path, file.errorString())));

    uint32_t length = 0;
    uint8_t r = m_c.getFbufLength(o.frame, length);
    if (r)
        return fail(withResult(m_layer, msg::kGetFbufSizeFailed, r));
    m_report.setValue(QStringLiteral("length"), fbufLengthText(length));
    if (length <= 4)
        return fail(QString::fromLatin1(msg::kNoDataInFbuf));
    if (overThisLine && length > CommandLayer::kFbufCapacity)
        return fail(QStringLiteral("The picture is %1 bytes long, more than the %2 bytes the receive buffer holds; "
                                   "nothing was read.")
                        .arg(bytesText(length), bytesText(CommandLayer::kFbufCapacity)));

    r = m_c.readFbufData(o.frame, o.modeByte(false), 0, length, o.delay, overThisLine);
    if (r)
        return fail(withResult(m_layer, msg::kSetReadFbufFailed, r));

    if (!overThisLine) {
        r = m_layer.waitForAnswer(kOtherDeviceTimeout);
        if (r)
            return m_report.stopRequested() ? stopped() : fail(withResult(m_layer, msg::kReadRevertFailed, r));
        m_layer.setLastResult(0);
        m_layer.endRawPhase();
        m_report.inform(QString::fromLatin1(msg::kFbufReadFinished));
        return true;
    }

    // The link fills the buffer as the bytes come; watch the count, and give up after a second
    // in which nothing came.
    uint32_t seen = 0;
    QElapsedTimer quiet;
    quiet.start();
    while (m_layer.receiveState() != ReceiveState::RawComplete) {
        if (m_report.stopRequested())
            return stopped();
        if (m_layer.portLost())
            return fail(QString::fromLatin1(msg::kPortLostInTransfer));
        const uint32_t count = m_layer.waitRawProgress(seen, kPollMs);
        if (m_layer.receiveState() == ReceiveState::RawComplete)
            break;
        if (count != seen) {
            seen = count;
            quiet.restart();
            m_report.setProgress(count, length);
        } else if (quiet.elapsed() >= kSilenceMs) {
            return fail(QString::fromLatin1(msg::kReadDataTimeOut));
        }
    }

    r = m_layer.waitForAnswer(kReadCloseTimeout);
    if (r && m_report.stopRequested())
        return stopped();
    if (r)
        m_report.fail(withResult(m_layer, msg::kReadRevertFailed, r));

    QByteArray picture = m_layer.rawData();
    if (o.crypt)
        fbufDecrypt(picture, o.key);
    if (file.write(picture) != picture.size() || !file.commit())
        return fail(QStringLiteral("%1 %2: %3.").arg(QString::fromLatin1(msg::kWriteFileFailed), o.path,
                                                     whyNotWritable(o.path, file.errorString())));

    m_layer.setLastResult(0);
    m_layer.endRawPhase();
    m_report.setValue(QStringLiteral("picture"), o.path);
    m_report.inform(QString::fromLatin1(msg::kFbufReadFinished));
    return true;
}

bool FbufTransfer::writeFromFile(const FbufOptions &o)
{
    m_report.setProgress(0, 0);
    const bool overThisLine = o.deviceBits() == m_layer.pcUart();
    QByteArray data;
    qint64 length = 0;
    QFile file(o.path);
    if (overThisLine) {
        if (!file.open(QIODevice::ReadOnly))
            return fail(QString::fromLatin1(msg::kOpenFileFailed) + "\n"
                        + QStringLiteral("%1: %2").arg(o.path, file.errorString()));
        data = file.readAll();
        length = data.size();
    } else {
        length = QFileInfo(o.path).size();
    }
    if (length == 0)
        return fail(QStringLiteral("%1 is empty; there is nothing to write.").arg(o.path));
    if (length > qint64(UINT32_MAX))
        return fail(QStringLiteral("%1 is too long for the frame buffer.").arg(o.path));
    if (length > CommandLayer::kFbufCapacity
        && !m_report.ask(QStringLiteral("%1 is %2 bytes long, more than the %3 bytes a frame-buffer read can bring "
                                        "back, so it could not be read back afterwards. Write it anyway?")
                             .arg(o.path, bytesText(length), bytesText(CommandLayer::kFbufCapacity))))
        return stopped();

    // The chip takes the new length only while capture is stopped. Tried first, so that a file
    // is not streamed (or copied from another device) only to be refused at its end.
    uint8_t r = m_c.setFbufLength(uint32_t(length));
    if (r)
        return fail(withResult(m_layer, msg::kSetFbufSizeFailed, r));
    r = m_c.writeFbufData(o.modeByte(true), 0, uint32_t(length), o.delay, overThisLine);
    if (r)
        return fail(withResult(m_layer, msg::kSetWriteFbufFailed, r));
    QThread::msleep(kWriteStartPauseMs);

    if (overThisLine) {
        // One byte per write, each encrypted as it goes out; handed to the link in runs so that
        // progress and the stop request are looked at between them.
        if (o.crypt)
            fbufEncrypt(data, o.key);
        const auto *bytes = reinterpret_cast<const uint8_t *>(data.constData());
        for (qint64 done = 0; done < length;) {
            if (m_report.stopRequested())
                return stopped();
            const int run = int(std::min<qint64>(CommandLayer::kRawRun, length - done));
            if (!m_layer.sendRawBytes(bytes + done, run))
                return fail(m_layer.portLost() ? QString::fromLatin1(msg::kPortLostInTransfer)
                                               : withResult(m_layer, msg::kWriteFbufDataFailed, rc::SendFailed));
            done += run;
            m_report.setProgress(done, length);
        }
        r = m_layer.waitForAnswer(kWriteCloseTimeout);
    } else {
        r = m_layer.waitForAnswer(kOtherDeviceTimeout);
    }
    if (r)
        return m_report.stopRequested() ? stopped() : fail(withResult(m_layer, msg::kReadRevertFailed, r));

    QThread::msleep(kWriteSettleMs);
    r = m_c.setFbufLength(uint32_t(length));
    if (r)
        return fail(withResult(m_layer, msg::kSetFbufSizeFailed, r));
    m_layer.endRawPhase();
    m_layer.setLastResult(0);
    m_report.inform(QString::fromLatin1(msg::kFbufWriteFinished));
    return true;
}

} // namespace zm
