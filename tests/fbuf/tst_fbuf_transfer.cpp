// The frame-buffer procedures against the simulated chip over a pseudo-terminal: the mode byte,
// reads (plain and encrypted) and writes, and how each of them fails.

#include "tests/ctrlinfo/ctrl_info_rig.h"
#include "tools/fbuf_settings.h"
#include "tools/fbuf_transfer.h"

#include <QTest>
#include <QThread>

#include <thread>

using namespace zm;
using test::pattern;
using test::readFile;

namespace {

// A chip, a session open on it, and a frame-buffer transfer that records its messages.
struct Rig : test::CtrlInfoRig {
    FbufTransfer transfer{c, report};
};

void writeFile(const QString &path, const QByteArray &bytes) { QVERIFY(test::writeFile(path, bytes)); }

struct ReadCase {
    int frame = 0;
    int device = 0;
    int pcUart = 1;
    int chipKey = -1; // the chip encrypts with this key
    bool decrypt = false;
};

struct Failure {
    bool write;
    int pictureSize; // in the frame buffer
    const char *fault;
    const char *file;
    bool earlier; // the file holds an earlier picture
    const char *message;
};

} // namespace

Q_DECLARE_METATYPE(ReadCase)
Q_DECLARE_METATYPE(Failure)

class TestFbufTransfer : public QObject
{
    Q_OBJECT

private slots:
    void modeByte()
    {
        FbufOptions o;
        QCOMPARE(int(o.modeByte(false)), 0x0A); // MCU, MCU UART, Host
        o.dma = true;
        o.device = 2;
        o.spiType = 1;
        o.videoSource = true;
        QCOMPARE(int(o.modeByte(false)), 0x07); // the video source bit is for writes only
        QCOMPARE(int(o.modeByte(true)), 0x17);
    }

    // A picture comes into the file byte for byte from the frame buffer asked for, decrypted
    // when asked to (the simulated chip has its own cipher); over SPI the chip moves it itself and no file is made, and a PC on the
    // HUART makes the HUART the streaming device.
    void reads_data()
    {
        QTest::addColumn<ReadCase>("c");
        QTest::newRow("current frame") << ReadCase{};
        QTest::newRow("next frame") << ReadCase{.frame = 1};
        QTest::newRow("encrypted, decrypted") << ReadCase{.chipKey = 0xA7, .decrypt = true};
        QTest::newRow("encrypted, kept") << ReadCase{.chipKey = 0xA7};
        QTest::newRow("SPI") << ReadCase{.device = 2};
        QTest::newRow("PC on the HUART") << ReadCase{.device = 1, .pcUart = 2};
    }
    void reads()
    {
        QFETCH(ReadCase, c);
        Rig r;
        const QByteArray picture = pattern(10000, c.frame + 1);
        r.chip.setFrameBuffer(c.frame, picture);
        if (c.chipKey >= 0) {
            r.chip.setReg(kFbufCryptRegister, 0x80);
            r.chip.setReg(kFbufKeyRegister, uint8_t(c.chipKey));
        }
        r.session.updateSettings([&](LinkSettings &s) { s.pcUart = c.pcUart; });
        r.chip.withModel([&](sim::ChipModel &m) { m.setPcUart(c.pcUart); });
        FbufOptions o;
        o.frame = uint8_t(c.frame);
        o.device = c.device;
        o.crypt = c.decrypt;
        o.key = uint8_t(c.chipKey);
        o.path = r.path("pic.jpg");
        QVERIFY2(r.transfer.readToFile(o).isDone(), qPrintable(r.messages.join('|')));
        QCOMPARE(r.messages, QStringList{"Fbuf read finished!"});
        QCOMPARE(r.codes(), (QList<int>{0x34, 0x32}));
        QCOMPARE(int(r.chip.frames().last()[4]), c.frame);
        QByteArray expected = picture;
        if (c.chipKey >= 0 && !c.decrypt)
            fbufEncrypt(expected, uint8_t(c.chipKey));
        if (c.device == 2)
            QVERIFY(!QFile::exists(o.path));
        else
            QCOMPARE(readFile(o.path), expected);
        QCOMPARE(r.session.receiveState(), ReceiveState::Idle);
    }

    // The length tried first, the command frame, 200 single bytes, and set-fbuf-length.
    void writesOneByteAtATime()
    {
        Rig r;
        const QByteArray file = pattern(200, 4);
        FbufOptions o;
        o.path = r.path("in.jpg");
        writeFile(o.path, file);
        r.chip.withModel([](sim::ChipModel &m) { m.frameBuffers().control(0); }); // stop capture
        const quint64 before = r.session.writeCount();
        QVERIFY(r.transfer.writeFromFile(o).isDone());
        QCOMPARE(r.session.writeCount() - before, quint64(204));
        QCOMPARE(r.codes().mid(r.codes().size() - 4), (QList<int>{0x34, 0x35, 0x33, 0x35}));
        QCOMPARE(r.chip.frames().last(), QByteArray::fromHex("56003504000000C8"));
        QCOMPARE(r.messages, QStringList{"Fbuf write finished!"});
        QCOMPARE(r.chip.frameBuffer(0), file);
    }

    // Each failure says what failed, leaves a file that was there as it was and makes none
    // that was not, and leaves the link usable for the next read.
    void failures_data()
    {
        QTest::addColumn<Failure>("f");
        QTest::newRow("no data") << Failure{false, 4, "", "none.jpg", false, "No data in FBUF"};
        QTest::newRow("longer than the buffer")
            << Failure{false, int(LinkSession::kFbufCapacity) + 1, "", "long.jpg", false,
                       "The picture is 614401 bytes long, more than the 614400 bytes the receive buffer holds"};
        QTest::newRow("size refused") << Failure{false, 5000, "status=5,cmd=0x34", "keep.jpg", true,
                                                 "Get fbuf size failed!:Cmd recept, but execute failed"};
        QTest::newRow("read refused") << Failure{false, 5000, "status=4,cmd=0x32", "keep.jpg", true,
                                                 "Set read fbuf data failed!:Cmd can't run in current status"};
        QTest::newRow("stalled") << Failure{false, 20000, "stall=5000,cmd=0x32", "keep.jpg", true, "Read data time out!"};
        QTest::newRow("stalled, no file before")
            << Failure{false, 20000, "stall=5000,cmd=0x32", "new.jpg", false, "Read data time out!"};
        QTest::newRow("no folder") << Failure{false, 5000, "", "no/such/dir/out.jpg", false, "Create file failed!\n"};
        QTest::newRow("no file to write") << Failure{true, 0, "", "missing.jpg", false, "Open file failed!\n"};
        // Capture still running: the chip refuses to set the length.
        QTest::newRow("capture running") << Failure{true, 0, "", "in.jpg", true,
                                                    "Set fbuf size failed!:Frame buffer not stop, can't set length"};
    }
    void failures()
    {
        QFETCH(Failure, f);
        Rig r;
        r.chip.setFrameBuffer(0, pattern(f.pictureSize));
        QVERIFY(!*f.fault || r.chip.addFault(f.fault));
        FbufOptions o;
        o.path = r.path(f.file);
        if (f.earlier)
            writeFile(o.path, "earlier picture");
        QVERIFY((f.write ? r.transfer.writeFromFile(o) : r.transfer.readToFile(o)).isFailed());
        QCOMPARE(r.messages.size(), 1);
        QVERIFY2(r.messages[0].startsWith(f.message), qPrintable(r.messages[0]));
        QCOMPARE(readFile(o.path), f.earlier ? QByteArray("earlier picture") : QByteArray());
        QCOMPARE(QFile::exists(o.path), f.earlier);
        QCOMPARE(r.session.receiveState(), ReceiveState::Idle);

        r.chip.clearFaults();
        r.chip.setFrameBuffer(0, pattern(3000));
        o.path = r.path("after.jpg");
        QVERIFY(r.transfer.readToFile(o).isDone());
        QCOMPARE(readFile(o.path), pattern(3000));
    }

    void hangUpDuringARead()
    {
        Rig r;
        r.chip.setBaud(115200);
        r.chip.setFrameBuffer(0, pattern(60000));
        FbufOptions o;
        o.path = r.path("lost.jpg");
        writeFile(o.path, "old");
        std::thread cut([&] {
            // Well inside the picture's five seconds on the line, the line goes away.
            QThread::msleep(500);
            r.chip.reopen();
        });
        const bool ok = r.transfer.readToFile(o).isDone();
        cut.join();
        QVERIFY(!ok);
        QVERIFY(r.session.portLost());
        QCOMPARE(r.messages, QStringList{"The port was lost during the transfer."});
        QCOMPARE(readFile(o.path), QByteArray("old"));
        QCOMPARE(r.session.receiveState(), ReceiveState::Idle);
    }
};

QTEST_GUILESS_MAIN(TestFbufTransfer)
#include "tst_fbuf_transfer.moc"
