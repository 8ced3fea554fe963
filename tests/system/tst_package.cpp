// The Debian package as scripts/package makes it (the same CPack configuration, into a folder of
// its own): what it installs, and dependencies found in the programs rather than listed by hand.

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString output(const QString &program, const QStringList &args, int *code)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(120000))
        p.kill();
    *code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}

} // namespace

class TestPackage : public QObject
{
    Q_OBJECT

private slots:
    void holdsTheProgramsAndTheirDependencies()
    {
        if (QStandardPaths::findExecutable("dpkg-shlibdeps").isEmpty())
            QSKIP("dpkg-shlibdeps is missing; scripts/setup installs dpkg-dev");
        QTemporaryDir dir;
        int code = -1;
        const QString made = output(QStringLiteral(CPACK_COMMAND),
                                    {"--config", QStringLiteral(ZM_BUILD_DIR "/CPackConfig.cmake"), "-B", dir.path()}, &code);
        QVERIFY2(code == 0, qPrintable(made));
        const QStringList debs = QDir(dir.path()).entryList({"zm3386-comm-tool_*.deb"}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        const QString deb = QDir(dir.path()).filePath(debs.first());

        const QString contents = output("dpkg-deb", {"-c", deb}, &code);
        QCOMPARE(code, 0);
        QStringList paths;
        for (const QString &line : contents.split('\n', Qt::SkipEmptyParts))
            paths << line.section(' ', -1);
        // What is installed is the install test's; here, that the package holds it.
        for (const char *program : {"zmcomm", "zmctl", "zmsim", "zmimgconv"})
            QVERIFY2(paths.contains(QStringLiteral("./usr/bin/%1").arg(program)), program);
        QVERIFY(paths.contains("./usr/share/applications/zmcomm.desktop"));
        QVERIFY2(!contents.contains("tst_") && !contents.contains("bench_"), qPrintable(contents));

        const QString depends = output("dpkg-deb", {"-f", deb, "Depends"}, &code);
        QCOMPARE(code, 0);
        for (const char *library : {"libqt6serialport6", "libqt6widgets6", "libqt6gui6", "libqt6core6"})
            QVERIFY2(depends.contains(library), qPrintable(depends));
    }
};

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
