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
    void resultTexts_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << "Cmd correct";
        QTest::newRow("1") << 1 << "Invalid cmd";
        QTest::newRow("2") << 2 << "Invalid data length";
        QTest::newRow("3") << 3 << "Invalid data format";
        QTest::newRow("4") << 4 << "Cmd can't run in current status";
        QTest::newRow("5") << 5 << "Cmd recept, but execute failed";
        QTest::newRow("6") << 6 << "Cmd time out";
        QTest::newRow("20") << 20 << "Frame buffer not stop, can't set length";
        QTest::newRow("22") << 22 << "Now is in power save, can't execute this cmd";
        QTest::newRow("240") << 240 << "Invalid cmd length";
        QTest::newRow("241") << 241 << "Invalid cmd sign";
        QTest::newRow("242") << 242 << "Invalid cmd serial number";
        QTest::newRow("243") << 243 << "Invalid received data format";
        QTest::newRow("253") << 253 << "Invalid parameter";
        QTest::newRow("254") << 254 << "Send data failed";
        QTest::newRow("255") << 255 << "Unknow error";
        QTest::newRow("7") << 7 << "Unknow error number";
        QTest::newRow("21") << 21 << "Unknow error number";
        QTest::newRow("23") << 23 << "Unknow error number";
        QTest::newRow("239") << 239 << "Unknow error number";
    }
    void resultTexts()
    {
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(QString::fromLatin1(resultText(uint8_t(code))), text);
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
        QTest::newRow("byte by byte") << 0x30 << [&] {
            QList<QByteArray> l;
            for (char c : v4)
                l << QByteArray(1, c);
            return l;
        }() << 8 << 0 << QByteArray() << d4;
        const QByteArray full = bytes("76 00 30 00 10") + QByteArray(16, '\x5A');
        QTest::newRow("21 bytes accepted") << 0x30 << QList<QByteArray>{full} << 0 << 0 << QByteArray() << QByteArray(16, '\x5A');
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
        QCOMPARE(count, 38);
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
        QCOMPARE(traffic::describeCommand(0x30, reinterpret_cast<const uint8_t *>("\x01\x04\x1A\x10"), 4),
                 QString("chip 0x1A10, 4 items"));
        QCOMPARE(traffic::describeCommand(0x42, reinterpret_cast<const uint8_t *>("\x01\x03\x00\xFA"), 4),
                 QString("alarm: always, level low, time 250 x 10 ms"));
        QCOMPARE(traffic::describeAnswer(0x34, 0, reinterpret_cast<const uint8_t *>("\x00\x00\x41\xDA"), 4),
                 QString("length 16858"));
    }

    void builders_data()
    {
        QTest::addColumn<Frame>("frame");
        QTest::addColumn<QByteArray>("expected"); // empty: refused
        const QByteArray refused;
        QTest::newRow("read 4 chip regs") << frames::readData(0, transfer(1, 1, 4, 0x1A10)) << bytes("56 00 30 04 01 04 1A 10");
        QTest::newRow("read sensor w2") << frames::readData(7, transfer(2, 2, 2, 0x0012)) << bytes("56 07 30 05 02 02 02 00 12");
        QTest::newRow("write flash byte") << frames::writeData(0, transfer(6, 1, 1, 0x12345, "5A")) << bytes("56 00 31 07 06 01 00 01 23 45 5A");
        QTest::newRow("write 12 chip bytes") << frames::writeData(0, transfer(1, 1, 12, 0x10, "0102030405060708090A0B0C"))
                                            << bytes("56 00 31 10 01 0C 00 10 01 02 03 04 05 06 07 08 09 0A 0B 0C");
        QTest::newRow("write ccir w3") << frames::writeData(0, transfer(3, 3, 1, 0x20, "AABBCC")) << bytes("56 00 31 08 03 01 03 00 20 AA BB CC");
        QTest::newRow("type 0") << frames::readData(0, transfer(0, 1, 1, 0)) << refused;
        QTest::newRow("type 7") << frames::writeData(0, transfer(7, 1, 1, 0, "00")) << refused;
        QTest::newRow("sensor write addr 0x10000") << frames::writeData(0, transfer(2, 1, 1, 0x10000, "00")) << refused;
        QTest::newRow("chip read addr 0x10000") << frames::readData(0, transfer(1, 1, 1, 0x10000)) << refused;
        QTest::newRow("flash width 2") << frames::writeData(0, transfer(6, 2, 1, 0, "0000")) << refused;
        QTest::newRow("read more than 16") << frames::readData(0, transfer(2, 3, 6, 0)) << refused;
        QTest::newRow("write 11 to flash") << frames::writeData(0, transfer(6, 1, 11, 0)) << refused;
        QTest::newRow("write 13 chip bytes") << frames::writeData(0, transfer(1, 1, 13, 0)) << refused;
        QTest::newRow("count 0") << frames::readData(0, transfer(1, 1, 0, 0)) << refused;
        QTest::newRow("fbuf read") << frames::readFbufData(0, 1, 0x07, 0, 0x96000, 3000) << bytes("56 00 32 0C 01 07 00 00 00 00 00 09 60 00 0B B8");
        QTest::newRow("fbuf write") << frames::writeFbufData(0, 0x12, 0, 200, 3000) << bytes("56 00 33 0B 12 00 00 00 00 00 00 00 C8 0B B8");
        QTest::newRow("fbuf set len") << frames::setFbufLength(0, 200) << bytes("56 00 35 04 00 00 00 C8");
        QTest::newRow("fbuf control 4") << frames::fbufControl(0, 4) << refused;
        QTest::newRow("baud mcu") << frames::setBaudRateMcuUart(0, 0x1234) << bytes("56 00 24 03 01 12 34");
        QTest::newRow("power save timer") << frames::setPowerSaveTimer(0, 3, 600) << bytes("56 00 3E 04 01 03 02 58");
        QTest::newRow("get power save 2") << frames::getPowerSave(0, 2) << refused;
        QTest::newRow("motion alarm") << frames::setMotionAlarm(0, 3, 100) << bytes("56 00 42 04 01 03 00 64");
        QTest::newRow("get motion 4") << frames::getMotionControl(0, 4) << refused;
        const uint8_t chars[14] = {'A', 'B'};
        QTest::newRow("osd 14 chars") << frames::writeOsdCharacters(0, 0, chars, 14) << (bytes("56 00 45 10 0E 00 41 42") + QByteArray(12, '\0'));
        QTest::newRow("osd 15 chars") << frames::writeOsdCharacters(0, 0, chars, 15) << refused;
        QTest::newRow("set time") << frames::setTime(0, RtcTime{2026, 12, 6, 9, 30, 5}) << bytes("56 00 50 07 07 EA 0C 06 09 1E 05");
        QTest::newRow("set zoom") << frames::setZoom(0, ZoomRect{320, 240, 16, 8}) << bytes("56 00 52 08 01 40 00 F0 00 10 00 08");
        QTest::newRow("logo 3") << frames::logoControl(0, 3, 0x0102, 0x00030405) << bytes("56 00 70 07 03 01 02 00 03 04 05");
        QTest::newRow("bitmap 1") << frames::bitmapControl(0, 1, 9, 9) << bytes("56 00 71 01 01");
        QTest::newRow("bitmap 2") << frames::bitmapControl(0, 2, 0x0A0B, 0x01020304) << bytes("56 00 71 07 02 0A 0B 01 02 03 04");
        QTest::newRow("serial number") << frames::setSerialNumber(3, 9) << bytes("56 03 21 01 09");
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

    void lineSettingsAndPortNames()
    {
        LineSettings s;
        QVERIFY(LineSettings::parse("38400,n,8,1", s));
        QCOMPARE(s.toString(), QString("38400,n,8,1"));
        QVERIFY(LineSettings::parse("115200,E,7,2", s));
        QCOMPARE(s.baud, 115200);
        QCOMPARE(s.parity, 'e');
        QVERIFY(!LineSettings::parse("38400,x,8,1", s));
        QVERIFY(!LineSettings::parse("38400,n,9,1", s));
        QVERIFY(!LineSettings::parse("fast,n,8,1", s));
        QCOMPARE(systemPortName("COM1"), QString("/dev/ttyS0"));
        QCOMPARE(systemPortName("COM20"), QString("/dev/ttyS19"));
        QCOMPARE(systemPortName("/dev/pts/7"), QString("/dev/pts/7"));
        QCOMPARE(systemPortName("ttyUSB0"), QString("ttyUSB0"));
    }

    void hexText()
    {
        QCOMPARE(parseHexNumber("1a10").value(), 0x1A10u);
        QCOMPARE(parseHexNumber("0x 1A 10").value(), 0x1A10u);
        QCOMPARE(parseHexNumber("FFFFFFFF").value(), 0xFFFFFFFFu);
        QVERIFY(!parseHexNumber("123456789"));
        QVERIFY(!parseHexNumber("12G"));
        QVERIFY(!parseHexNumber(""));
        QCOMPARE(parseHexBytes("ABC").value(), bytes("0A BC"));
        QCOMPARE(parseHexBytes("12 34").value(), bytes("1234"));
        QVERIFY(!parseHexBytes("1X"));
        QCOMPARE(toHexText(bytes("0a0b"), ""), QString("0A0B"));
    }
};

QTEST_APPLESS_MAIN(TestFrames)
#include "tst_frames.moc"
