// zmctl as a user runs it: the built program against the simulated chip.

#include "sim/pty_chip.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestZmctl : public QObject
{
    Q_OBJECT

    struct Run {
        int code = -1;
        QString out, err;
    };

    Run zmctl(const QStringList &args)
    {
        QProcess p;
        p.start(QStringLiteral(ZMCTL), args);
        p.waitForFinished(30000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromLatin1(p.readAllStandardOutput()),
                QString::fromLatin1(p.readAllStandardError())};
    }

private slots:
    void commandsAndTheirExitCodes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("read") << QStringList{"read", "chip", "0x1204"} << "" << 0 << "35\n" << "";
        QTest::newRow("cmd") << QStringList{"cmd", "55"} << "" << 0 << "00\n" << "";
        QTest::newRow("refused memory") << QStringList{"read", "9", "0"} << "" << 1 << "" << "Invalid parameter\n";
        QTest::newRow("chip status") << QStringList{"reset"} << "status=5,cmd=0x26" << 1 << "" << "Cmd recept, but execute failed\n";
        QTest::newRow("bad address") << QStringList{"read", "chip", "XYZ"} << "" << 2 << "" << "";
        QTest::newRow("unknown command") << QStringList{"frobnicate"} << "" << 2 << "" << "";
        QTest::newRow("no such port") << QStringList{"--port", "/dev/nothing-here", "version"} << "" << 2 << "" << "";
    }
    void commandsAndTheirExitCodes()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, fault);
        QFETCH(int, code);
        QFETCH(QString, out);
        QFETCH(QString, err);
        zm::sim::PtyChip chip;
        if (!fault.isEmpty())
            QVERIFY(chip.addFault(fault));
        const Run r = zmctl(args.contains("--port") ? args : QStringList{"--port", chip.slavePath()} + args);
        QCOMPARE(r.code, code);
        QCOMPARE(r.out, out);
        if (code == 2)
            QVERIFY(r.err.startsWith("zmctl: "));
        else
            QCOMPARE(r.err, err);
    }

    void picturesBothWays()
    {
        zm::sim::PtyChip chip;
        QTemporaryDir dir;
        const QString file = dir.filePath("pic.jpg");
        const QString port = chip.slavePath();
        const QByteArray picture = chip.frameBuffer(0);
        Run r = zmctl({"--port", port, "fbuf-read", file});
        QCOMPARE(r.code, 0);
        QVERIFY(r.err.contains("Fbuf read finished!"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), picture);

        QCOMPARE(zmctl({"--port", port, "fbuf-ctl", "stop-current"}).code, 0);
        chip.setFrameBuffer(0, QByteArray(100, '\0'));
        r = zmctl({"--port", port, "fbuf-write", file, "--encrypt", "0x21"});
        QCOMPARE(r.code, 0);
        // The chip's encryption is off, so it keeps what it was sent: the encrypted picture.
        QVERIFY(chip.frameBuffer(0) != picture);
        chip.setReg(0x1318, 0x80);
        chip.setReg(0x131D, 0x21);
        QCOMPARE(zmctl({"--port", port, "fbuf-write", file, "--encrypt", "21"}).code, 0);
        QCOMPARE(chip.frameBuffer(0), picture);

        // A failed read leaves the file as it was.
        chip.addFault("stall=100,cmd=0x32");
        r = zmctl({"--port", port, "fbuf-read", file});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("Read data time out!"));
        QVERIFY(f.seek(0));
        QCOMPARE(f.readAll(), picture);
    }
};

QTEST_GUILESS_MAIN(TestZmctl)
#include "tst_zmctl.moc"
