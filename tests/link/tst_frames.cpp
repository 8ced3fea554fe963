// Frames, answer assembly, result texts, frame builders and port names: pure code, no port.

#include "link/answer_assembly.h"
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

    // Each row: batches of an answer; which batch completes it (-1: none); the error; trailing count.
    void assembly_data()
    {
        QTest::addColumn<QList<QByteArray>>("batches");
        QTest::addColumn<int>("completesAt");
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("trailing");
        const QByteArray v4 = bytes("76 00 30 00 04 11 22 33 44");
        QTest::newRow("one batch") << QList<QByteArray>{v4} << 0 << 0 << 0;
        QTest::newRow("split 2+3+data") << QList<QByteArray>{v4.left(2), v4.mid(2, 3), v4.mid(5)} << 2 << 0 << 0;
        QTest::newRow("byte by byte") << [&] {
            QList<QByteArray> l;
            for (char c : v4)
                l << QByteArray(1, c);
            return l;
        }() << 8 << 0 << 0;
        const QByteArray full = bytes("76 00 30 00 10") + QByteArray(16, '\x5A');
        QTest::newRow("21 bytes accepted") << QList<QByteArray>{full} << 0 << 0 << 0;
        QTest::newRow("22 bytes in one batch") << QList<QByteArray>{full + "x"} << -1 << 240 << 0;
        QTest::newRow("22 bytes, last one late") << QList<QByteArray>{full.left(20), full.mid(20) + "x"} << -1 << 240 << 0;
        QTest::newRow("length 0 and 3 trailing") << QList<QByteArray>{bytes("76 00 26 00 00 41 42 43")} << 0 << 0 << 3;
        QTest::newRow("wrong sign") << QList<QByteArray>{bytes("56 00 11 00 00")} << -1 << 241 << 0;
        QTest::newRow("wrong sign, rest ignored") << QList<QByteArray>{bytes("56"), bytes("00 11 00 00")} << -1 << 241 << 0;
        QTest::newRow("data length 17 cannot fit") << QList<QByteArray>{bytes("76 00 30 00 11")} << -1 << 240 << 0;
        QTest::newRow("header only, waits") << QList<QByteArray>{bytes("76 00 30 00 02 01")} << -1 << 0 << 0;
    }
    void assembly()
    {
        QFETCH(QList<QByteArray>, batches);
        QFETCH(int, completesAt);
        QFETCH(int, error);
        QFETCH(int, trailing);
        AnswerAssembly a;
        a.reset();
        AnswerRecord rec;
        int completed = -1;
        for (int i = 0; i < batches.size(); ++i) {
            const auto r = a.feed(reinterpret_cast<const uint8_t *>(batches[i].constData()), size_t(batches[i].size()), rec);
            if (r.outcome == AnswerAssembly::Outcome::Complete) {
                QCOMPARE(completed, -1); // exactly once
                completed = i;
                QCOMPARE(int(batches[i].size() - qsizetype(r.used)), trailing);
            }
        }
        QCOMPARE(completed, completesAt);
        QCOMPARE(int(a.error()), error);
        if (completed >= 0) {
            const QByteArray all = batches.join();
            QCOMPARE(int(rec.code), int(uint8_t(all[2])));
            QCOMPARE(int(rec.length), int(uint8_t(all[4])));
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(rec.data.data()), rec.length), all.mid(5, rec.length));
        }
    }

    void assemblyHandOverTakesExactlyOneFrame()
    {
        // The answer of a raw phase followed by far more than 21 bytes of picture in one batch.
        AnswerAssembly a;
        a.reset();
        AnswerRecord rec;
        const QByteArray batch = bytes("76 00 32 00 00") + QByteArray(5000, '\xAB');
        const auto r = a.feedFrame(reinterpret_cast<const uint8_t *>(batch.constData()), size_t(batch.size()), rec);
        QCOMPARE(r.outcome, AnswerAssembly::Outcome::Complete);
        QCOMPARE(int(r.used), 5);
        // And split inside the header, with data.
        a.reset();
        const QByteArray two = bytes("76 00 34 00 04 00 00 27 10 FF D8");
        auto r1 = a.feedFrame(reinterpret_cast<const uint8_t *>(two.constData()), 3, rec);
        QCOMPARE(r1.outcome, AnswerAssembly::Outcome::Incomplete);
        auto r2 = a.feedFrame(reinterpret_cast<const uint8_t *>(two.constData()) + 3, size_t(two.size() - 3), rec);
        QCOMPARE(r2.outcome, AnswerAssembly::Outcome::Complete);
        QCOMPARE(int(r2.used), 6);
        QCOMPARE(getBe32(rec.data.data()), 10000u);
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
