// zmsim as a program, with zmctl against it end to end: its link, its trace, its exit on
// SIGTERM, and the faults zmctl reports.

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// zmsim running for one test, stopped at the end.
class Sim {
public:
    explicit Sim(const QStringList &arguments) { m_process.start(QStringLiteral(ZMSIM_PATH), arguments); }
    ~Sim()
    {
        m_process.terminate();
        m_process.waitForFinished(3000);
    }
    // The path on its first line, "zmsim: <path>"; empty if none came.
    QString path()
    {
        QElapsedTimer timer;
        timer.start();
        while (!m_process.canReadLine() && timer.elapsed() < 5000)
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
    QString output; // stdout and stderr
};

CtlResult zmctl(const QString &port, const QStringList &arguments)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(ZMCTL_PATH), QStringList{QStringLiteral("--port"), port} + arguments);
    if (!p.waitForFinished(30'000))
        return {}; // killed on the way out
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromLocal8Bit(p.readAll())};
}

} // namespace

class TestSimProgram : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void servesZmctlOnItsLink();
    void zmctlReportsFaults_data();
    void zmctlReportsFaults();

private:
    QTemporaryDir m_dir;
};

void TestSimProgram::initTestCase()
{
    if (!QFileInfo(QStringLiteral(ZMCTL_PATH)).isExecutable())
        QSKIP("zmctl is not built");
}

void TestSimProgram::servesZmctlOnItsLink()
{
    const QString link = m_dir.filePath("zm");
    const QString trace = m_dir.filePath("trace.txt");
    Sim sim({"--link", link, "--trace", trace});
    const QString path = sim.path();
    QVERIFY(path.startsWith("/dev/"));
    QCOMPARE(QFileInfo(link).symLinkTarget(), path);

    const CtlResult r = zmctl(link, {"version"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.output.trimmed(), QStringLiteral("Version:\"ZM3386V1.02\""));
    QCOMPARE(zmctl(link, {"write", "chip", "1204", "7F"}).exitCode, 0);
    QCOMPARE(zmctl(link, {"read", "chip", "1204"}).output.trimmed(), QStringLiteral("7F"));
    // An SPI flash byte written 0x00 reads 0xFF after erase-flash-sector.
    QCOMPARE(zmctl(link, {"write", "spi-flash", "12345", "00"}).exitCode, 0);
    QCOMPARE(zmctl(link, {"read", "spi-flash", "12345"}).output.trimmed(), QStringLiteral("00"));
    QCOMPARE(zmctl(link, {"cmd", "61", "00012000"}).exitCode, 0);
    QCOMPARE(zmctl(link, {"read", "spi-flash", "12345"}).output.trimmed(), QStringLiteral("FF"));

    // SIGTERM: a clean exit that takes the link along, and a trace of every frame.
    sim.process().terminate();
    QVERIFY(sim.process().waitForFinished(3000));
    QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process().exitCode(), 0);
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    QFile file(trace);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 7);
    QCOMPARE(lines.first(), QStringLiteral("56 00 11 00  get-version"));
    QCOMPARE(lines.at(1), QStringLiteral("56 00 31 05 01 01 12 04 7F  write-data: chip 0x1204, 1 items: 7F"));
}

void TestSimProgram::zmctlReportsFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QString>("message");
    QTest::newRow("status 5 on reset") << "status=5,cmd=0x26" << QStringList{"reset"} << "Cmd recept, but execute failed";
    QTest::newRow("noanswer: version") << "noanswer" << QStringList{"version"} << "Cmd time out";
    QTest::newRow("noanswer: write") << "noanswer" << QStringList{"write", "chip", "1204", "7F"} << "Cmd time out";
}

void TestSimProgram::zmctlReportsFaults()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, command);
    QFETCH(QString, message);
    const QString link = m_dir.filePath("zm-fault");
    Sim sim({"--link", link, "--fault", fault});
    QVERIFY(!sim.path().isEmpty());
    const CtlResult r = zmctl(link, command);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.output.contains(message), qPrintable(r.output));
}

QTEST_GUILESS_MAIN(TestSimProgram)
#include "tst_sim_program.moc"
