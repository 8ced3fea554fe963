// The simulated chip through a real pseudo-terminal, driven with plain POSIX calls as a client.

#include "sim/pty_chip.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace zm;
using namespace zm::sim;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray be32(uint32_t v)
{
    QByteArray b(4, '\0');
    putBe32(reinterpret_cast<uint8_t *>(b.data()), v);
    return b;
}

// A client end of the line, as a program opens a serial port.
class Port {
public:
    explicit Port(const QString &path)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd >= 0) {
            termios tio{};
            ::tcgetattr(m_fd, &tio);
            ::cfmakeraw(&tio);
            ::tcsetattr(m_fd, TCSANOW, &tio);
        }
    }
    ~Port()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }

    bool write(const QByteArray &bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0) {
                done += n;
            } else if (n < 0 && errno == EAGAIN) {
                pollfd p{m_fd, POLLOUT, 0};
                ::poll(&p, 1, 1000);
            } else {
                return false;
            }
        }
        return true;
    }

    // Reads until `count` bytes are in or `timeoutMs` passed without the count being reached.
    QByteArray read(qsizetype count, int timeoutMs = 5000)
    {
        QByteArray got;
        QElapsedTimer timer;
        timer.start();
        while (got.size() < count && timer.elapsed() < timeoutMs) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            if (p.revents & POLLHUP) {
                m_hungUp = true;
                break;
            }
            char buffer[65536];
            const ssize_t n = ::read(m_fd, buffer, size_t(std::min<qsizetype>(sizeof buffer, count - got.size())));
            if (n > 0)
                got.append(buffer, n);
            else if (n == 0 || errno == EIO) {
                m_hungUp = true;
                break;
            }
        }
        return got;
    }
    // Everything that arrives within `ms`.
    QByteArray readFor(int ms) { return read(1 << 30, ms); }
    bool hungUp() const { return m_hungUp; }

private:
    int m_fd = -1;
    bool m_hungUp = false;
};

QByteArray readFbufFrame(uint32_t length)
{
    return hex("56003 20c 00 02 00000000") + be32(length) + hex("0bb8");
}

QByteArray writeFbufFrame(uint32_t length)
{
    return hex("5600330b 02 00000000") + be32(length) + hex("0000");
}

QByteArray pattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 131) ^ (i >> 8));
    return bytes;
}

} // namespace

class TestSimPty : public QObject {
    Q_OBJECT

private slots:
    void answersAndRecords();
    void readFbufStream_data();
    void readFbufStream();
    void writeFbufStream_data();
    void writeFbufStream();
    void notificationsWhileCommMotionOpen();
    void faultsOverTheLine();
    void stallStopsTheStream();
    void hangupClosesTheLine();
    void clientsComeAndGo();
    void traceFile();
};

void TestSimPty::answersAndRecords()
{
    PtyChip chip;
    QVERIFY2(chip.isOpen(), qPrintable(chip.errorString()));
    Port port(chip.slavePath());
    QVERIFY(port.isOpen());
    QVERIFY(port.write(hex("56001100")));
    QCOMPARE(port.read(16), hex("760011000b") + "ZM3386V1.02");
    QVERIFY(port.write(hex("5600310601 02 1a10 7f01")));
    QCOMPARE(port.read(5), hex("7600310000"));
    QCOMPARE(chip.reg(0x1A10), uint8_t(0x7F));
    chip.setReg(0x1A12, 0x44);
    QVERIFY(port.write(hex("5600300401031a10")));
    QCOMPARE(port.read(8), hex("76003000037f0144"));
    QVERIFY(chip.waitForFrames(3, 1000));
    QCOMPARE(chip.frames().at(1), hex("5600310601021a107f01"));

    // A paced line and a turnaround change when, not what.
    chip.setBaud(9600);
    chip.setTurnaround(30);
    QVERIFY(port.write(hex("56006000")));
    QCOMPARE(port.read(9), hex("760060000400001000"));
}

void TestSimPty::readFbufStream_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<bool>("encrypted");
    QTest::newRow("unpaced") << 0 << false;
    QTest::newRow("unpaced encrypted") << 0 << true;
    QTest::newRow("921600 baud") << 921600 << false;
}

void TestSimPty::readFbufStream()
{
    QFETCH(int, baud);
    QFETCH(bool, encrypted);
    PtyChip::Options options;
    options.baud = baud;
    PtyChip chip(options);
    // Large enough to fill the pseudo-terminal many times over when unpaced.
    const QByteArray picture = pattern(baud ? 20'000 : 300'000);
    chip.setFrameBuffer(0, picture);
    if (encrypted) {
        chip.setReg(0x1318, 0x80);
        chip.setReg(0x131D, 0x3C);
    }
    Port port(chip.slavePath());
    QVERIFY(port.write(readFbufFrame(uint32_t(picture.size()))));
    QCOMPARE(port.read(5), hex("7600320000"));
    QByteArray raw = port.read(picture.size(), 10'000);
    QCOMPARE(raw.size(), picture.size());
    if (encrypted) {
        uint8_t previous = 0x3C;
        for (char &c : raw) {
            const uint8_t in = uint8_t(c);
            c = char(in ^ previous);
            previous = in;
        }
    }
    QVERIFY(raw == picture);
    QCOMPARE(port.read(5), hex("7600320000"));
    QCOMPARE(port.readFor(100), QByteArray());
}

void TestSimPty::writeFbufStream_data()
{
    QTest::addColumn<int>("baud");
    QTest::newRow("unpaced") << 0;
    QTest::newRow("921600 baud") << 921600;
}

void TestSimPty::writeFbufStream()
{
    QFETCH(int, baud);
    PtyChip::Options options;
    options.baud = baud;
    PtyChip chip(options);
    const QByteArray picture = pattern(baud ? 20'000 : 200'000);
    Port port(chip.slavePath());
    QVERIFY(port.write(writeFbufFrame(uint32_t(picture.size()))));
    QCOMPARE(port.read(5), hex("7600330000"));
    // In pieces, as a PC program writes.
    for (qsizetype offset = 0; offset < picture.size(); offset += 4096)
        QVERIFY(port.write(picture.mid(offset, 4096)));
    QCOMPARE(port.read(5, 10'000), hex("7600330000"));
    QVERIFY(port.write(hex("5600360100 560035 04") + be32(uint32_t(picture.size()))));
    QCOMPARE(port.read(10), hex("7600360000 7600350000"));
    QVERIFY(chip.frameBuffer(0) == picture);
    QCOMPARE(chip.frames().size(), 3); // the picture bytes are no frames
}

void TestSimPty::notificationsWhileCommMotionOpen()
{
    PtyChip chip;
    chip.setMotionInterval(40);
    Port port(chip.slavePath());
    QVERIFY(port.write(hex("5600370101")));
    QCOMPARE(port.read(5), hex("7600370000"));
    QCOMPARE(port.read(15), hex("7600390000 7600390000 7600390000"));
    QVERIFY(chip.commMotionOpen());

    QVERIFY(port.write(hex("5600370100")));
    // Notifications already on their way may come before the answer.
    QByteArray seen = port.read(5);
    while (seen == hex("7600390000"))
        seen = port.read(5);
    QCOMPARE(seen, hex("7600370000"));
    const int count = chip.notificationCount();
    QCOMPARE(port.readFor(200), QByteArray());
    QCOMPARE(chip.notificationCount(), count);

    // Opened from the test side, too.
    chip.setCommMotionOpen(true);
    QCOMPARE(port.read(5), hex("7600390000"));
    chip.setCommMotionOpen(false);
}

void TestSimPty::faultsOverTheLine()
{
    PtyChip chip;
    Port port(chip.slavePath());
    QVERIFY(chip.addFault("noanswer,cmd=0x11"));
    QString error;
    QVERIFY(!chip.addFault("noanswer,cmd=0xZZ", &error));
    QVERIFY(!error.isEmpty());
    chip.addFault(FaultRule{FaultKind::Status, 5, 0x26, 1});
    QCOMPARE(chip.faults().size(), 2);

    QVERIFY(port.write(hex("56001100")));
    QCOMPARE(port.readFor(300), QByteArray());
    QVERIFY(port.write(hex("56002600 56002600")));
    QCOMPARE(port.read(10), hex("7600260500 7600260000"));
    chip.clearFaults();
    QVERIFY(port.write(hex("56001100")));
    QCOMPARE(port.read(16).left(5), hex("760011000b"));
    QCOMPARE(chip.frames().size(), 4);
}

void TestSimPty::stallStopsTheStream()
{
    PtyChip chip;
    QVERIFY(chip.addFault("stall=1000"));
    const QByteArray picture = chip.frameBuffer(0);
    Port port(chip.slavePath());
    QVERIFY(port.write(readFbufFrame(uint32_t(picture.size()))));
    QCOMPARE(port.read(5), hex("7600320000"));
    QCOMPARE(port.read(1000), picture.left(1000));
    QCOMPARE(port.readFor(300), QByteArray());
    // The chip is back to commands.
    QVERIFY(port.write(hex("56002600")));
    QCOMPARE(port.read(5), hex("7600260000"));
}

void TestSimPty::hangupClosesTheLine()
{
    PtyChip chip;
    QVERIFY(chip.addFault("hangup,cmd=0x26,times=1"));
    const QString first = chip.slavePath();
    {
        Port port(first);
        QVERIFY(port.write(hex("56002600")));
        QCOMPARE(port.readFor(3000), QByteArray());
        QVERIFY(port.hungUp());
    }
    QVERIFY(!chip.isOpen());
    QCOMPARE(chip.hangupCount(), 1);

    const QString second = chip.reopen();
    QVERIFY(!second.isEmpty());
    QVERIFY(chip.isOpen());
    Port port(second);
    QVERIFY(port.write(hex("56002600")));
    QCOMPARE(port.read(5), hex("7600260000"));
    QCOMPARE(chip.frames().size(), 2);
}

void TestSimPty::clientsComeAndGo()
{
    PtyChip chip;
    for (int round = 0; round < 3; ++round) {
        Port port(chip.slavePath());
        QVERIFY(port.isOpen());
        QVERIFY(port.write(hex("56003800")));
        QCOMPARE(port.read(6), hex("760038000100"));
    }
    // With no client at all the chip keeps its line.
    QTest::qWait(100);
    QVERIFY(chip.isOpen());
    Port port(chip.slavePath());
    QVERIFY(port.write(hex("56003800")));
    QCOMPARE(port.read(6), hex("760038000100"));
}

void TestSimPty::traceFile()
{
    QTemporaryDir dir;
    PtyChip::Options options;
    options.chip.traceFile = dir.filePath("trace.txt");
    {
        PtyChip chip(options);
        Port port(chip.slavePath());
        QVERIFY(port.write(hex("5600300401011204 56001100")));
        QCOMPARE(port.read(6 + 16).size(), 22);
    }
    QFile file(options.chip.traceFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("56 00 30 04 01 01 12 04\n56 00 11 00\n"));
}

QTEST_GUILESS_MAIN(TestSimPty)
#include "tst_sim_pty.moc"
