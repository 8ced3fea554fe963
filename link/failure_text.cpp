#include "link/failure_text.h"

#include "protocol/traffic_decode.h"

#include <QStringList>

#include <atomic>

namespace zm {

namespace {

std::atomic<FailureWording> g_wording{FailureWording::Window};

// "read-data (chip 0x1A10, 4 items)", or the closing answer of the command that opened a raw
// phase.
QString commandText(const LinkSession::SentCommand &sent)
{
    QString text = traffic::commandName(sent.code);
    const QString fields = traffic::describeCommand(sent.code, reinterpret_cast<const uint8_t *>(sent.data.constData()),
                                                    int(sent.data.size()));
    if (!fields.isEmpty())
        text += QStringLiteral(" (%1)").arg(fields);
    return sent.closing ? QStringLiteral("the closing answer of ") + text : text;
}

QString hint(const LinkSession::SentCommand &sent, uint8_t result, uint8_t answerSerial, FailureWording w)
{
    const bool window = w == FailureWording::Window;
    const QString rate = window ? QStringLiteral("BautRate") : QStringLiteral("--baud");
    switch (result) {
    case rc::TimeOut:
        return QStringLiteral("no answer in %1 ms: check the port, %2 and the chip's power").arg(sent.timeoutMs).arg(rate);
    case rc::InvalidCmd:
        return QStringLiteral("the chip does not know this command");
    case rc::InvalidDataLength:
        return QStringLiteral("the chip refused the length of its data");
    case rc::InvalidDataFormat:
        return QStringLiteral("the chip refused a value it was sent: check the values against what the chip takes");
    case rc::CantRunNow:
        return QStringLiteral("the chip cannot run it in its present state: end what it is doing first");
    case rc::ExecuteFailed:
        if (sent.code == cmd::ReadData || sent.code == cmd::WriteData || sent.code == cmd::GetFlashSize
            || sent.code == cmd::EraseFlashSector || sent.code == cmd::FlashChipErase)
            return QStringLiteral("the chip took it but could not carry it out: check that the memory it addresses "
                                  "is fitted");
        return QStringLiteral("the chip took it but could not carry it out");
    case rc::FbufNotStopped:
        return window ? QStringLiteral("stop frame capture first with \"Stop CFbuf\" in the Fbuf window")
                      : QStringLiteral("stop frame capture first: zmctl fbuf-ctl stop-current (or fbuf-write --stop)");
    case rc::PowerSave:
        return window ? QStringLiteral("take the chip out of power save first: \"Out Power Save\" in Power Ctrl")
                      : QStringLiteral("take the chip out of power save first: zmctl feature-set power --source uart "
                                       "--mode out");
    case rc::InvalidLength:
    case rc::InvalidSign:
        return QStringLiteral("the answer was no frame of the chip: check %1 and that nothing else writes to the line")
            .arg(rate);
    case rc::InvalidSerial:
        return window ? QStringLiteral("the chip answers to serial number %1: choose it as \"Current Value:\" in Config")
                            .arg(answerSerial)
                      : QStringLiteral("the chip answers to serial number %1: give --serial %1").arg(answerSerial);
    case rc::InvalidReceivedData:
        return QStringLiteral("the answer carried less data than the command needs");
    case rc::SendFailed:
        return QStringLiteral("the frame could not be written: check the port");
    case rc::Unknown:
        return QStringLiteral("the wait for the answer was cut short");
    default:
        return {};
    }
}

} // namespace

void setFailureWording(FailureWording wording)
{
    g_wording.store(wording);
}

FailureWording failureWording()
{
    return g_wording.load();
}

QString failureContext(const LinkSession::SentCommand &sent, uint8_t result, uint8_t answerSerial,
                       FailureWording wording)
{
    // A refused argument set never reaches the line: there is no command to name.
    if (result == rc::InvalidParameter)
        return QStringLiteral("nothing was sent: a value is outside what the command takes");
    const QString what = hint(sent, result, answerSerial, wording);
    if (what.isEmpty() || !sent.valid)
        return what;
    return commandText(sent) + QStringLiteral(": ") + what;
}

QString failureText(const LinkSession &session, uint8_t result)
{
    if (session.portLost())
        return {};
    return joinLines({QString::fromLatin1(resultText(result)),
                      failureContext(session.lastSent(), result, session.lastAnswer().serial, failureWording())});
}

QString joinLines(const QStringList &lines)
{
    QStringList kept;
    for (const QString &line : lines)
        if (!line.isEmpty())
            kept << line;
    return kept.join(QLatin1Char('\n'));
}

} // namespace zm
