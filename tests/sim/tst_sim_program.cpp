// The zmsim program: its start line, link, options, signals and hang-up; and zmctl against it
// end to end when zmctl is built.

#include "link/protocol.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// One exchange over the port at `path` with plain POSIX calls; what came back within the time.
QByteArray exchange(const QString &path, const QByteArray &frame, int expected, int timeoutMs = 3000)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return "open failed";
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    QByteArray got;
    if (::write(fd, frame.constData(), size_t(frame.size())) == frame.size()) {
        QElapsedTimer timer;
        timer.start();
        while (got.size() < expected && timer.elapsed() < timeoutMs) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.append(buffer, n);
        }
    }
    ::close(fd);
    return got;
}

// zmsim running for one test, killed with SIGTERM at the end.
class Sim {
public:
    explicit Sim(const QStringList &arguments)
    {
        m_process.setProgram(QStringLiteral(ZMSIM_PATH));
        m_process.setArguments(arguments);
        m_process.start();
    }
    ~Sim()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(3000))
                m_process.kill();
        }
    }
    // The path of the next "zmsim: <path>" line, empty if none came.
    QString nextPath(int timeoutMs = 5000)
    {
        QElapsedTimer timer;
        timer.start();
        while (!m_process.canReadLine() && timer.elapsed() < timeoutMs)
            m_process.waitForReadyRead(100);
        const QString line = QString::fromLocal8Bit(m_process.readLine()).trimmed();
        return line.startsWith(QLatin1String("zmsim: ")) ? line.mid(7) : QString();
    }
    QProcess &process() { return m_process; }

private:
    QProcess m_process;
};

struct CtlResult {
    int exitCode = -1;
    QString output;
};

CtlResult zmctl(const QString &port, const QStringList &arguments)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(ZMCTL_PATH), QStringList{QStringLiteral("--port"), port} + arguments);
    if (!p.waitForFinished(30'000)) {
        p.kill();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromLocal8Bit(p.readAll())};
}

} // namespace

class TestSimProgram : public QObject {
    Q_OBJECT

private slots:
    void servesOnItsLinkUntilTerminated();
    void helpDocumentsEveryOption();
    void refusesBadArguments_data();
    void refusesBadArguments();
    void hangupOpensANewLine();
    void zmctlEndToEnd();
    void zmctlSeesFaults();
    void zmctlMovesPictures();

private:
    bool haveZmctl() const { return QFileInfo(QStringLiteral(ZMCTL_PATH)).isExecutable(); }
    QTemporaryDir m_dir;
};

void TestSimProgram::servesOnItsLinkUntilTerminated()
{
    const QString link = m_dir.filePath("zm-serve");
    Sim sim({"--link", link, "--serial", "3"});
    const QString path = sim.nextPath();
    QVERIFY(path.startsWith("/dev/"));
    QCOMPARE(QFileInfo(link).symLinkTarget(), path);
    QCOMPARE(exchange(link, hex("56032600"), 5), hex("7603260000"));
    // Clients may come and go.
    QCOMPARE(exchange(link, hex("56033800"), 6), hex("760338000100"));
    sim.process().terminate();
    QVERIFY(sim.process().waitForFinished(3000));
    QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process().exitCode(), 0);
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
}

void TestSimProgram::helpDocumentsEveryOption()
{
    QProcess p;
    p.start(QStringLiteral(ZMSIM_PATH), {"--help"});
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), 0);
    const QString help = QString::fromLocal8Bit(p.readAllStandardOutput());
    for (const char *option : {"--link", "--baud", "--turnaround", "--fault", "--trace", "--fbuf", "--ctrlinfo",
                               "--motion-interval", "--uart", "--serial"})
        QVERIFY2(help.contains(QLatin1String(option)), option);
    for (const char *kind : {"noanswer", "serial", "sign", "long", "status=S", "delay=MS", "stall=N", "flaky=N", "hangup"})
        QVERIFY2(help.contains(QLatin1String(kind)), kind);
}

void TestSimProgram::refusesBadArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("fault kind") << QStringList{"--fault", "bogus"};
    QTest::newRow("fault command") << QStringList{"--fault", "status=5,cmd=0x1FF"};
    QTest::newRow("ctrlinfo") << QStringList{"--ctrlinfo", "usb"};
    QTest::newRow("baud") << QStringList{"--baud", "-5"};
    QTest::newRow("uart") << QStringList{"--uart", "spi"};
    QTest::newRow("missing fbuf file") << QStringList{"--fbuf", "/nonexistent/picture.jpg"};
}

void TestSimProgram::refusesBadArguments()
{
    QFETCH(QStringList, arguments);
    QProcess p;
    p.start(QStringLiteral(ZMSIM_PATH), arguments);
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), 2);
    QVERIFY(p.readAllStandardOutput().isEmpty());
    QVERIFY(p.readAllStandardError().startsWith("zmsim: "));
}

void TestSimProgram::hangupOpensANewLine()
{
    const QString link = m_dir.filePath("zm-hangup");
    Sim sim({"--link", link, "--fault", "hangup,cmd=0x26,times=1"});
    const QString first = sim.nextPath();
    QVERIFY(!first.isEmpty());
    QCOMPARE(exchange(link, hex("56002600"), 5, 1000), QByteArray());
    const QString second = sim.nextPath();
    QVERIFY(!second.isEmpty());
    QCOMPARE(QFileInfo(link).symLinkTarget(), second);
    QCOMPARE(exchange(link, hex("56002600"), 5), hex("7600260000"));
}

void TestSimProgram::zmctlEndToEnd()
{
    if (!haveZmctl())
        QSKIP("zmctl is not built");
    const QString link = m_dir.filePath("zm-ctl");
    Sim sim({"--link", link, "--ctrlinfo", "spi-eeprom"});
    QVERIFY(!sim.nextPath().isEmpty());

    CtlResult r = zmctl(link, {"version"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.output.trimmed(), QStringLiteral("Version:\"ZM3386V1.02\""));

    QCOMPARE(zmctl(link, {"write", "chip", "1204", "7F"}).exitCode, 0);
    QCOMPARE(zmctl(link, {"read", "chip", "1204"}).output.trimmed(), QStringLiteral("7F"));
    QCOMPARE(zmctl(link, {"read", "chip", "1A10", "4"}).output.trimmed(), QStringLiteral("00 80 80 00"));
    QCOMPARE(zmctl(link, {"write", "sensor", "20", "12 34 56", "--width", "3"}).exitCode, 0);
    QCOMPARE(zmctl(link, {"read", "sensor", "20", "1", "--width", "3"}).output.trimmed(), QStringLiteral("12 34 56"));

    // An SPI flash byte written 0x00 reads 0xFF after erase-flash-sector.
    QCOMPARE(zmctl(link, {"write", "spi-flash", "12345", "00"}).exitCode, 0);
    QCOMPARE(zmctl(link, {"read", "spi-flash", "12345"}).output.trimmed(), QStringLiteral("00"));
    QCOMPARE(zmctl(link, {"cmd", "61", "00012000"}).exitCode, 0);
    QCOMPARE(zmctl(link, {"read", "spi-flash", "12345"}).output.trimmed(), QStringLiteral("FF"));
    QCOMPARE(zmctl(link, {"cmd", "60"}).output.trimmed(), QStringLiteral("00 00 10 00"));

    // The control info where --ctrlinfo put it, and a block write read back.
    QVERIFY(zmctl(link, {"dump", "spi-eeprom", "0", "2"}).output.startsWith("AA 55"));
    QVERIFY(zmctl(link, {"dump", "i2c-eeprom", "0", "2"}).output.startsWith("FF FF"));
    QFile data(m_dir.filePath("block.bin"));
    QVERIFY(data.open(QIODevice::WriteOnly));
    data.write(hex("00112233445566778899aabbccddeeff0102030405"));
    data.close();
    QCOMPARE(zmctl(link, {"load", "i2c-eeprom", "100", data.fileName()}).exitCode, 0);
    QVERIFY(zmctl(link, {"dump", "i2c-eeprom", "100", "21"}).output.startsWith(
        "00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF\n01 02 03 04 05"));
}

void TestSimProgram::zmctlSeesFaults()
{
    if (!haveZmctl())
        QSKIP("zmctl is not built");
    const QString link = m_dir.filePath("zm-faults");
    Sim sim({"--link", link, "--fault", "status=5,cmd=0x26", "--fault", "noanswer,cmd=0x11", "--fault",
             "serial,cmd=0x38"});
    QVERIFY(!sim.nextPath().isEmpty());
    CtlResult r = zmctl(link, {"reset"});
    QVERIFY(r.exitCode != 0);
    QVERIFY2(r.output.contains("Cmd recept, but execute failed"), qPrintable(r.output));
    r = zmctl(link, {"version"});
    QVERIFY(r.exitCode != 0);
    QVERIFY2(r.output.contains("Cmd time out"), qPrintable(r.output));
    r = zmctl(link, {"cmd", "38"});
    QVERIFY(r.exitCode != 0);
    QVERIFY2(r.output.contains("Invalid cmd serial number"), qPrintable(r.output));
}

void TestSimProgram::zmctlMovesPictures()
{
    if (!haveZmctl())
        QSKIP("zmctl is not built");
    QFile picture(m_dir.filePath("fbuf.jpg"));
    QVERIFY(picture.open(QIODevice::WriteOnly));
    QByteArray bytes = hex("ffd8ffe0");
    for (int i = 0; i < 50'000; ++i)
        bytes.append(char(i * 13 + (i >> 9)));
    bytes += hex("ffd9");
    picture.write(bytes);
    picture.close();

    const QString link = m_dir.filePath("zm-fbuf");
    Sim sim({"--link", link, "--fbuf", picture.fileName(), "--baud", "921600"});
    QVERIFY(!sim.nextPath().isEmpty());
    const QString out = m_dir.filePath("read.jpg");
    CtlResult r = zmctl(link, {"--baud", "921600", "fbuf-read", out});
    QCOMPARE(r.exitCode, 0);
    QFile read(out);
    QVERIFY(read.open(QIODevice::ReadOnly));
    QVERIFY(read.readAll() == bytes);

    // Back in, encrypted on the way, and out again through the chip's decryption.
    QCOMPARE(zmctl(link, {"fbuf-ctl", "stop-current"}).exitCode, 0);
    QCOMPARE(zmctl(link, {"write", "chip", "1318", "80"}).exitCode, 0);
    QCOMPARE(zmctl(link, {"write", "chip", "131D", "5A"}).exitCode, 0);
    const QByteArray small = bytes.left(3000);
    QFile in(m_dir.filePath("small.jpg"));
    QVERIFY(in.open(QIODevice::WriteOnly));
    in.write(small);
    in.close();
    r = zmctl(link, {"fbuf-write", in.fileName(), "--encrypt", "5A"});
    QVERIFY2(r.exitCode == 0, qPrintable(r.output));
    QVERIFY(zmctl(link, {"fbuf-len"}).output.contains("0x00000BB8"));
    QCOMPARE(zmctl(link, {"write", "chip", "1318", "00"}).exitCode, 0);
    QCOMPARE(zmctl(link, {"fbuf-read", out}).exitCode, 0);
    read.close();
    QVERIFY(read.open(QIODevice::ReadOnly));
    QVERIFY(read.readAll() == small);
}

QTEST_GUILESS_MAIN(TestSimProgram)
#include "tst_sim_program.moc"
