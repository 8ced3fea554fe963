// The simulated chip through a real pseudo-terminal, driven with plain POSIX calls as a client:
// what only the line shows (streams filling it, pacing, hang-up, the line replaced).
// What the chip answers is the model test's business.

#include "sim/pty_chip.h"

#include <QElapsedTimer>
#include <QFile>
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

QByteArray pattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 131) ^ (i >> 8));
    return bytes;
}

// A client end of the line, as a program opens a serial port.
class Port {
public:
    explicit Port(const QString &path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
        termios tio{};
        ::tcgetattr(m_fd, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(m_fd, TCSANOW, &tio);
    }
    ~Port() { ::close(m_fd); }
    bool hungUp() const { return m_hungUp; }

    // False on an error, or when the line takes nothing for a second.
    bool write(const QByteArray &bytes)
    {
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
            pollfd p{m_fd, POLLOUT, 0};
            if (n < 0 && (errno != EAGAIN || ::poll(&p, 1, 1000) <= 0))
                return false;
            done += std::max<ssize_t>(n, 0);
        }
        return true;
    }

    // Reads until `count` bytes are in, the line hangs up, or `timeoutMs` passed.
    QByteArray read(qsizetype count, int timeoutMs = 5000)
    {
        QByteArray got;
        QElapsedTimer timer;
        timer.start();
        while (got.size() < count && !m_hungUp && timer.elapsed() < timeoutMs) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            char buffer[65536];
            const ssize_t n = ::read(m_fd, buffer, size_t(std::min<qsizetype>(sizeof buffer, count - got.size())));
            got.append(buffer, std::max<ssize_t>(n, 0));
            m_hungUp = n == 0 || (n < 0 && errno == EIO);
        }
        return got;
    }
    // Everything that arrives within `ms`.
    QByteArray readFor(int ms) { return read(1 << 30, ms); }

private:
    int m_fd = -1;
    bool m_hungUp = false;
};

} // namespace

class TestSimPty : public QObject {
    Q_OBJECT

private slots:
    void streams_data();
    void streams();
    void hangupAndReopen();
};

void TestSimPty::streams_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("turnaround");
    QTest::newRow("unpaced") << 0 << 0;
    QTest::newRow("921600 baud, turnaround") << 921600 << 30;
}

void TestSimPty::streams()
{
    QFETCH(int, baud);
    QFETCH(int, turnaround);
    PtyChip chip(PtyChip::Options{{}, baud, turnaround});
    QVERIFY2(chip.isOpen(), qPrintable(chip.errorString()));
    // Unpaced, large enough to fill the pseudo-terminal many times over.
    const QByteArray picture = pattern(baud ? 20'000 : 300'000);
    const QByteArray length = QByteArray::fromHex(QByteArray::number(picture.size(), 16).rightJustified(8, '0'));
    chip.setFrameBuffer(0, picture);
    Port port(chip.slavePath());
    QVERIFY(port.write(hex("5600320c 00 02 00000000") + length + hex("0bb8")));
    QCOMPARE(port.read(5), hex("7600320000"));
    const QByteArray raw = port.read(picture.size(), 10'000);
    QCOMPARE(raw.size(), picture.size());
    QVERIFY(raw == picture);
    QCOMPARE(port.read(5), hex("7600320000"));
    QCOMPARE(port.readFor(100), QByteArray());

    // Back in, in pieces as a PC program writes.
    const QByteArray rotated = picture.mid(1) + picture.left(1);
    QVERIFY(port.write(hex("5600330b 02 00000000") + length + hex("0000")));
    QCOMPARE(port.read(5), hex("7600330000"));
    for (qsizetype offset = 0; offset < rotated.size(); offset += 4096)
        QVERIFY(port.write(rotated.mid(offset, 4096)));
    QCOMPARE(port.read(5, 10'000), hex("7600330000"));
    QVERIFY(chip.frameBuffer(0) == rotated);
    QCOMPARE(chip.frames().size(), 2); // the picture bytes are no frames
}

// A hang-up fault closes the line; reopen gives a fresh one. Then the line is replaced while the
// chip thread waits on it (each new line usually gets the descriptor numbers of the one before):
// its client is cut off, not left on a line that nobody serves.
void TestSimPty::hangupAndReopen()
{
    PtyChip chip;
    QVERIFY(chip.addFault("hangup,cmd=0x26,times=1"));
    {
        Port port(chip.slavePath());
        QVERIFY(port.write(hex("56002600")));
        QCOMPARE(port.readFor(3000), QByteArray());
        QVERIFY(port.hungUp());
    }
    QVERIFY(!chip.isOpen());
    QCOMPARE(chip.hangupCount(), 1);

    Port first(chip.reopen());
    QVERIFY(chip.isOpen());
    QVERIFY(first.write(hex("56002600")));
    QCOMPARE(first.read(5), hex("7600260000"));
    for (int round = 0; round < 3; ++round) {
        Port port(chip.reopen());
        QVERIFY(port.write(hex("56003800")));
        QCOMPARE(port.read(6), hex("760038000100"));
    }
    QCOMPARE(first.readFor(1000), QByteArray());
    QVERIFY(first.hungUp());
    QCOMPARE(chip.frames().size(), 5);
}

QTEST_GUILESS_MAIN(TestSimPty)
#include "tst_sim_pty.moc"
