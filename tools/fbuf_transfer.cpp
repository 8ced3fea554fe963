#include "tools/fbuf_transfer.h"

#include "link/failure_text.h"
#include "link/file_writer.h"
#include "link/input_file.h"
#include "link/messages.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
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

QString withResult(const LinkSession &session, const char *prefix, uint8_t r)
{
    return QString::fromLatin1(prefix) + failureText(session, r);
}

QString bytesText(qint64 n)
{
    return QLocale::c().toString(n);
}

} // namespace

FbufTransfer::FbufTransfer(Commands &commands, const Report &report)
    : m_c(commands)
    , m_session(commands.session())
    , m_report(report)
{
}

Outcome FbufTransfer::fail(const QString &text, uint8_t code)
{
    if (!text.isEmpty())
        m_report.fail(text);
    m_session.endRawPhase();
    m_report.setProgress(0, 0);
    return Outcome::failed(code, text);
}

Outcome FbufTransfer::stopped()
{
    m_session.endRawPhase();
    m_report.setProgress(0, 0);
    return Outcome::stopped();
}

Outcome FbufTransfer::getLength(uint8_t frame)
{
    uint32_t length = 0;
    const uint8_t r = m_c.getFbufLength(frame, length);
    if (r)
        return fail(failureText(m_session, r), r);
    m_report.setValue(QStringLiteral("length"), fbufLengthText(length));
    return Outcome::done();
}

Outcome FbufTransfer::readToFile(const FbufOptions &o)
{
    m_report.setProgress(0, 0);
    const bool overThisLine = o.deviceBits() == m_session.settings().pcUart;
    // Opened before the chip is asked: the picture goes to a temporary file beside the target,
    // which replaces the target only once the whole picture is in and on the disk, so a failed
    // read leaves an earlier file as it was. A pipe or a device is written as it is.
    FileWriter file;
    if (overThisLine && !file.open(o.path, FileWriter::Mode::Replace, m_report.stop))
        return m_report.stopRequested() ? stopped()
                                        : fail(QString::fromLatin1(msg::kCreateFileFailed) + "\n" + file.errorString() + '.');

    uint32_t length = 0;
    uint8_t r = m_c.getFbufLength(o.frame, length);
    if (r)
        return fail(withResult(m_session, msg::kGetFbufSizeFailed, r), r);
    m_report.setValue(QStringLiteral("length"), fbufLengthText(length));
    if (length <= 4)
        return fail(QString::fromLatin1(msg::kNoDataInFbuf), rc::InvalidReceivedData);
    if (overThisLine && length > LinkSession::kFbufCapacity)
        return fail(QStringLiteral("The picture is %1 bytes long, more than the %2 bytes the receive buffer holds; "
                                   "nothing was read.")
                        .arg(bytesText(length), bytesText(LinkSession::kFbufCapacity)));

    r = m_c.readFbufData(o.frame, o.modeByte(false), 0, length, o.delay, overThisLine);
    if (r)
        return fail(withResult(m_session, msg::kSetReadFbufFailed, r), r);

    if (!overThisLine) {
        r = m_session.waitForAnswer(kOtherDeviceTimeout, m_report.stop);
        if (r)
            return m_report.stopRequested() ? stopped() : fail(withResult(m_session, msg::kReadRevertFailed, r), r);
        m_session.setLastResult(0);
        m_session.endRawPhase();
        m_report.inform(QString::fromLatin1(msg::kFbufReadFinished));
        return Outcome::done();
    }

    // The link fills the buffer as the bytes come; watch the count, and give up after a second
    // in which nothing came.
    uint32_t seen = 0;
    QElapsedTimer quiet;
    quiet.start();
    for (;;) {
        if (m_report.stopRequested())
            return stopped();
        if (m_session.portLost())
            return fail(QString::fromLatin1(msg::kPortLostInTransfer), rc::SendFailed);
        const LinkSession::RawProgress progress = m_session.waitRawProgress(seen, kPollMs, m_report.stop);
        if (progress.complete)
            break;
        if (progress.count != seen) {
            seen = progress.count;
            quiet.restart();
            m_report.setProgress(seen, length);
        } else if (quiet.elapsed() >= kSilenceMs) {
            return fail(QString::fromLatin1(msg::kReadDataTimeOut), rc::TimeOut);
        }
    }

    // The picture is whole whatever the closing answer says; only a stop throws it away.
    const uint8_t closing = m_session.waitForAnswer(kReadCloseTimeout, m_report.stop);
    if (closing && m_report.stopRequested())
        return stopped();

    QByteArray picture = m_session.rawData();
    if (o.crypt)
        fbufDecrypt(picture, o.key);
    if (!file.write(picture) || !file.commit())
        return fail(QStringLiteral("%1 %2.").arg(QString::fromLatin1(msg::kWriteFileFailed), file.errorString()),
                    rc::Unknown);

    m_session.endRawPhase();
    m_report.setValue(QStringLiteral("picture"), file.isStream() ? QString() : o.path);
    m_report.inform(QString::fromLatin1(msg::kFbufReadFinished));
    if (closing) {
        // Kept, and said after the finish: the picture is good, the chip's state is not known.
        m_session.setLastResult(closing);
        const QString text = withResult(m_session, msg::kReadRevertFailed, closing);
        m_report.warn(text);
        return Outcome::warning(closing, text);
    }
    m_session.setLastResult(0);
    return Outcome::done();
}

Outcome FbufTransfer::writeFromFile(const FbufOptions &o)
{
    m_report.setProgress(0, 0);
    const bool overThisLine = o.deviceBits() == m_session.settings().pcUart;
    QByteArray data;
    qint64 length = 0;
    if (overThisLine) {
        // Read up to what a write can carry at all; the question about reading it back comes
        // below.
        const InputFile in = InputFile::read(o.path, kMaxWriteLength, InputFile::RegularOnly, m_report.stop);
        if (in.status == InputFile::Status::Stopped)
            return stopped();
        if (!in.ok())
            return fail(QString::fromLatin1(msg::kOpenFileFailed) + "\n" + in.error + '.');
        data = in.data;
        length = data.size();
    } else {
        length = QFileInfo(o.path).size();
    }
    if (length == 0)
        return fail(QStringLiteral("%1 is empty; there is nothing to write.").arg(o.path));
    if (length > kMaxWriteLength)
        return fail(QStringLiteral("%1 is too long for the frame buffer.").arg(o.path));
    if (length > LinkSession::kFbufCapacity
        && !m_report.ask(QStringLiteral("%1 is %2 bytes long, more than the %3 bytes a frame-buffer read can bring "
                                        "back, so it could not be read back afterwards. Write it anyway?")
                             .arg(o.path, bytesText(length), bytesText(LinkSession::kFbufCapacity))))
        return stopped();

    // The chip takes a length only while capture is stopped. That is tried first with the length
    // the frame buffer has now, which changes nothing, so that a file is not streamed (or copied
    // from another device) only to be refused at its end, and a refused write leaves the frame
    // buffer as it was.
    uint32_t current = 0;
    uint8_t r = m_c.getFbufLength(0, current);
    if (!r)
        r = m_c.setFbufLength(current);
    if (r)
        return fail(withResult(m_session, msg::kSetFbufSizeFailed, r), r);
    r = m_c.writeFbufData(o.modeByte(true), 0, uint32_t(length), o.delay, overThisLine);
    if (r)
        return fail(withResult(m_session, msg::kSetWriteFbufFailed, r), r);
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
            const int run = int(std::min<qint64>(LinkSession::kRawRun, length - done));
            if (!m_session.sendRawBytes(bytes + done, run))
                return fail(m_session.portLost() ? QString::fromLatin1(msg::kPortLostInTransfer)
                                               : withResult(m_session, msg::kWriteFbufDataFailed, rc::SendFailed),
                            rc::SendFailed);
            done += run;
            m_report.setProgress(done, length);
        }
        r = m_session.waitForAnswer(kWriteCloseTimeout, m_report.stop);
    } else {
        r = m_session.waitForAnswer(kOtherDeviceTimeout, m_report.stop);
    }
    if (r)
        return m_report.stopRequested() ? stopped() : fail(withResult(m_session, msg::kReadRevertFailed, r), r);

    QThread::msleep(kWriteSettleMs);
    r = m_c.setFbufLength(uint32_t(length));
    if (r)
        return fail(withResult(m_session, msg::kSetFbufSizeFailed, r), r);
    m_session.endRawPhase();
    m_session.setLastResult(0);
    m_report.inform(QString::fromLatin1(msg::kFbufWriteFinished));
    return Outcome::done();
}

} // namespace zm
