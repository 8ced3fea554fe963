// The transport and the command operations end to end: the real QSerialPort on a
// pseudo-terminal, against a scripted peer.

#include "scripted_peer.h"

#include "link/commands.h"
#include "link/hex_text.h"
#include "link/traffic_rows.h"

#include <QSignalSpy>
#include <QTest>

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

// The traffic log's rows since the last call, one "direction mark command" line each.
QStringList trafficRows(CommandLayer &layer, TrafficRows &rows)
{
    std::vector<TrafficRecorder::Event> events;
    layer.traffic().take(events);
    rows.add(events);
    QStringList seen;
    for (size_t i = 0; i < rows.size(); ++i)
        seen << rows.at(i).direction() + " " + rows.at(i).mark + " " + rows.at(i).command;
    return seen;
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
    void failures_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("result");
        QTest::newRow("no answer") << QByteArray() << int(rc::TimeOut);
        QTest::newRow("wrong serial") << bytes("76 05 26 00 00") << int(rc::InvalidSerial);
        QTest::newRow("wrong sign") << bytes("56 00 26 00 00") << int(rc::InvalidSign);
        QTest::newRow("17 data bytes") << (bytes("76 00 26 00 11") + QByteArray(17, '\0')) << int(rc::InvalidLength);
        QTest::newRow("chip status 5") << bytes("76 00 26 05 00") << 5;
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
        // Longer than the frame buffer the layer holds.
        QCOMPARE(int(b.c.readFbufData(0, 2, 0, CommandLayer::kFbufCapacity + 1, 3000, true)), int(rc::InvalidParameter));
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
        QCOMPARE(int(b.c.systemReset()), 0);
        QTRY_COMPARE_WITH_TIMEOUT(shown, bytes("76 00 30 00 01 EE") + "xyz", 2000);
    }

    // A reader that is busy (the console's GUI thread while a flood comes in) gets one notice and
    // takes everything that came meanwhile in one batch, in order: one queued copy per read
    // piled up thousands of events and held its event loop for tens of milliseconds.
    void idleBytesGatherForABusyReader()
    {
        Bench b([](const QByteArray &) { return std::vector<PeerAction>{}; });
        b.layer.gatherIdleBytes(true);
        std::atomic<int> notices{0};
        connect(&b.layer, &CommandLayer::idleBytesGathered, this, [&] { ++notices; }, Qt::DirectConnection);
        QByteArray seen; // told after the gathering, so once all is seen all is gathered
        connect(&b.layer, &CommandLayer::idleBytes, this, [&](const QByteArray &d) { seen += d; }, Qt::DirectConnection);
        QByteArray sent;
        for (int i = 0; i < 40; ++i) {
            const QByteArray piece(64, char('a' + i % 26));
            b.peer.send(piece);
            sent += piece;
            QTest::qWait(2);
        }
        QTRY_COMPARE_WITH_TIMEOUT(seen, sent, 2000);
        QCOMPARE(b.layer.takeIdleBytes(), sent);
        QCOMPARE(notices.load(), 1);
        // Once taken, the next bytes are told again; switched off, nothing is kept.
        b.peer.send("x");
        QTRY_COMPARE_WITH_TIMEOUT(notices.load(), 2, 2000);
        QCOMPARE(b.layer.takeIdleBytes(), QByteArray("x"));
        b.layer.gatherIdleBytes(false);
        b.peer.send("y");
        QTest::qWait(50);
        QVERIFY(b.layer.takeIdleBytes().isEmpty());
        QCOMPARE(notices.load(), 2);
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
        QCOMPARE(b.layer.commandTimeout(), CommandLayer::kDefaultTimeout);
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
        b.layer.traffic().setEnabled(true);
        QByteArray shown;
        connect(&b.layer, &CommandLayer::idleBytes, this, [&](const QByteArray &d) { shown += d; }, Qt::DirectConnection);
        b.layer.setCommandTimeout(150);
        uint32_t length = 0;
        QCOMPARE(int(b.c.getFbufLength(0, length)), int(rc::TimeOut));
        b.layer.setCommandTimeout(3000);
        b.peer.setScript([&](const QByteArray &) {
            return sameBatch ? std::vector<PeerAction>{{late + mine, 200}} : std::vector<PeerAction>{{late, 200}, {mine, 100}};
        });
        TransferRecord t;
        t.count = 4;
        t.address = 0x1A10;
        QCOMPARE(int(b.c.readData(t)), 0);
        QCOMPARE(toHexText(QByteArray(reinterpret_cast<const char *>(t.data.data()), 4)), QString("11 22 33 44"));
        QTRY_COMPARE_WITH_TIMEOUT(shown, late, 2000);
        // The traffic log tells the time-out, and marks the late answer as a frame that came
        // while another command waited.
        TrafficRows rows;
        QCOMPARE(trafficRows(b.layer, rows), (QStringList{"PC>chip  get-fbuf-length (0x34)", "chip>PC failed no answer",
                                                          "PC>chip  read-data (0x30)", "chip>PC stray get-fbuf-length (0x34)",
                                                          "chip>PC  read-data (0x30)"}));
        QCOMPARE(rows.at(1).status, QString("6 Cmd time out"));
        QCOMPARE(rows.at(2).fields, QString("chip 0x1A10, 4 items"));
        QVERIFY(rows.at(4).roundTripMs.has_value());
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

    // The traffic log's rows of a picture read: the picture is one raw row between the answer
    // and the closing answer; bytes while nothing waits are idle bytes.
    void trafficRowsOfARawRead()
    {
        const QByteArray picture(3000, '\x5A');
        Bench b([&](const QByteArray &f) {
            const QByteArray a = ScriptedPeer::answer(uint8_t(f[2]));
            return std::vector<PeerAction>{{a}, {picture, 20}, {a, 20}};
        });
        b.layer.traffic().setEnabled(true);
        QCOMPARE(int(b.c.readFbufData(0, 0x0A, 0, 3000, 0, true)), 0);
        QTRY_COMPARE_WITH_TIMEOUT(b.layer.receiveState(), ReceiveState::RawComplete, 2000);
        QCOMPARE(int(b.layer.waitForAnswer(2000)), 0);
        b.peer.send("x");
        TrafficRows rows;
        QTRY_COMPARE_WITH_TIMEOUT(trafficRows(b.layer, rows).size(), qsizetype(5), 2000);
        QCOMPARE(trafficRows(b.layer, rows), (QStringList{"PC>chip  read-fbuf-data (0x32)", "chip>PC  read-fbuf-data (0x32)",
                                                          "chip>PC raw raw data", "chip>PC  read-fbuf-data (0x32)",
                                                          "chip>PC idle idle bytes"}));
        QCOMPARE(rows.at(2).fields.section(' ', 0, 1), QString("3000 bytes"));
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

    // Nonsense is refused before anything is sent, and a failing piece ends the read. (Whole
    // reads are the dump tests' business.)
    void blockReadRefusalsAndStop()
    {
        int calls = 0;
        Bench b([&calls](const QByteArray &f) {
            return std::vector<PeerAction>{{ScriptedPeer::answer(uint8_t(f[2]), ++calls == 2 ? 5 : 0, QByteArray(8, '\0'))}};
        });
        QByteArray out(20, '\0');
        BlockDescriptor sensor{2, 0, 4, reinterpret_cast<uint8_t *>(out.data())};
        QCOMPARE(int(b.c.blockRead(&sensor, 1)), int(rc::Unknown));
        QCOMPARE(int(b.c.blockWrite(nullptr, 1)), int(rc::Unknown));
        BlockDescriptor d{4, 0x0010, 20, reinterpret_cast<uint8_t *>(out.data())};
        QCOMPARE(int(b.c.blockRead(&d, 0)), 0);
        QVERIFY(b.peer.frames().empty());
        QCOMPARE(int(b.c.blockRead(&d, 1)), 5);
        QCOMPARE(int(b.peer.frames().size()), 2);
    }
};

QTEST_GUILESS_MAIN(TestTransport)
#include "tst_transport.moc"
