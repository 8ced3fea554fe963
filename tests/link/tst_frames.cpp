// Frames, answer assembly and routing, result texts, frame builders and port names: pure code, no port.

#include "link/answer_assembly.h"
#include "link/receive_router.h"
#include "link/traffic_decode.h"

#include <QSet>
#include "link/frame_builders.h"
#include "link/hex_text.h"
#include "link/serial_link.h"

#include <QTest>

using namespace zm;

Q_DECLARE_METATYPE(zm::Frame)

namespace {

QByteArray bytes(const char *hex)
{
    return *parseHexBytes(QString::fromLatin1(hex));
}

QByteArray wire(const Frame &f)
{
    uint8_t out[kCommandHeader + kMaxData];
    const int n = f->encode(out);
    return QByteArray(reinterpret_cast<const char *>(out), n);
}

TransferRecord transfer(uint8_t type, uint8_t width, uint8_t count, uint32_t address, const char *data = "")
{
    TransferRecord t;
    t.type = type;
    t.width = width;
    t.count = count;
    t.address = address;
    const QByteArray d = bytes(data);
    std::copy(d.begin(), d.end(), t.data.begin());
    return t;
}

} // namespace

class TestFrames : public QObject
{
    Q_OBJECT

private slots:
    // Codes without a text of their own fall back to one, whatever gap of the table they are in.
    void resultTexts()
    {
        QCOMPARE(QString::fromLatin1(resultText(243)), QString("Invalid received data format"));
        for (int code : {7, 21, 23, 239})
            QCOMPARE(QString::fromLatin1(resultText(uint8_t(code))), QString("Unknow error number"));
    }

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
        const QByteArray v4 = bytes("76 00 30 00 04 11 22 33 44");
        const QByteArray d4 = bytes("11 22 33 44");
        QTest::newRow("one batch") << 0x30 << QList<QByteArray>{v4} << 0 << 0 << QByteArray() << d4;
        QTest::newRow("split 2+3+data") << 0x30 << QList<QByteArray>{v4.left(2), v4.mid(2, 3), v4.mid(5)} << 2 << 0
                                        << QByteArray() << d4;
        const QByteArray full = bytes("76 00 30 00 10") + QByteArray(16, '\x5A');
        QTest::newRow("21 bytes and one more") << 0x30 << QList<QByteArray>{full + "x"} << 0 << 0 << QByteArray("x")
                                               << QByteArray(16, '\x5A');
        QTest::newRow("length 0 and 3 trailing") << 0x26 << QList<QByteArray>{bytes("76 00 26 00 00 41 42 43")} << 0 << 0
                                                 << QByteArray("ABC") << QByteArray();
        QTest::newRow("wrong sign") << 0x11 << QList<QByteArray>{bytes("56 00 11 00 00")} << 0 << 241
                                    << bytes("56 00 11 00 00") << QByteArray();
        QTest::newRow("idle byte before the answer") << 0x11 << QList<QByteArray>{QByteArray("x") + bytes("76 00 11 00 00")}
                                                     << 0 << 241 << (QByteArray("x") + bytes("76 00 11 00 00")) << QByteArray();
        QTest::newRow("data length 17 cannot fit") << 0x30 << QList<QByteArray>{bytes("76 00 30 00 11")} << 0 << 240
                                                   << bytes("76 00 30 00 11") << QByteArray();
        QTest::newRow("header only, waits") << 0x30 << QList<QByteArray>{bytes("76 00 30 00 02 01")} << -1 << 0
                                            << QByteArray() << QByteArray();
        // A late answer of an earlier command, then ours, in one batch and split anywhere.
        const QByteArray late = bytes("76 00 34 00 04 00 00 41 DA");
        QTest::newRow("late answer first") << 0x30 << QList<QByteArray>{late + v4} << 0 << 0 << late << d4;
        QTest::newRow("late answer split") << 0x30 << QList<QByteArray>{late.left(7), late.mid(7) + v4.left(3), v4.mid(3)}
                                           << 2 << 0 << late << d4;
        const QByteArray motion = bytes("76 00 39 00 00");
        QTest::newRow("notification is no answer") << 0x30 << QList<QByteArray>{motion, v4} << 1 << 0 << motion << d4;
        QTest::newRow("closing answer skips notifications")
            << int(ReceiveRouter::kAnyButNotification) << QList<QByteArray>{motion + bytes("76 00 32 00 00")} << 0 << 0
            << motion << QByteArray();
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
            router.feed(reinterpret_cast<const uint8_t *>(batches[i].constData()), size_t(batches[i].size()), out);
            seen += out.show;
            if (out.answered) {
                QCOMPARE(completed, -1); // exactly once
                completed = i;
            }
        }
        QCOMPARE(completed, completesAt);
        QCOMPARE(int(router.frameError()), error);
        QCOMPARE(toHexText(seen), toHexText(shown));
        QVERIFY(router.answer().length <= kMaxData);
        if (completed >= 0 && error == 0) {
            const AnswerRecord &a = router.answer();
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(a.data.data()), a.length), data);
            QCOMPARE(router.state(), ReceiveState::Idle);
        }
        const auto &c = router.counters();
        QCOMPARE(c.fed, c.shown + c.answers + c.queued + c.raw + c.held + c.dropped + uint64_t(router.assembling()));
    }

    // A record's length never claims more data than it holds, whatever the length byte said.
    void brokenLengthNeverLeaksIntoTheRecord()
    {
        AnswerAssembly a;
        a.reset();
        const QByteArray b = bytes("76 EF C4 EF C4");
        const auto r = a.feed(reinterpret_cast<const uint8_t *>(b.constData()), size_t(b.size()));
        QCOMPARE(r.outcome, AnswerAssembly::Outcome::Error);
        QCOMPARE(int(a.error()), 240);
        QVERIFY(a.frame().length <= kMaxData);
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
        const QByteArray batch = bytes("76 00 32 00 00") + picture + bytes("76 00 32 00 00");
        ReceiveRouter::Output out;
        router.feed(reinterpret_cast<const uint8_t *>(batch.constData()), size_t(batch.size()), out);
        QVERIFY(out.answered);
        QVERIFY(out.show.isEmpty());
        QCOMPARE(router.state(), ReceiveState::RawComplete);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(router.rawData()), router.rawCount()), picture);
        QCOMPARE(int(router.heldNow()), 5);
        ReceiveRouter::Output closing;
        router.armClosing(0, closing);
        QVERIFY(closing.answered);
        QCOMPARE(router.state(), ReceiveState::Idle);
        const auto &c = router.counters();
        QCOMPARE(c.fed, c.shown + c.answers + c.queued + c.raw + c.held + c.dropped);
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
        const QByteArray refused;
        QTest::newRow("read 4 chip regs") << frames::readData(0, transfer(1, 1, 4, 0x1A10)) << bytes("56 00 30 04 01 04 1A 10");
        QTest::newRow("write flash byte") << frames::writeData(0, transfer(6, 1, 1, 0x12345, "5A")) << bytes("56 00 31 07 06 01 00 01 23 45 5A");
        QTest::newRow("write 12 chip bytes") << frames::writeData(0, transfer(1, 1, 12, 0x10, "0102030405060708090A0B0C"))
                                            << bytes("56 00 31 10 01 0C 00 10 01 02 03 04 05 06 07 08 09 0A 0B 0C");
        QTest::newRow("type 7") << frames::writeData(0, transfer(7, 1, 1, 0, "00")) << refused;
        QTest::newRow("sensor write addr 0x10000") << frames::writeData(0, transfer(2, 1, 1, 0x10000, "00")) << refused;
        QTest::newRow("read more than 16") << frames::readData(0, transfer(2, 3, 6, 0)) << refused;
        QTest::newRow("write 13 chip bytes") << frames::writeData(0, transfer(1, 1, 13, 0)) << refused;
        QTest::newRow("fbuf read") << frames::readFbufData(0, 1, 0x07, 0, 0x96000, 3000) << bytes("56 00 32 0C 01 07 00 00 00 00 00 09 60 00 0B B8");
        const uint8_t chars[15] = {};
        QTest::newRow("osd 15 chars") << frames::writeOsdCharacters(0, 0, chars, 15) << refused;
    }
    void builders()
    {
        QFETCH(Frame, frame);
        QFETCH(QByteArray, expected);
        if (expected.isEmpty()) {
            QVERIFY(!frame);
            return;
        }
        QVERIFY(frame);
        QCOMPARE(toHexText(wire(frame)), toHexText(expected));
    }

    // Line settings and hex numbers as the user types them.
    void parsing()
    {
        LineSettings s;
        QVERIFY(LineSettings::parse("115200,E,7,2", s));
        QCOMPARE(s.toString(), QString("115200,e,7,2"));
        for (const char *bad : {"38400,x,8,1", "38400,n,9,1", "fast,n,8,1"})
            QVERIFY2(!LineSettings::parse(bad, s), bad);
        QCOMPARE(systemPortName("COM20"), QString("/dev/ttyS19"));
        QCOMPARE(systemPortName("/dev/pts/7"), QString("/dev/pts/7"));
        QCOMPARE(parseHexNumber("0x 1A 10").value(), 0x1A10u);
        QCOMPARE(parseHexNumber("FFFFFFFF").value(), 0xFFFFFFFFu);
        for (const char *bad : {"123456789", "12G", ""})
            QVERIFY2(!parseHexNumber(bad), bad);
        QCOMPARE(parseHexBytes("ABC").value(), bytes("0A BC"));
        QVERIFY(!parseHexBytes("1X"));
    }
};

QTEST_APPLESS_MAIN(TestFrames)
#include "tst_frames.moc"
