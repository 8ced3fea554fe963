// zmsim as a program, with zmctl against it end to end: its link, a fault rule given on its
// command line, its trace and its exit on SIGTERM.

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "tests/common/zmctl_run.h"

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

} // namespace

class TestSimProgram : public QObject {
    Q_OBJECT

private slots:
    void servesZmctlOnItsLink();
};

void TestSimProgram::servesZmctlOnItsLink()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("zm");
    const QString trace = dir.filePath("trace.txt");
    Sim sim({"--link", link, "--trace", trace, "--fault", "status=5,cmd=0x26"});
    const QString path = sim.path();
    QVERIFY(path.startsWith("/dev/"));
    QCOMPARE(QFileInfo(link).symLinkTarget(), path);

    using zm::test::runZmctl;
    QCOMPARE(runZmctl(link, {"version"}).out, QStringLiteral("Version:\"ZM3386V1.02\"\n"));
    QCOMPARE(runZmctl(link, {"write", "chip", "1204", "7F"}).code, 0);
    QCOMPARE(runZmctl(link, {"read", "chip", "1204"}).out, QStringLiteral("7F\n"));
    const zm::test::ZmctlRun reset = runZmctl(link, {"reset"});
    QCOMPARE(reset.code, 1);
    QCOMPARE(reset.err, QStringLiteral("Cmd recept, but execute failed\n"));

    // SIGTERM: a clean exit that takes the link along, and a trace of every frame.
    sim.process().terminate();
    QVERIFY(sim.process().waitForFinished(3000));
    QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process().exitCode(), 0);
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    QFile file(trace);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.first(), QStringLiteral("56 00 11 00  get-version"));
    QCOMPARE(lines.at(1), QStringLiteral("56 00 31 05 01 01 12 04 7F  write-data: chip 0x1204, 1 items: 7F"));
}

QTEST_GUILESS_MAIN(TestSimProgram)
#include "tst_sim_program.moc"
