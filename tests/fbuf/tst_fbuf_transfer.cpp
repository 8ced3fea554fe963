// The frame-buffer procedures against the simulated chip over a pseudo-terminal.

#include "tools/fbuf_transfer.h"
#include "sim/pty_chip.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <thread>

using namespace zm;

namespace {

QByteArray pattern(int n, int seed = 1)
{
    QByteArray b(n, '\0');
    uint32_t x = uint32_t(seed) * 2654435761u;
    for (int i = 0; i < n; ++i) {
        x = x * 1664525u + 1013904223u;
        b[i] = char(x >> 24);
    }
    return b;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A chip, a layer attached to it, and a transfer that records what it reports.
struct Rig {
    sim::PtyChip chip;
    CommandLayer layer;
    Commands c{layer};
    QStringList messages;
    QStringList lengths;
    QList<int> percents;
    Report report = makeReport();
    FbufTransfer transfer{c, report};
    QTemporaryDir dir;

    Rig()
    {
        QString error;
        if (!layer.open(chip.slavePath(), "115200,n,8,1", &error))
            qFatal("open: %s", qPrintable(error));
    }

    Report makeReport()
    {
        Report r;
        r.message = [this](const QString &m, MessageKind) {
            messages << m;
            return true;
        };
        r.value = [this](const QString &name, const QString &t) {
            if (name == QLatin1String("length"))
                lengths << t;
        };
        r.progress = [this](qint64 done, qint64 total) { percents << int(done * 100 / total); };
        return r;
    }

    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    QList<int> codes() const
    {
        QList<int> out;
        for (const QByteArray &f : chip.frames())
            out << uint8_t(f[2]);
        return out;
    }
};

} // namespace

class TestFbufTransfer : public QObject
{
    Q_OBJECT

private slots:
    void modeByteAndTexts()
    {
        FbufOptions o;
        QCOMPARE(int(o.modeByte(false)), 0x0A); // MCU, MCU UART, Host
        o.dma = true;
        o.device = 2;
        o.spiType = 1;
        o.videoSource = true;
        QCOMPARE(int(o.modeByte(false)), 0x07); // the video source bit is for writes only
        QCOMPARE(int(o.modeByte(true)), 0x17);
        QCOMPARE(fbufLengthText(3072), QString("0x00000C00 (3.00K)"));
        QCOMPARE(fbufLengthText(10000), QString("0x00002710 (9.77K)"));
    }

    void cipherRoundTripAndChaining()
    {
        const QByteArray plain = pattern(1000);
        QByteArray b = plain;
        fbufEncrypt(b, 0x5C);
        QVERIFY(b != plain);
        QCOMPARE(uint8_t(b[0]), uint8_t(plain[0] ^ 0x5C));
        for (int i = 1; i < b.size(); ++i)
            QCOMPARE(uint8_t(b[i]), uint8_t(plain[i] ^ b[i - 1]));
        fbufDecrypt(b, 0x5C);
        QCOMPARE(b, plain);
    }

    void readsAPictureByteForByte()
    {
        Rig r;
        const QByteArray picture = pattern(10000);
        r.chip.setFrameBuffer(0, picture);
        FbufOptions o;
        o.path = r.path("pic.jpg");
        QVERIFY(r.transfer.readToFile(o));
        QCOMPARE(readFile(o.path), picture);
        QCOMPARE(r.messages, QStringList{"Fbuf read finished!"});
        QCOMPARE(r.lengths, QStringList{"0x00002710 (9.77K)"});
        QCOMPARE(r.codes(), (QList<int>{0x34, 0x32}));
        QCOMPARE(r.layer.receiveState(), ReceiveState::Idle);
        QVERIFY(!r.percents.isEmpty() && r.percents.back() <= 100);
        // The next frame buffer is asked for with selector 1.
        r.chip.setFrameBuffer(1, pattern(5000, 2));
        o.frame = 1;
        QVERIFY(r.transfer.readToFile(o));
        QCOMPARE(readFile(o.path), pattern(5000, 2));
        QCOMPARE(uint8_t(r.chip.frames().last()[4]), uint8_t(1));
    }

    void emptyAndOversizedPicturesAreNotRead()
    {
        Rig r;
        FbufOptions o;
        o.path = r.path("none.jpg");
        r.chip.setFrameBuffer(0, QByteArray(4, '\x11'));
        QVERIFY(!r.transfer.readToFile(o));
        QCOMPARE(r.messages, QStringList{"No data in FBUF"});
        QCOMPARE(r.codes(), QList<int>{0x34});
        QVERIFY(!QFile::exists(o.path));

        r.messages.clear();
        r.chip.clearFrames();
        r.chip.setFrameBuffer(0, pattern(int(CommandLayer::kFbufCapacity) + 1));
        QVERIFY(!r.transfer.readToFile(o));
        QCOMPARE(r.messages.size(), 1);
        QVERIFY(r.messages[0].contains("614401") && r.messages[0].contains("614400"));
        QCOMPARE(r.codes(), QList<int>{0x34});
        QVERIFY(!QFile::exists(o.path));
    }

    void stalledReadKeepsTheEarlierFile()
    {
        Rig r;
        r.chip.setFrameBuffer(0, pattern(20000));
        r.chip.addFault("stall=5000,cmd=0x32");
        FbufOptions o;
        o.path = r.path("keep.jpg");
        QVERIFY(!r.transfer.readToFile(o));
        QCOMPARE(r.messages, QStringList{"Read data time out!"});
        QVERIFY(!QFile::exists(o.path)); // none before, none after
        writeFile(o.path, "earlier picture");
        r.messages.clear();
        QVERIFY(!r.transfer.readToFile(o));
        QCOMPARE(r.messages, QStringList{"Read data time out!"});
        QCOMPARE(readFile(o.path), QByteArray("earlier picture"));
        QCOMPARE(r.percents.back(), 0);
        QCOMPARE(r.layer.receiveState(), ReceiveState::Idle);
        // The link is usable afterwards.
        r.chip.clearFaults();
        r.messages.clear();
        QVERIFY(r.transfer.readToFile(o));
        QCOMPARE(readFile(o.path), pattern(20000));
    }

    void decryptsTheChipsEncryption()
    {
        Rig r;
        const QByteArray picture = pattern(8000, 3);
        r.chip.setFrameBuffer(0, picture);
        r.chip.setReg(0x1318, 0x80);
        r.chip.setReg(0x131D, 0xA7);
        FbufOptions o;
        o.path = r.path("enc.jpg");
        QVERIFY(r.transfer.readToFile(o));
        QVERIFY(readFile(o.path) != picture); // what the chip sends is encrypted
        o.crypt = true;
        o.key = 0xA7;
        QVERIFY(r.transfer.readToFile(o));
        QCOMPARE(readFile(o.path), picture);
    }

    void writesOneByteAtATime()
    {
        Rig r;
        const QByteArray file = pattern(200, 4);
        FbufOptions o;
        o.path = r.path("in.jpg");
        writeFile(o.path, file);
        r.chip.withModel([](sim::ChipModel &m) { m.frameBuffers().control(0); }); // stop capture
        const quint64 before = r.layer.writeCount();
        QVERIFY(r.transfer.writeFromFile(o));
        // The command frame, 200 single bytes, and set-fbuf-length.
        QCOMPARE(r.layer.writeCount() - before, quint64(202));
        QCOMPARE(r.codes().mid(r.codes().size() - 2), (QList<int>{0x33, 0x35}));
        QCOMPARE(r.chip.frames().last(), QByteArray::fromHex("56003504000000C8"));
        QCOMPARE(r.percents.back(), 100);
        QCOMPARE(r.messages, QStringList{"Fbuf write finished!"});
        QCOMPARE(r.chip.frameBuffer(0), file);
    }

    void otherDeviceCreatesNoFile()
    {
        Rig r;
        r.chip.setFrameBuffer(0, pattern(3000));
        FbufOptions o;
        o.device = 2; // SPI: the chip moves the data itself
        o.path = r.path("spi.jpg");
        QVERIFY2(r.transfer.readToFile(o), qPrintable(r.messages.join('|')));
        QVERIFY(!QFile::exists(o.path));
        QCOMPARE(r.codes(), (QList<int>{0x34, 0x32}));
        QCOMPARE(r.messages, QStringList{"Fbuf read finished!"});
        // A PC on the HUART makes the HUART the streaming device.
        r.layer.setPcUart(2);
        o.device = 1;
        r.chip.withModel([](sim::ChipModel &m) { m.setPcUart(2); });
        QVERIFY(r.transfer.readToFile(o));
        QCOMPARE(readFile(o.path), pattern(3000));
    }

    void failuresGiveTheirMessages()
    {
        Rig r;
        FbufOptions o;
        o.path = r.path("x.jpg");
        r.chip.addFault("status=5,cmd=0x34,times=1");
        QVERIFY(!r.transfer.readToFile(o));
        QCOMPARE(r.messages.last(), QString("Get fbuf size failed!:Cmd recept, but execute failed"));
        r.chip.addFault("status=4,cmd=0x32,times=1");
        QVERIFY(!r.transfer.readToFile(o));
        QCOMPARE(r.messages.last(), QString("Set read fbuf data failed!:Cmd can't run in current status"));
        o.path = r.path("missing.jpg");
        QVERIFY(!r.transfer.writeFromFile(o));
        QVERIFY(r.messages.last().startsWith("Open file failed!\n"));
        o.path = r.path("in.jpg");
        writeFile(o.path, pattern(50));
        // Capture still running: the chip refuses to set the length.
        r.chip.withModel([](sim::ChipModel &m) { m.frameBuffers().control(3); });
        QVERIFY(!r.transfer.writeFromFile(o));
        QCOMPARE(r.messages.last(), QString("Set fbuf size failed!:Frame buffer not stop, can't set length"));
        o.path = r.dir.filePath("no/such/dir/out.jpg");
        QVERIFY(!r.transfer.readToFile(o));
        QVERIFY(r.messages.last().startsWith("Create file failed!\n"));
        QCOMPARE(r.layer.receiveState(), ReceiveState::Idle);
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
        const bool ok = r.transfer.readToFile(o);
        cut.join();
        QVERIFY(!ok);
        QVERIFY(r.layer.portLost());
        QCOMPARE(r.messages, QStringList{"The port was lost during the transfer."});
        QCOMPARE(readFile(o.path), QByteArray("old"));
        QCOMPARE(r.layer.receiveState(), ReceiveState::Idle);
    }
};

QTEST_GUILESS_MAIN(TestFbufTransfer)
#include "tst_fbuf_transfer.moc"
