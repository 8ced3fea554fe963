// The transport and the command operations end to end: the real QSerialPort on a
// pseudo-terminal, against a scripted peer.

#include "scripted_peer.h"

#include "link/commands.h"
#include "link/hex_text.h"
#include "link/traffic_rows.h"

#include <QSignalSpy>
#include <QTest>

#include <barrier>
#include <thread>

using namespace zm;
using zm::test::PeerAction;
using zm::test::ScriptedPeer;

namespace {

QByteArray bytes(const char *hex)
{
    return *parseHexBytes(QString::fromLatin1(hex));
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
    CommandLayer layer;
    Commands c{layer};

    explicit Bench(ScriptedPeer::Script s = answerAll())
        : peer(std::move(s))
    {
        QString error;
        if (!layer.open(peer.path(), "38400,n,8,1", &error))
            qFatal("open failed: %s", qPrintable(error));
    }
};

} // namespace

class TestTransport : public QObject
{
    Q_OBJECT

private slots:
    void answerInTimeCopiesData()
    {
        Bench b(answerAll(bytes("11 22 33 44")));
        TransferRecord t;
        t.count = 4;
        t.address = 0x1A10;
        QCOMPARE(int(b.c.readData(t)), 0);
        QCOMPARE(toHexText(QByteArray(reinterpret_cast<const char *>(t.data.data()), 4)), QString("11 22 33 44"));
        QCOMPARE(b.peer.frames().at(0), bytes("56 00 30 04 01 04 1A 10"));
        QCOMPARE(b.layer.receiveState(), ReceiveState::Idle);
        QCOMPARE(int(b.layer.lastResult()), 0);
    }

    void answerSplitAndLate()
    {
        Bench b([](const QByteArray &f) {
            const QByteArray a = ScriptedPeer::answer(uint8_t(f[2]), 0, "ZM3386 V1.0", 0);
            return std::vector<PeerAction>{{a.left(2)}, {a.mid(2, 3), 30}, {a.mid(5), 30}};
        });
        QByteArray text;
        QCOMPARE(int(b.c.getVersion(text)), 0);
        QCOMPARE(text, QByteArray("ZM3386 V1.0"));

        // An answer after the time-out: 6, idle, and the late bytes do not disturb the next command.
        b.layer.setCommandTimeout(200);
        b.peer.setScript([](const QByteArray &f) {
            return std::vector<PeerAction>{{ScriptedPeer::answer(uint8_t(f[2]), 0, "LATE"), 400}};
        });
        QCOMPARE(int(b.c.systemReset()), int(rc::TimeOut));
        QCOMPARE(b.layer.receiveState(), ReceiveState::Idle);
        QTest::qWait(400);
        b.peer.setScript(answerAll("\x01"));
        uint8_t down = 0;
        QCOMPARE(int(b.c.getDownSize(down)), 0);
        QCOMPARE(int(down), 1);
    }

    void failures_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("result");
        QTest::newRow("no answer") << QByteArray() << int(rc::TimeOut);
        QTest::newRow("wrong serial") << bytes("76 05 26 00 00") << int(rc::InvalidSerial);
        QTest::newRow("wrong sign") << bytes("56 00 26 00 00") << int(rc::InvalidSign);
        QTest::newRow("17 data bytes") << (bytes("76 00 26 00 11") + QByteArray(17, '\0')) << int(rc::InvalidLength);
        QTest::newRow("chip status 5") << bytes("76 00 26 05 00") << 5;
        QTest::newRow("chip status 22") << bytes("76 00 26 16 00") << 22;
    }
    void failures()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, result);
        Bench b([reply](const QByteArray &) { return std::vector<PeerAction>{{reply}}; });
        // A frame error must wake the waiter with its own cause, not leave it to the time-out:
        // with a long time-out, only the real cause can be the result of these.
        b.layer.setCommandTimeout(result == rc::TimeOut ? 300 : 20000);
        QCOMPARE(int(b.c.systemReset()), result);
        QCOMPARE(int(b.layer.lastResult()), result);
        QCOMPARE(b.layer.receiveState(), ReceiveState::Idle);
        // The link stays usable.
        b.peer.setScript(answerAll());
        QCOMPARE(int(b.c.systemReset()), 0);
    }

    void refusedArgumentsSendNothing()
    {
        Bench b;
        TransferRecord t;
        t.type = 7;
        QCOMPARE(int(b.c.readData(t)), int(rc::InvalidParameter));
        QCOMPARE(int(b.layer.lastResult()), int(rc::InvalidParameter));
        QCOMPARE(int(b.c.fbufControl(9)), int(rc::InvalidParameter));
        QTest::qWait(50);
        QVERIFY(b.peer.frames().empty());
    }

    void idleAndTrailingBytesGoToTheDataShow()
    {
        Bench b([](const QByteArray &f) {
            return std::vector<PeerAction>{{ScriptedPeer::answer(uint8_t(f[2])) + "xyz"}};
        });
        QByteArray shown;
        connect(&b.layer, &CommandLayer::idleBytes, this, [&](const QByteArray &d) { shown += d; }, Qt::DirectConnection);
        // Something that looks like an answer arrives before any command: it is data, not an answer.
        b.peer.send(bytes("76 00 30 00 01 EE"));
        QTRY_COMPARE_WITH_TIMEOUT(shown, bytes("76 00 30 00 01 EE"), 2000);
        TransferRecord t;
        QCOMPARE(int(b.c.systemReset()), 0);
        QTRY_COMPARE_WITH_TIMEOUT(shown, bytes("76 00 30 00 01 EE") + "xyz", 2000);
    }

    void serialNumberFollowsTheCommand()
    {
        Bench b;
        QCOMPARE(int(b.c.setSerialNumber(9)), 0);
        QCOMPARE(int(b.layer.serialNumber()), 9);
        QCOMPARE(int(b.c.systemReset()), 0); // the peer echoes the new number
        QCOMPARE(b.peer.frames().back(), bytes("56 09 26 00"));
    }

    void eraseWaitsLongerThenTimeoutComesBack()
    {
        Bench b([](const QByteArray &f) {
            // The erase answers after more than the ordinary time-out.
            const int delay = uint8_t(f[2]) == cmd::FlashChipErase ? 3500 : 0;
            return std::vector<PeerAction>{{ScriptedPeer::answer(uint8_t(f[2])), delay}};
        });
        QCOMPARE(int(b.c.flashChipErase()), 0);
        QCOMPARE(b.layer.commandTimeout(), CommandLayer::kDefaultTimeout);
        b.peer.setScript([](const QByteArray &) { return std::vector<PeerAction>{}; });
        QCOMPARE(int(b.c.systemReset()), int(rc::TimeOut));
    }

    void busyFlagAdmitsOneWorker()
    {
        CommandLayer layer;
        for (int round = 0; round < 200; ++round) {
            std::atomic<int> winners{0};
            std::barrier sync(2);
            auto contender = [&] {
                sync.arrive_and_wait();
                if (layer.tryAcquire())
                    ++winners;
            };
            std::thread a(contender), b(contender);
            a.join();
            b.join();
            QCOMPARE(winners.load(), 1);
            layer.release();
        }
    }

    void openRules()
    {
        Bench b;
        QString error;
        QVERIFY(!b.layer.open(b.peer.path(), "38400,n,8,1", &error));
        QVERIFY(!error.isEmpty());
        CommandLayer other;
        QVERIFY(!other.open("/dev/does-not-exist", "38400,n,8,1", &error));
        QVERIFY(error.contains("does-not-exist"));
        QVERIFY(!other.isOpen());
        // A closed link refuses to send.
        QCOMPARE(int(Commands(other).systemReset()), int(rc::SendFailed));
    }

    void peerHangsUpMidCommand()
    {
        Bench b([](const QByteArray &) { return std::vector<PeerAction>{{{}, 100, true}}; });
        QSignalSpy lost(&b.layer, &CommandLayer::portLostSignal);
        b.layer.setCommandTimeout(20000);
        // Ends with the failure as soon as the line goes, not after the time-out.
        QCOMPARE(int(b.c.systemReset()), int(rc::Unknown));
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 2000);
        QVERIFY(!b.layer.isOpen());
        QCOMPARE(int(b.c.systemReset()), int(rc::SendFailed));
        QTest::qWait(100);
        QCOMPARE(lost.count(), 1);
        QCOMPARE(b.layer.receiveState(), ReceiveState::Idle);
    }

    void rawReceiveHandOverInOneBatch()
    {
        // The answer, the whole picture and the closing answer in one write.
        QByteArray picture(3000, '\0');
        for (int i = 0; i < picture.size(); ++i)
            picture[i] = char(i * 7);
        Bench b([picture](const QByteArray &f) {
            return std::vector<PeerAction>{{ScriptedPeer::answer(uint8_t(f[2])) + picture + ScriptedPeer::answer(uint8_t(f[2]))}};
        });
        QCOMPARE(int(b.c.readFbufData(0, 2, 0, uint32_t(picture.size()), 3000, true)), 0);
        QCOMPARE(b.layer.receiveState(), ReceiveState::RawComplete);
        QCOMPARE(b.layer.rawData(), picture);
        QCOMPARE(int(b.layer.waitForAnswer(200)), 0);
        QCOMPARE(b.layer.receiveState(), ReceiveState::Idle);
        // Longer than the buffer is refused before anything is sent.
        QCOMPARE(int(b.c.readFbufData(0, 2, 0, CommandLayer::kFbufCapacity + 1, 3000, true)), int(rc::InvalidParameter));
        QCOMPARE(int(b.peer.frames().size()), 1);
    }

    // A command that timed out, then the next one: the late answer arrives while the next one
    // waits (first in its own batch, then run together with the right answer). The next command
    // gets its own answer, and the late one goes to the data show.
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
        Bench b([&](const QByteArray &f) {
            if (uint8_t(f[2]) == cmd::GetFbufLength)
                return sameBatch ? std::vector<PeerAction>{} : std::vector<PeerAction>{{late, 300}};
            const QByteArray mine = ScriptedPeer::answer(uint8_t(f[2]), 0, bytes("11 22 33 44"));
            if (sameBatch)
                return std::vector<PeerAction>{};
            return std::vector<PeerAction>{{mine}};
        });
        QByteArray shown;
        connect(&b.layer, &CommandLayer::idleBytes, this, [&](const QByteArray &d) { shown += d; }, Qt::DirectConnection);
        b.layer.setCommandTimeout(150);
        uint32_t length = 0;
        QCOMPARE(int(b.c.getFbufLength(0, length)), int(rc::TimeOut));
        b.layer.setCommandTimeout(3000);
        if (sameBatch) {
            // The late answer and ours leave the chip together, after our command went out.
            b.peer.setScript([&](const QByteArray &) {
                return std::vector<PeerAction>{{late + ScriptedPeer::answer(cmd::ReadData, 0, bytes("11 22 33 44")), 200}};
            });
        }
        TransferRecord t;
        t.count = 4;
        t.address = 0x1A10;
        QCOMPARE(int(b.c.readData(t)), 0);
        QCOMPARE(toHexText(QByteArray(reinterpret_cast<const char *>(t.data.data()), 4)), QString("11 22 33 44"));
        QTRY_COMPARE_WITH_TIMEOUT(shown, late, 2000);
    }

    // A motion notification arriving while a read waits is no answer to it.
    void notificationDuringARead()
    {
        const QByteArray notification = ScriptedPeer::answer(cmd::MotionNotification);
        Bench b([&](const QByteArray &f) {
            return std::vector<PeerAction>{{notification}, {ScriptedPeer::answer(uint8_t(f[2]), 0, bytes("01 02 03 04")), 20}};
        });
        QByteArray shown;
        connect(&b.layer, &CommandLayer::idleBytes, this, [&](const QByteArray &d) { shown += d; }, Qt::DirectConnection);
        QByteArray out(8, '\0');
        BlockDescriptor d{1, 0x1A10, 4, reinterpret_cast<uint8_t *>(out.data())};
        QCOMPARE(int(b.c.blockRead(&d, 1)), 0);
        QCOMPARE(out.left(4), bytes("01 02 03 04"));
        QTRY_COMPARE_WITH_TIMEOUT(shown, notification, 2000);
    }

    // An answer with less data than the command needs is a format error, never padded.
    void shortAnswersAreRefused()
    {
        Bench b(answerAll(bytes("AA BB")));
        TransferRecord t;
        t.count = 4;
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

    // The erase of the whole flash waits long however it is sent, also as a raw command.
    void eraseByItsCodeWaitsLong()
    {
        Bench b([](const QByteArray &f) {
            return std::vector<PeerAction>{{ScriptedPeer::answer(uint8_t(f[2])), uint8_t(f[2]) == 0x62 ? 3500 : 0}};
        });
        AnswerRecord a;
        QCOMPARE(int(b.c.rawCommand(0x62, nullptr, 0, a)), 0);
        QCOMPARE(b.layer.timeoutFor(0x26), CommandLayer::kDefaultTimeout);
    }

    // A peer that sends an idle byte every 2 ms: the discard before each command must not be
    // taken for a lost line. Every command gets its answer, or 241 when an idle byte came first.
    void idleBytesNeverCloseTheLine()
    {
        Bench b;
        QSignalSpy lost(&b.layer, &CommandLayer::portLostSignal);
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
        QVERIFY(b.layer.isOpen());
        QCOMPARE(lost.count(), 0);
    }

    // The far end goes while the link thread is busy (here: inside the data show's handler,
    // which runs on it), and a command is queued meanwhile: its input discard is the first to
    // meet the dead line, and the port reports the loss inside that call. Nothing crashes, the
    // loss is told once, and the commands after it fail with "Send data failed".
    void lineLostWhileTheLinkIsBusy()
    {
        Bench b;
        QSignalSpy lost(&b.layer, &CommandLayer::portLostSignal);
        QCOMPARE(int(b.c.systemReset()), 0);
        std::atomic<bool> hungUp{false};
        connect(
            &b.layer, &CommandLayer::idleBytes, this,
            [&](const QByteArray &) {
                if (hungUp.exchange(true))
                    return;
                b.peer.hangUp();
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            },
            Qt::DirectConnection);
        b.peer.send("x");
        QTRY_VERIFY_WITH_TIMEOUT(hungUp.load(), 2000);
        const uint8_t first = b.c.systemReset();
        QVERIFY2(first == rc::SendFailed || first == rc::Unknown, resultText(first));
        QCOMPARE(int(b.c.systemReset()), int(rc::SendFailed));
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 2000);
        QVERIFY(!b.layer.isOpen());
        QTest::qWait(50);
        QCOMPARE(lost.count(), 1);
    }

    // The traffic log's rows of a session: a read with its round trip, a command that timed
    // out, the late answer that came after it, and a picture read as one raw row.
    void trafficRows()
    {
        QByteArray picture(3000, '\x5A');
        Bench b([&](const QByteArray &f) {
            const uint8_t code = uint8_t(f[2]);
            if (code == cmd::GetFbufLength)
                return std::vector<PeerAction>{{ScriptedPeer::answer(code, 0, bytes("00 00 00 10")), 300}};
            if (code == cmd::ReadFbufData)
                return std::vector<PeerAction>{{ScriptedPeer::answer(code)}, {picture, 20}, {ScriptedPeer::answer(code), 20}};
            return std::vector<PeerAction>{{ScriptedPeer::answer(code, 0, bytes("11 22 33 44"))}};
        });
        b.layer.traffic().setEnabled(true);
        TransferRecord t;
        t.count = 4;
        t.address = 0x1A10;
        QCOMPARE(int(b.c.readData(t)), 0);
        b.layer.setCommandTimeout(150);
        uint32_t length = 0;
        QCOMPARE(int(b.c.getFbufLength(0, length)), int(rc::TimeOut));
        b.layer.setCommandTimeout(3000);
        QTest::qWait(300); // the late answer comes while nothing waits for it
        QCOMPARE(int(b.c.readFbufData(0, 0x0A, 0, 3000, 0, true)), 0);
        QVERIFY(b.layer.waitRawProgress(0, 2000) > 0 || b.layer.receiveState() == ReceiveState::RawComplete);
        QTRY_COMPARE_WITH_TIMEOUT(b.layer.receiveState(), ReceiveState::RawComplete, 2000);
        QCOMPARE(int(b.layer.waitForAnswer(2000)), 0);

        std::vector<TrafficRecorder::Event> events;
        b.layer.traffic().take(events);
        TrafficRows rows;
        rows.add(events);
        QStringList seen;
        for (size_t i = 0; i < rows.size(); ++i)
            seen << rows.at(i).direction() + " " + rows.at(i).mark + " " + rows.at(i).command;
        QCOMPARE(seen, (QStringList{"PC>chip  read-data (0x30)", "chip>PC  read-data (0x30)",
                                    "PC>chip  get-fbuf-length (0x34)", "chip>PC failed no answer",
                                    "chip>PC idle idle bytes", // the late answer, while nothing waited
                                    "PC>chip  read-fbuf-data (0x32)", "chip>PC  read-fbuf-data (0x32)",
                                    "chip>PC raw raw data", "chip>PC  read-fbuf-data (0x32)"}));
        QCOMPARE(rows.at(0).fields, QString("chip 0x1A10, 4 items"));
        QVERIFY(rows.at(1).roundTripMs.has_value());
        QCOMPARE(rows.at(3).status, QString("6 Cmd time out"));
        QVERIFY(rows.at(3).failure);
        QCOMPARE(rows.at(7).fields.section(' ', 0, 1), QString("3000 bytes"));
        // The late answer is a frame while a command waits: a stray row.
        b.layer.traffic().take(events);
        b.peer.setScript([](const QByteArray &f) {
            return std::vector<PeerAction>{{ScriptedPeer::answer(cmd::GetFbufLength, 0, bytes("00 00 00 10"))},
                                           {ScriptedPeer::answer(uint8_t(f[2]), 0, bytes("01 02 03 04"))}};
        });
        QCOMPARE(int(b.c.readData(t)), 0);
        events.clear();
        b.layer.traffic().take(events);
        TrafficRows more;
        more.add(events);
        QCOMPARE(more.size(), size_t(3));
        QCOMPARE(more.at(1).mark, QString("stray"));
        QVERIFY(more.csv().startsWith("Time (ms),Direction,Mark,Command"));
        QCOMPARE(more.csv(-1, true).count('\n'), 1); // the header: no failures
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
        b.layer.setPageSize(page);
        QByteArray data(length, '\0');
        for (int i = 0; i < length; ++i)
            data[i] = char(i + 1);
        BlockDescriptor d{uint8_t(type), uint32_t(address), uint16_t(length), reinterpret_cast<uint8_t *>(data.data())};
        QCOMPARE(int(b.c.blockWrite(&d, 1)), 0);
        const auto frames = b.peer.frames();
        QCOMPARE(int(frames.size()), pieces.size());
        const int head = frames::transferHead(uint8_t(type));
        QByteArray sent;
        uint32_t next = uint32_t(address);
        for (int i = 0; i < pieces.size(); ++i) {
            QCOMPARE(int(uint8_t(frames[i][5])), pieces[i]);
            const uint32_t at = head == 6 ? getBe32(reinterpret_cast<const uint8_t *>(frames[i].constData()) + 6)
                                          : getBe16(reinterpret_cast<const uint8_t *>(frames[i].constData()) + 6);
            QCOMPARE(at, next);
            next += uint32_t(pieces[i]);
            sent += frames[i].mid(4 + head);
        }
        QCOMPARE(sent, data);
    }

    void blockReadAndItsRefusals()
    {
        Bench b([](const QByteArray &f) {
            const int n = uint8_t(f[5]);
            QByteArray d;
            for (int i = 0; i < n; ++i)
                d.append(char(uint8_t(f[7]) + i)); // the low address byte plus the offset
            return std::vector<PeerAction>{{ScriptedPeer::answer(uint8_t(f[2]), 0, d)}};
        });
        QByteArray out(20, '\0');
        BlockDescriptor d{4, 0x0010, 20, reinterpret_cast<uint8_t *>(out.data())};
        QCOMPARE(int(b.c.blockRead(&d, 1)), 0);
        for (int i = 0; i < 20; ++i)
            QCOMPARE(int(uint8_t(out[i])), 0x10 + i);
        QCOMPARE(int(b.peer.frames().size()), 3);

        BlockDescriptor sensor{2, 0, 4, reinterpret_cast<uint8_t *>(out.data())};
        QCOMPARE(int(b.c.blockRead(&sensor, 1)), int(rc::Unknown));
        QCOMPARE(int(b.c.blockWrite(nullptr, 1)), int(rc::Unknown));
        QCOMPARE(int(b.c.blockRead(&d, 0)), 0);
        QCOMPARE(int(b.peer.frames().size()), 3);

        // Stops at the first failing piece.
        int calls = 0;
        b.peer.setScript([&calls](const QByteArray &f) {
            return std::vector<PeerAction>{{ScriptedPeer::answer(uint8_t(f[2]), ++calls == 2 ? 5 : 0, QByteArray(8, '\0'))}};
        });
        QCOMPARE(int(b.c.blockRead(&d, 1)), 5);
        QCOMPARE(int(b.peer.frames().size()), 5);
    }
};

QTEST_GUILESS_MAIN(TestTransport)
#include "tst_transport.moc"
