// The simulated chip through a real pseudo-terminal, driven with plain POSIX calls as a client:
// what only the line shows (streams filling it, pacing, hang-up, the line replaced). Then zmsim
// as a program, with zmctl against it. What the chip answers is the model test's business.

#include "sim/pty_chip.h"
#include "tests/common/zmctl_run.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
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
    void streams_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("turnaround");
        QTest::newRow("unpaced") << 0 << 0;
        QTest::newRow("921600 baud, turnaround") << 921600 << 30;
    }

    void streams()
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
    void hangupAndReopen()
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

    // zmsim serves zmctl on its link with a fault rule given on its command line, writes a trace of
    // every frame, and on SIGTERM exits cleanly and takes the link along.
    void zmsimServesZmctlOnItsLink()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("zm"), trace = dir.filePath("trace.txt");
        QProcess sim;
        sim.start(QStringLiteral(ZMSIM_PATH), {"--link", link, "--trace", trace, "--fault", "status=5,cmd=0x26"});
        QTRY_VERIFY_WITH_TIMEOUT(sim.canReadLine(), 5000);
        QCOMPARE(QString::fromLocal8Bit(sim.readLine()), "zmsim: " + QFileInfo(link).symLinkTarget() + "\n");

        using zm::test::runZmctl;
        QCOMPARE(runZmctl(link, {"version"}).out, QStringLiteral("Version:\"ZM3386V1.02\"\n"));
        QCOMPARE(runZmctl(link, {"write", "chip", "1204", "7F"}).code, 0);
        QCOMPARE(runZmctl(link, {"read", "chip", "1204"}).out, QStringLiteral("7F\n"));
        const zm::test::ZmctlRun reset = runZmctl(link, {"reset"});
        QCOMPARE(reset.code, 1);
        QCOMPARE(reset.err, QStringLiteral("zmctl: Cmd recept, but execute failed\n"
                                           "zmctl: system-reset: the chip took it but could not carry it out\n"));

        sim.terminate();
        QVERIFY(sim.waitForFinished(3000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
        QFile file(trace);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines.first(), QStringLiteral("56 00 11 00  get-version"));
        QCOMPARE(lines.at(1), QStringLiteral("56 00 31 05 01 01 12 04 7F  write-data: chip 0x1204, 1 item: 7F"));
    }
};

QTEST_GUILESS_MAIN(TestSimPty)
#include "tst_sim_pty.moc"
