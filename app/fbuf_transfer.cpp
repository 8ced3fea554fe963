#include "app/fbuf_transfer.h"

#include <QElapsedTimer>

#include <algorithm>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>

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

FbufTransfer::FbufTransfer(Commands &commands, FbufReport report)
    : m_c(commands)
    , m_layer(commands.layer())
    , m_report(std::move(report))
{
}

void FbufTransfer::say(const QString &text, bool failure)
{
    if (m_report.message)
        m_report.message(text, failure);
}

void FbufTransfer::progress(qint64 done, qint64 total)
{
    if (m_report.progress)
        m_report.progress(done, total);
}

bool FbufTransfer::fail(const QString &text)
{
    if (!text.isEmpty())
        say(text);
    m_layer.setReceiveState(ReceiveState::Idle);
    progress(0, 1);
    return false;
}

static QString withResult(const char *prefix, uint8_t r)
{
    return QString::fromLatin1(prefix) + QString::fromLatin1(resultText(r));
}

bool FbufTransfer::getLength(uint8_t frame)
{
    uint32_t length = 0;
    const uint8_t r = m_c.getFbufLength(frame, length);
    if (r)
        return fail(QString::fromLatin1(resultText(r)));
    if (m_report.lengthText)
        m_report.lengthText(fbufLengthText(length));
    return true;
}

bool FbufTransfer::readToFile(const FbufOptions &o)
{
    progress(0, 1);
    const bool overThisLine = o.deviceBits() == m_layer.pcUart();
    // The picture goes to a temporary file beside the target, which replaces the target only
    // once the whole picture is in: a failed read leaves an earlier file as it was.
    QSaveFile file(o.path);
    if (overThisLine && !file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("Create file failed!"));

    uint32_t length = 0;
    uint8_t r = m_c.getFbufLength(o.frame, length);
    if (r)
        return fail(withResult("Get fbuf size failed!:", r));
    if (m_report.lengthText)
        m_report.lengthText(fbufLengthText(length));
    if (length <= 4)
        return fail(QStringLiteral("No data in FBUF"));
    if (overThisLine && length > CommandLayer::kFbufCapacity)
        return fail(QStringLiteral("The picture is %1 bytes long, more than the %2 bytes the receive buffer holds; "
                                   "nothing was read.")
                        .arg(length)
                        .arg(CommandLayer::kFbufCapacity));

    r = m_c.readFbufData(o.frame, o.modeByte(false), 0, length, o.delay, overThisLine);
    if (r)
        return fail(withResult("Set read fbuf data failed!:", r));

    if (!overThisLine) {
        r = m_layer.waitForAnswer(kOtherDeviceTimeout);
        if (r)
            return fail(withResult("Read revert CMD failed!:", r));
        m_layer.setLastResult(0);
        m_layer.setReceiveState(ReceiveState::Idle);
        say(QStringLiteral("Fbuf read finished!"), false);
        return true;
    }

    // The link fills the buffer as the bytes come; watch the count, and give up after a second
    // in which nothing came.
    uint32_t seen = 0;
    QElapsedTimer quiet;
    quiet.start();
    while (m_layer.receiveState() != ReceiveState::RawComplete) {
        if (m_layer.portLost())
            return fail(QStringLiteral("The port was lost during the transfer."));
        const uint32_t count = m_layer.waitRawProgress(seen, kPollMs);
        if (m_layer.receiveState() == ReceiveState::RawComplete)
            break;
        if (count != seen) {
            seen = count;
            quiet.restart();
            progress(count, length);
        } else if (quiet.elapsed() >= kSilenceMs) {
            return fail(QStringLiteral("Read data time out!"));
        }
    }

    r = m_layer.waitForAnswer(kReadCloseTimeout);
    if (r)
        say(withResult("Read revert CMD failed!:", r));

    QByteArray picture = m_layer.rawData();
    if (o.crypt)
        fbufDecrypt(picture, o.key);
    if (file.write(picture) != picture.size() || !file.commit())
        return fail(QStringLiteral("Write file failed!: %1").arg(file.errorString()));

    m_layer.setLastResult(0);
    m_layer.setReceiveState(ReceiveState::Idle);
    if (m_report.readDone)
        m_report.readDone(o.path);
    say(QStringLiteral("Fbuf read finished!"), false);
    return true;
}

bool FbufTransfer::writeFromFile(const FbufOptions &o)
{
    progress(0, 1);
    const bool overThisLine = o.deviceBits() == m_layer.pcUart();
    QByteArray data;
    qint64 length = 0;
    QFile file(o.path);
    if (overThisLine) {
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("Open file failed!"));
        data = file.readAll();
        length = data.size();
    } else {
        length = QFileInfo(o.path).size();
    }

    uint8_t r = m_c.writeFbufData(o.modeByte(true), 0, uint32_t(length), o.delay, overThisLine);
    if (r)
        return fail(withResult("Set write fbuf data failed!:", r));
    QThread::msleep(kWriteStartPauseMs);

    if (overThisLine) {
        // One byte per write, each encrypted as it goes out.
        uint8_t prev = o.key;
        for (qint64 done = 0; done < length;) {
            const qint64 run = std::min<qint64>(kWriteRun, length - done);
            const qint64 sent = m_layer.link().writeEach(
                [&](qint64 i) {
                    uint8_t b = uint8_t(data[done + i]);
                    if (o.crypt) {
                        b ^= prev;
                        prev = b;
                    }
                    return b;
                },
                run, {});
            if (sent != run)
                return fail(withResult("Write fbuf data failed!:", rc::SendFailed));
            done += run;
            progress(done, length);
        }
        r = m_layer.waitForAnswer(kWriteCloseTimeout);
    } else {
        r = m_layer.waitForAnswer(kOtherDeviceTimeout);
    }
    if (r)
        return fail(withResult("Read revert CMD failed!:", r));

    QThread::msleep(kWriteSettleMs);
    r = m_c.setFbufLength(uint32_t(length));
    if (r)
        return fail(withResult("Set fbuf size failed!:", r));
    m_layer.setReceiveState(ReceiveState::Idle);
    m_layer.setLastResult(0);
    say(QStringLiteral("Fbuf write finished!"), false);
    return true;
}

} // namespace zm
