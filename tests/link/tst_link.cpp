// The link: the pure receive path, frame builders and parsing, then the transport and the
// command operations end to end over the real QSerialPort on a pseudo-terminal, against a
// scripted peer.

#include "scripted_peer.h"

#include "link/commands.h"
#include "link/serial_link.h"
#include "link/system_ports.h"
#include "link/failure_text.h"
#include "protocol/hex_text.h"
#include "link/receive_router.h"
#include "protocol/traffic_decode.h"
#include "protocol/traffic_rows.h"

#include <QSet>
#include <QSignalSpy>
#include <QTest>

using namespace zm;
using zm::test::PeerAction;
using zm::test::ScriptedPeer;

Q_DECLARE_METATYPE(zm::Frame)

namespace {

QByteArray bytes(const char *hex)
{
    return *parseHexBytes(QString::fromLatin1(hex));
}

QByteArray wire(const Frame &f)
{
    uint8_t out[kCommandHeader + kMaxData];
    return QByteArray(reinterpret_cast<const char *>(out), f->encode(out));
}

TransferRecord transfer(uint8_t type, uint8_t width, uint8_t count, uint32_t address, const char *data = "")
{
    TransferRecord t{type, width, count, address};
    const QByteArray d = bytes(data);
    std::copy(d.begin(), d.end(), t.data.begin());
    return t;
}

void feed(ReceiveRouter &router, const QByteArray &batch, ReceiveRouter::Output &out)
{
    router.feed(reinterpret_cast<const uint8_t *>(batch.constData()), size_t(batch.size()), out);
}

// Answers every frame with status 0 and `data`, echoing the code and the serial number.
ScriptedPeer::Script answerAll(const QByteArray &data = {})
{
    return [data](const QByteArray &f) {
        return std::vector<PeerAction>{{ScriptedPeer::answer(uint8_t(f[2]), 0, data, uint8_t(f[1]))}};
    };
}

struct Bench {
    ScriptedPeer peer;
    LinkSession session;
    Commands c{session};

    QByteArray idle; // every byte the data show was given

    explicit Bench(ScriptedPeer::Script s = answerAll())
        : peer(std::move(s))
    {
        QString error;
        if (!session.open(peer.path(), "38400,n,8,1", &error))
            qFatal("open failed: %s", qPrintable(error));
        session.idleFeed().setGathering(true);
    }
    QByteArray shown()
    {
        idle += session.idleFeed().take();
        return idle;
    }
    void setTimeout(int ms)
    {
        session.updateSettings([ms](LinkSettings &s) { s.commandTimeoutMs = ms; });
    }
};

} // namespace

class TestLink : public QObject
{
    Q_OBJECT

private slots:
    // The receive path, pure: batches that arrive while an answer is awaited. Each row: the
    // awaited code, the batches, the batch that completes the wait (-1: none), the result the
    // waiter sees (frame error or status), the bytes that must reach the data show.
    void routing_data()
    {
        QTest::addColumn<int>("awaited");
        QTest::addColumn<QList<QByteArray>>("batches");
        QTest::addColumn<int>("completesAt");
        QTest::addColumn<int>("error");
        QTest::addColumn<QByteArray>("shown");
        QTest::addColumn<QByteArray>("data");
        const auto add = [](const char *name, int awaited, const QList<QByteArray> &batches, int completesAt, int error,
                            const QByteArray &shown, const QByteArray &data = {}) {
            QTest::newRow(name) << awaited << batches << completesAt << error << shown << data;
        };
        const QByteArray v4 = bytes("76 00 30 00 04 11 22 33 44"), d4 = bytes("11 22 33 44");
        add("one batch", 0x30, {v4}, 0, 0, {}, d4);
        add("split 2+3+data", 0x30, {v4.left(2), v4.mid(2, 3), v4.mid(5)}, 2, 0, {}, d4);
        add("21 bytes and one more", 0x30, {bytes("76 00 30 00 10") + QByteArray(16, '\x5A') + "x"}, 0, 0, "x",
            QByteArray(16, '\x5A'));
        add("length 0 and 3 trailing", 0x26, {bytes("76 00 26 00 00 41 42 43")}, 0, 0, "ABC");
        add("wrong sign", 0x11, {bytes("56 00 11 00 00")}, 0, 241, bytes("56 00 11 00 00"));
        add("idle byte before the answer", 0x11, {"x" + bytes("76 00 11 00 00")}, 0, 241, "x" + bytes("76 00 11 00 00"));
        add("data length 17 cannot fit", 0x30, {bytes("76 00 30 00 11")}, 0, 240, bytes("76 00 30 00 11"));
        add("header only, waits", 0x30, {bytes("76 00 30 00 02 01")}, -1, 0, {});
        // A late answer of an earlier command, then ours, in one batch and split anywhere.
        const QByteArray late = bytes("76 00 34 00 04 00 00 41 DA"), motion = bytes("76 00 39 00 00");
        add("late answer first", 0x30, {late + v4}, 0, 0, late, d4);
        add("late answer split", 0x30, {late.left(7), late.mid(7) + v4.left(3), v4.mid(3)}, 2, 0, late, d4);
        add("notification is no answer", 0x30, {motion, v4}, 1, 0, motion, d4);
        add("closing answer skips notifications", ReceiveRouter::kAnyButNotification, {motion + bytes("76 00 32 00 00")}, 0,
            0, motion);
    }
    void routing()
    {
        QFETCH(int, awaited);
        QFETCH(QList<QByteArray>, batches);
        QFETCH(int, completesAt);
        QFETCH(int, error);
        QFETCH(QByteArray, shown);
        QFETCH(QByteArray, data);
        ReceiveRouter router;
        router.arm(awaited, ReceiveRouter::After::Idle, 0);
        QByteArray seen;
        int completed = -1;
        for (int i = 0; i < batches.size(); ++i) {
            ReceiveRouter::Output out;
            feed(router, batches[i], out);
            seen += out.show;
            if (out.answered)
                completed = i; // once at most, and bytes accounted: the fuzz replay's invariants
        }
        QCOMPARE(completed, completesAt);
        QCOMPARE(int(router.frameError()), error);
        QCOMPARE(toHexText(seen), toHexText(shown));
        if (completed >= 0 && error == 0) {
            const AnswerRecord &a = router.answer();
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(a.data.data()), a.length), data);
            QCOMPARE(router.state(), ReceiveState::Idle);
        }
    }

    // The answer of a raw phase followed by far more than 21 bytes of picture and the closing
    // answer in one batch: exactly the frame is taken, the picture goes to the buffer, the
    // closing answer is held until its wait is armed.
    void rawPhaseHandOver()
    {
        ReceiveRouter router;
        QVERIFY(router.prepareRaw(5000));
        router.arm(0x32, ReceiveRouter::After::RawReceive, 0);
        const QByteArray picture(5000, '\xAB');
        ReceiveRouter::Output out;
        feed(router, bytes("76 00 32 00 00") + picture + bytes("76 00 32 00 00"), out);
        QVERIFY(out.answered);
        QVERIFY(out.show.isEmpty());
        QCOMPARE(router.state(), ReceiveState::RawComplete);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(router.rawData()), router.rawCount()), picture);
        QCOMPARE(int(router.heldNow()), 5);
        ReceiveRouter::Output closing;
        router.armClosing(0, closing);
        QVERIFY(closing.answered);
        QCOMPARE(router.state(), ReceiveState::Idle);
    }

    // Every code of the command set has its name, and no data of any length breaks the
    // decoding of a command or an answer.
    void trafficDecoding()
    {
        int count = 0;
        const uint8_t *codes = traffic::commandCodes(&count);
        QSet<QString> names;
        for (int i = 0; i < count; ++i) {
            QVERIFY(traffic::knownCommand(codes[i]));
            names << traffic::commandName(codes[i]);
            uint8_t data[16];
            for (int n = 0; n <= 16; ++n) {
                for (int fill : {0x00, 0x03, 0xFF}) {
                    std::fill(data, data + 16, uint8_t(fill));
                    traffic::describeCommand(codes[i], data, n);
                    traffic::describeAnswer(codes[i], 0, data, n);
                }
            }
        }
        QCOMPARE(names.size(), count);
        QVERIFY(!traffic::knownCommand(0x7F));
    }

    void builders_data()
    {
        QTest::addColumn<Frame>("frame");
        QTest::addColumn<QByteArray>("expected"); // empty: refused
        const auto add = [](const char *name, const Frame &f, const char *hex) { QTest::newRow(name) << f << bytes(hex); };
        add("read 4 chip regs", frames::readData(0, transfer(1, 1, 4, 0x1A10)), "56 00 30 04 01 04 1A 10");
        add("write flash byte", frames::writeData(0, transfer(6, 1, 1, 0x12345, "5A")), "56 00 31 07 06 01 00 01 23 45 5A");
        add("write 12 chip bytes", frames::writeData(0, transfer(1, 1, 12, 0x10, "0102030405060708090A0B0C")),
            "56 00 31 10 01 0C 00 10 01 02 03 04 05 06 07 08 09 0A 0B 0C");
        add("type 7", frames::writeData(0, transfer(7, 1, 1, 0, "00")), "");
        add("sensor write addr 0x10000", frames::writeData(0, transfer(2, 1, 1, 0x10000, "00")), "");
        add("read more than 16", frames::readData(0, transfer(2, 3, 6, 0)), "");
        add("write 13 chip bytes", frames::writeData(0, transfer(1, 1, 13, 0)), "");
        add("fbuf read", frames::readFbufData(0, 1, 0x07, 0, 0x96000, 3000), "56 00 32 0C 01 07 00 00 00 00 00 09 60 00 0B B8");
        const uint8_t chars[15] = {};
        add("osd 15 chars", frames::writeOsdCharacters(0, 0, chars, 15), "");
    }
    void builders()
    {
        QFETCH(Frame, frame);
        QFETCH(QByteArray, expected);
        QCOMPARE(frame ? toHexText(wire(frame)) : QString(), toHexText(expected));
    }

    // Line settings and hex numbers as the user types them.
    void parsing()
    {
        LineSettings s;
        QVERIFY(LineSettings::parse("115200,E,7,2", s) && s.toString() == "115200,e,7,2");
        for (const char *bad : {"38400,x,8,1", "38400,n,9,1", "fast,n,8,1"})
            QVERIFY2(!LineSettings::parse(bad, s), bad);
        QCOMPARE(systemPortName("/dev/pts/7"), QString("/dev/pts/7"));
        QCOMPARE(systemPortName("com3"), QString("/dev/ttyS2"));
        QCOMPARE(parseHexNumber("0x 1A 10").value(), 0x1A10u);
        QCOMPARE(parseHexNumber("FFFFFFFF").value(), 0xFFFFFFFFu);
        for (const char *bad : {"123456789", "12G", ""})
            QVERIFY2(!parseHexNumber(bad), bad);
        QCOMPARE(parseHexBytes("ABC").value(), bytes("0A BC"));
        QVERIFY(!parseHexBytes("1X"));
    }

    // Each failure of the wire ends the command with its own result, the link stays usable, and
    // what the user reads is the result text, then which command it was and what to check.
    void failures_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("says");
        QTest::newRow("no answer") << QByteArray() << int(rc::TimeOut)
                                   << "Cmd time out\nsystem-reset: no answer in 300 ms: check the port, BautRate and "
                                      "the chip's power";
        QTest::newRow("wrong serial") << bytes("76 05 26 00 00") << int(rc::InvalidSerial)
                                      << "Invalid cmd serial number\nsystem-reset: the chip answers to serial number 5: "
                                         "choose it as \"Current Value:\" in Config";
        QTest::newRow("wrong sign") << bytes("56 00 26 00 00") << int(rc::InvalidSign)
                                    << "Invalid cmd sign\nsystem-reset: the answer was no frame of the chip: check "
                                       "BautRate and that nothing else writes to the line";
        QTest::newRow("17 data bytes") << (bytes("76 00 26 00 11") + QByteArray(17, '\0')) << int(rc::InvalidLength)
                                       << "Invalid cmd length\nsystem-reset: the answer was no frame of the chip: "
                                          "check BautRate and that nothing else writes to the line";
        QTest::newRow("chip status 5") << bytes("76 00 26 05 00") << 5
                                       << "Cmd recept, but execute failed\nsystem-reset: the chip took it but could not "
                                          "carry it out";
    }
    void failures()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, result);
        QFETCH(QString, says);
        Bench b([reply](const QByteArray &) { return std::vector<PeerAction>{{reply}}; });
        // A frame error must wake the waiter with its own cause, not leave it to the time-out:
        // with a long time-out, only the real cause can be the result of these.
        b.setTimeout(result == rc::TimeOut ? 300 : 20000);
        QCOMPARE(int(b.c.systemReset()), result);
        QCOMPARE(b.session.receiveState(), ReceiveState::Idle);
        QCOMPARE(failureText(b.session, uint8_t(result)), says);
        // The link stays usable.
        b.peer.setScript(answerAll());
        QCOMPARE(int(b.c.systemReset()), 0);
    }

    // On a terminal the hints name zmctl's options and commands; the closing answer of a raw
    // phase is named as such; a refused argument set names no command, since none was sent.
    void failureWordsOnATerminal_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("closing");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("says");
        QTest::newRow("capture runs") << int(cmd::SetFbufLength) << bytes("00 00 10 00") << false
                                      << int(rc::FbufNotStopped)
                                      << "set-fbuf-length (length 4096): stop frame capture first: zmctl fbuf-ctl "
                                         "stop-current (or fbuf-write --stop)";
        QTest::newRow("closing answer") << int(cmd::ReadFbufData) << bytes("00 0B 00 00 00 00 00 00 10 00 0B B8") << true
                                        << int(rc::TimeOut)
                                        << "the closing answer of read-fbuf-data (current, mode 0x0B (dma, mcu-uart, spi "
                                           "host), start 0x00000000, length 4096, delay 3000): no answer in 15000 ms: "
                                           "check the port, --baud and the chip's power";
        QTest::newRow("serial") << int(cmd::GetVersion) << QByteArray() << false << int(rc::InvalidSerial)
                                << "get-version: the chip answers to serial number 7: give --serial 7";
        QTest::newRow("refused") << int(cmd::GetVersion) << QByteArray() << false << int(rc::InvalidParameter)
                                 << "nothing was sent: a value is outside what the command takes";
        QTest::newRow("stopped") << int(cmd::ReadData) << bytes("01 01 00 00") << false << int(rc::Stopped) << "";
    }
    void failureWordsOnATerminal()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, data);
        QFETCH(bool, closing);
        QFETCH(int, result);
        QFETCH(QString, says);
        const LinkSession::SentCommand sent{true, uint8_t(code), data, closing ? 15000 : 3000, closing};
        QCOMPARE(failureContext(sent, uint8_t(result), 7, FailureWording::Terminal), says);
    }

    void idleAndTrailingBytesGoToTheDataShow()
    {
        Bench b([](const QByteArray &f) {
            return std::vector<PeerAction>{{ScriptedPeer::answer(uint8_t(f[2])) + "xyz"}};
        });
        // Something that looks like an answer arrives before any command: it is data, not an answer.
        b.peer.send(bytes("76 00 30 00 01 EE"));
        QTRY_COMPARE_WITH_TIMEOUT(b.shown(), bytes("76 00 30 00 01 EE"), 2000);
        QCOMPARE(int(b.c.systemReset()), 0);
        QTRY_COMPARE_WITH_TIMEOUT(b.shown(), bytes("76 00 30 00 01 EE") + "xyz", 2000);
    }

    // A reader that is busy (the console's GUI thread while a flood comes in) gets one notice and
    // takes everything that came meanwhile in one batch, in order: one queued copy per read
    // piled up thousands of events and held its event loop for tens of milliseconds.
    void idleBytesGatherForABusyReader()
    {
        Bench b([](const QByteArray &) { return std::vector<PeerAction>{}; });
        int notices = 0;
        connect(&b.session.idleFeed(), &IdleFeed::gathered, this, [&] { ++notices; });
        QByteArray sent;
        for (int i = 0; i < 40; ++i) {
            const QByteArray piece(64, char('a' + i % 26));
            b.peer.send(piece);
            sent += piece;
            QTest::qWait(2);
        }
        QTRY_COMPARE_WITH_TIMEOUT(b.session.idleFeed().waitingSize(), sent.size(), 2000);
        QCOMPARE(b.session.idleFeed().take(), sent);
        QCOMPARE(notices, 1);
        // Once taken, the next bytes are told again; switched off, nothing is kept.
        b.peer.send("x");
        QTRY_COMPARE_WITH_TIMEOUT(notices, 2, 2000);
        QCOMPARE(b.session.idleFeed().take(), QByteArray("x"));
        b.session.idleFeed().setGathering(false);
        b.peer.send("y");
        QTest::qWait(50);
        QVERIFY(b.session.idleFeed().take().isEmpty());
        QCOMPARE(notices, 2);
    }

    // The erase of the whole flash waits longer than the ordinary time-out however it is sent,
    // also as a raw command.
    void eraseByItsCodeWaitsLong()
    {
        Bench b([](const QByteArray &f) {
            return std::vector<PeerAction>{{ScriptedPeer::answer(uint8_t(f[2])), uint8_t(f[2]) == cmd::FlashChipErase ? 3500 : 0}};
        });
        AnswerRecord a;
        QCOMPARE(int(b.c.rawCommand(cmd::FlashChipErase, nullptr, 0, a)), 0);
        QCOMPARE(b.session.settings().commandTimeoutMs, LinkSettings::kDefaultTimeoutMs);
    }

    void peerHangsUpMidCommand()
    {
        Bench b([](const QByteArray &) { return std::vector<PeerAction>{{{}, 100, true}}; });
        QSignalSpy lost(&b.session, &LinkSession::portLostSignal);
        b.setTimeout(20000);
        // Ends with the failure as soon as the line goes, not after the time-out.
        QCOMPARE(int(b.c.systemReset()), int(rc::Unknown));
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 2000);
        QVERIFY(!b.session.isOpen());
        QVERIFY(failureText(b.session, rc::Unknown).isEmpty()); // the program tells the loss instead
        QCOMPARE(int(b.c.systemReset()), int(rc::SendFailed));
        QTest::qWait(100);
        QCOMPARE(lost.count(), 1);
        QCOMPARE(b.session.receiveState(), ReceiveState::Idle);
    }

    // A command that timed out, then the next one: the late answer arrives while the next one
    // waits, in a batch of its own or run together with the right answer. The next command gets
    // its own answer, and the late one goes to the data show.
    void lateAnswerIsNotTheNextOnesAnswer_data()
    {
        QTest::addColumn<bool>("sameBatch");
        QTest::newRow("separate batches") << false;
        QTest::newRow("one batch") << true;
    }
    void lateAnswerIsNotTheNextOnesAnswer()
    {
        QFETCH(bool, sameBatch);
        const QByteArray late = ScriptedPeer::answer(cmd::GetFbufLength, 0, bytes("00 00 41 DA"));
        const QByteArray mine = ScriptedPeer::answer(cmd::ReadData, 0, bytes("11 22 33 44"));
        Bench b([](const QByteArray &) { return std::vector<PeerAction>{}; });
        b.session.traffic().recorder().setEnabled(true);
        b.setTimeout(150);
        uint32_t length = 0;
        QCOMPARE(int(b.c.getFbufLength(0, length)), int(rc::TimeOut));
        b.setTimeout(3000);
        b.peer.setScript([&](const QByteArray &) {
            return sameBatch ? std::vector<PeerAction>{{late + mine, 200}} : std::vector<PeerAction>{{late, 200}, {mine, 100}};
        });
        TransferRecord t{1, 1, 4, 0x1A10};
        QCOMPARE(int(b.c.readData(t)), 0);
        QCOMPARE(toHexText(QByteArray(reinterpret_cast<const char *>(t.data.data()), 4)), QString("11 22 33 44"));
        QTRY_COMPARE_WITH_TIMEOUT(b.shown(), late, 2000);
        // The traffic log tells the time-out, and marks the late answer as a frame that came
        // while another command waited.
        std::vector<TrafficEvent> events;
        b.session.traffic().recorder().take(events);
        TrafficRows rows;
        rows.add(events);
        QStringList seen; // "direction mark command"
        for (size_t i = 0; i < rows.size(); ++i)
            seen << rows.at(i).direction() + " " + rows.at(i).mark + " " + rows.at(i).command;
        QCOMPARE(seen, (QStringList{"PC>chip  get-fbuf-length (0x34)", "chip>PC failed no answer", "PC>chip  read-data (0x30)",
                                    "chip>PC stray get-fbuf-length (0x34)", "chip>PC  read-data (0x30)"}));
        QCOMPARE(rows.at(1).status, QString("6 Cmd time out"));
    }

    // A motion notification arriving while a read waits is no answer to it.
    void notificationDuringARead()
    {
        const QByteArray notification = ScriptedPeer::answer(cmd::MotionNotification);
        Bench b([&](const QByteArray &f) {
            return std::vector<PeerAction>{{notification}, {ScriptedPeer::answer(uint8_t(f[2]), 0, bytes("01 02 03 04")), 20}};
        });
        QByteArray out(8, '\0');
        BlockDescriptor d{1, 0x1A10, 4, reinterpret_cast<uint8_t *>(out.data())};
        QCOMPARE(int(b.c.blockRead(&d, 1)), 0);
        QCOMPARE(out.left(4), bytes("01 02 03 04"));
        QTRY_COMPARE_WITH_TIMEOUT(b.shown(), notification, 2000);
    }

    // An answer with less data than the command needs is a format error, never padded.
    void shortAnswersAreRefused()
    {
        Bench b(answerAll(bytes("AA BB")));
        TransferRecord t{1, 1, 4};
        t.data.fill(0x77);
        QCOMPARE(int(b.c.readData(t)), int(rc::InvalidReceivedData));
        QCOMPARE(int(t.data[0]), 0x77);
        QByteArray out(8, '\x77');
        BlockDescriptor d{4, 0, 8, reinterpret_cast<uint8_t *>(out.data())};
        QCOMPARE(int(b.c.blockRead(&d, 1)), int(rc::InvalidReceivedData));
        QCOMPARE(out, QByteArray(8, '\x77'));
        ZoomInfo z;
        QCOMPARE(int(b.c.getZoom(z)), int(rc::InvalidReceivedData));
        // A longer answer gives exactly the bytes asked for.
        b.peer.setScript(answerAll(bytes("01 02 03 04 05 06")));
        t.count = 2;
        QCOMPARE(int(b.c.readData(t)), 0);
        QCOMPARE(int(t.data[1]), 2);
        QCOMPARE(int(t.data[2]), 0x77);
    }

    // A peer that sends an idle byte every 2 ms: the discard before each command must not be
    // taken for a lost line. Every command gets its answer, or 241 when an idle byte came first.
    void idleBytesNeverCloseTheLine()
    {
        Bench b;
        QSignalSpy lost(&b.session, &LinkSession::portLostSignal);
        std::atomic<bool> stop{false};
        std::thread chatter([&] {
            while (!stop) {
                b.peer.send("x");
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
        int ok = 0, sign = 0, other = 0;
        for (int i = 0; i < 2000; ++i) {
            const uint8_t r = b.c.systemReset();
            (r == 0 ? ok : r == rc::InvalidSign ? sign : other)++;
        }
        stop = true;
        chatter.join();
        QCOMPARE(other, 0);
        QVERIFY(ok > 1000);
        QVERIFY(b.session.isOpen());
        QCOMPARE(lost.count(), 0);
    }

    // The far end goes while the link thread is busy (here: inside the data show's handler,
    // which runs on it), and a command is queued meanwhile: its input discard is the first to
    // meet the dead line, and the port reports the loss inside that call. Nothing crashes, the
    // loss is told once, and the commands after it fail with "Send data failed".
    void lineLostWhileTheLinkIsBusy()
    {
        ScriptedPeer peer;
        SerialLink link;
        std::atomic<int> lost{0};
        std::atomic<bool> hungUp{false};
        link.setLostHandler([&](const QString &) { ++lost; });
        // The receiver runs on the link thread: it keeps the thread busy while the far end goes.
        link.setReceiver([&](const uint8_t *, size_t) {
            if (hungUp.exchange(true))
                return;
            peer.hangUp();
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        });
        QVERIFY(link.open(peer.path(), "38400,n,8,1"));
        peer.send("x");
        QTRY_VERIFY_WITH_TIMEOUT(hungUp.load(), 2000);
        // A command's first steps, queued behind the busy receiver: discard, then write.
        bool written = true;
        const uint8_t frame[] = {0x56, 0x00, 0x26, 0x00};
        link.call([&] {
            link.discardInputOnThread();
            written = link.writeOnThread(frame, sizeof frame);
        });
        QVERIFY(!written);
        QVERIFY(!link.isOpen());
        QCOMPARE(lost.load(), 1);
        link.call([&] { written = link.writeOnThread(frame, sizeof frame); });
        QVERIFY(!written);
        QCOMPARE(lost.load(), 1);
    }

    void blockWritePieces_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("page");
        QTest::addColumn<QList<int>>("pieces");
        QTest::newRow("spi eeprom across a page") << 5 << 0x00FC << 20 << 256 << QList<int>{4, 8, 8};
        QTest::newRow("spi flash small page") << 6 << 0x0006 << 12 << 8 << QList<int>{2, 8, 2};
        QTest::newRow("chip ignores the page") << 1 << 0x00FC << 20 << 256 << QList<int>{8, 8, 4};
        QTest::newRow("page of 1") << 5 << 0 << 3 << 1 << QList<int>{1, 1, 1};
    }
    void blockWritePieces()
    {
        QFETCH(int, type);
        QFETCH(int, address);
        QFETCH(int, length);
        QFETCH(int, page);
        QFETCH(QList<int>, pieces);
        Bench b;
        b.session.updateSettings([page](LinkSettings &s) { s.pageSize = page; });
        QByteArray data = bytes("0102030405060708090A0B0C0D0E0F1011121314").left(length);
        BlockDescriptor d{uint8_t(type), uint32_t(address), uint16_t(length), reinterpret_cast<uint8_t *>(data.data())};
        QCOMPARE(int(b.c.blockWrite(&d, 1)), 0);
        const auto frames = b.peer.frames();
        QCOMPARE(int(frames.size()), pieces.size());
        const int head = frames::transferHead(uint8_t(type));
        QByteArray sent;
        for (int i = 0; i < pieces.size(); ++i) {
            QCOMPARE(int(uint8_t(frames[i][5])), pieces[i]);
            // Each piece goes where the one before ended.
            const auto at = reinterpret_cast<const uint8_t *>(frames[i].constData()) + 6;
            QCOMPARE(int(head == 6 ? getBe32(at) : getBe16(at)), address + sent.size());
            sent += frames[i].mid(4 + head);
        }
        QCOMPARE(sent, data);
    }

    // One stop mechanism: a request's stop token ends its wait whenever the stop comes. Each wait
    // runs against a chip that stays silent with a long time-out, so only the stop can end it
    // with 252 rather than 6. A stop that came before the wait began (the closing answer is armed
    // on the link thread, the wait not yet entered) ends it as surely as one that comes during
    // it; a request already stopped sends nothing.
    void stopsEndEveryWait()
    {
        Bench b([](const QByteArray &) { return std::vector<PeerAction>{}; });
        b.setTimeout(20000);
        std::stop_source before;
        before.request_stop();
        QCOMPARE(int(b.session.waitForAnswer(20000, before.get_token())), int(rc::Stopped));
        QCOMPARE(b.session.receiveState(), ReceiveState::Idle);
        QCOMPARE(int(Commands(b.session, before.get_token()).systemReset()), int(rc::Stopped));
        QVERIFY(b.peer.frames().empty());
        AnswerRecord frame;
        b.session.startListening(cmd::MotionNotification);
        QCOMPARE(int(b.session.waitNotification(20000, frame, before.get_token())), int(rc::Stopped));
        b.session.stopListening();

        std::stop_source during;
        b.peer.setScript([&](const QByteArray &) {
            during.request_stop(); // the frame is out and armed for: the wait is about to begin or has
            return std::vector<PeerAction>{};
        });
        QCOMPARE(int(Commands(b.session, during.get_token()).systemReset()), int(rc::Stopped));
        QCOMPARE(b.session.receiveState(), ReceiveState::Idle);
        QCOMPARE(int(b.session.lastResult()), int(rc::Stopped));

        // The end of the program cuts short even the waits that no stop token reaches.
        b.peer.setScript({});
        std::thread ending([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            b.session.abortWaits(true);
        });
        QCOMPARE(int(b.c.systemReset()), int(rc::Stopped));
        ending.join();
        b.session.abortWaits(false);
        b.peer.setScript(answerAll());
        b.setTimeout(3000);
        QCOMPARE(int(b.c.systemReset()), 0);
    }

    // The turn: a window's second command is refused at once, while a requester that shares the
    // line waits for the turn up to its deadline (or its stop) and gets it when it is given back.
    void theTurnIsWaitedForOrRefused()
    {
        LinkSession session;
        QVERIFY(session.tryAcquire());
        QVERIFY(!session.tryAcquire());
        QVERIFY(!session.acquire(std::chrono::milliseconds(20)));
        std::stop_source stop;
        stop.request_stop();
        QVERIFY(!session.acquire(std::chrono::seconds(20), stop.get_token()));
        std::atomic<bool> got{false};
        std::thread waiter([&] { got = session.acquire(std::chrono::seconds(20)); });
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        QVERIFY(!got.load());
        session.release();
        waiter.join();
        QVERIFY(got.load());
        QVERIFY(session.isBusy());
        session.release();
        QVERIFY(!session.isBusy());
    }

    // Nonsense is refused before anything is sent, and a failing piece ends a block read. (Whole
    // reads are the dump tests' business.)
    void refusalsSendNothing()
    {
        int calls = 0;
        Bench b([&calls](const QByteArray &f) {
            return std::vector<PeerAction>{{ScriptedPeer::answer(uint8_t(f[2]), ++calls == 2 ? 5 : 0, QByteArray(8, '\0'))}};
        });
        TransferRecord t{7};
        QCOMPARE(int(b.c.readData(t)), int(rc::InvalidParameter));
        QCOMPARE(int(b.session.lastResult()), int(rc::InvalidParameter));
        QCOMPARE(int(b.c.fbufControl(9)), int(rc::InvalidParameter));
        // Longer than the frame buffer the session holds.
        QCOMPARE(int(b.c.readFbufData(0, 2, 0, LinkSession::kFbufCapacity + 1, 3000, true)), int(rc::InvalidParameter));
        QByteArray out(20, '\0');
        BlockDescriptor sensor{2, 0, 4, reinterpret_cast<uint8_t *>(out.data())};
        QCOMPARE(int(b.c.blockRead(&sensor, 1)), int(rc::Unknown));
        QCOMPARE(int(b.c.blockWrite(nullptr, 1)), int(rc::Unknown));
        BlockDescriptor d{4, 0x0010, 20, reinterpret_cast<uint8_t *>(out.data())};
        QCOMPARE(int(b.c.blockRead(&d, 0)), 0);
        QTest::qWait(50);
        QVERIFY(b.peer.frames().empty());
        QCOMPARE(int(b.c.blockRead(&d, 1)), 5);
        QCOMPARE(int(b.peer.frames().size()), 2);
    }
};

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
