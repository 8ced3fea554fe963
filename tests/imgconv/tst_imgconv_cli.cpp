// The built zmimgconv run as a process, the way scripts and the console use it.

#include "pictures.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestImgconvCli : public QObject
{
    Q_OBJECT

private:
    struct Run
    {
        int exitCode = -1;
        QString out;
        QString err;
    };

    Run run(const QStringList &arguments)
    {
        QProcess process;
        // No window system at all: conversion must not need one (build machines, scripts).
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("QT_QPA_PLATFORM", "xcb");
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_dir->path());
        process.start(ZMIMGCONV_PATH, arguments);
        if (!process.waitForFinished(30000))
            process.kill();
        Run result;
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
        result.err = QString::fromLocal8Bit(process.readAllStandardError());
        return result;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(zm::test::picture(64, 48).save(m_dir->filePath("in.bmp"), "bmp"));
        QVERIFY(QFile::copy(m_dir->filePath("in.bmp"), m_dir->filePath("-dash.bmp")));
        QFile text(m_dir->filePath("text.bmp"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not a picture\n");
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message"); // on stdout for 0, on stderr otherwise
        QTest::addColumn<bool>("written");

        QTest::newRow("default quality") << QStringList{"in.bmp", "out.jpg"} << 0
                                         << "in.bmp -> out.jpg: " << true;
        QTest::newRow("--quality Q") << QStringList{"in.bmp", "out.jpg", "--quality", "20"} << 0
                                     << "quality 20" << true;
        QTest::newRow("--quality=Q first") << QStringList{"--quality=0", "in.bmp", "out.jpg"}
                                           << 0 << "quality 0" << true;
        QTest::newRow("-q Q between") << QStringList{"in.bmp", "-q", "100", "out.jpg"} << 0
                                      << "quality 100" << true;
        QTest::newRow("name after --") << QStringList{"--", "-dash.bmp", "out.jpg"} << 0
                                       << "quality 90" << true;
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: zmimgconv" << false;

        QTest::newRow("missing input") << QStringList{"nothing.bmp", "out.jpg"} << 1
                                       << "zmimgconv: The input file nothing.bmp does not exist."
                                       << false;
        QTest::newRow("not a picture") << QStringList{"text.bmp", "out.jpg"} << 1
                                       << "zmimgconv: Cannot read text.bmp as a picture" << false;
        QTest::newRow("output not writable") << QStringList{"in.bmp", "no/such/out.jpg"} << 1
                                             << "zmimgconv: Cannot write " << false;

        QTest::newRow("quality too high") << QStringList{"in.bmp", "out.jpg", "--quality", "101"}
                                          << 2 << "from 0 to 100, not \"101\"" << false;
        QTest::newRow("quality not a number") << QStringList{"in.bmp", "out.jpg", "-q", "best"}
                                              << 2 << "not \"best\"" << false;
        QTest::newRow("quality without value") << QStringList{"in.bmp", "out.jpg", "--quality"}
                                               << 2 << "--quality needs a value." << false;
        QTest::newRow("unknown option") << QStringList{"--size", "in.bmp", "out.jpg"} << 2
                                        << "Unknown option --size." << false;
        QTest::newRow("three names") << QStringList{"in.bmp", "out.jpg", "more.jpg"} << 2
                                     << "Too many file names" << false;
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QFETCH(bool, written);

        const Run result = run(arguments);
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2((exitCode == 0 ? result.out : result.err).contains(message),
                 qPrintable(result.out + result.err));
        if (exitCode == 2)
            QVERIFY(result.err.contains("zmimgconv --help"));
        const QImage image(m_dir->filePath("out.jpg"));
        QCOMPARE(!image.isNull(), written);
        if (written)
            QCOMPARE(image.size(), QSize(64, 48));
    }

    void qualityReachesTheFile()
    {
        QCOMPARE(run({"in.bmp", "low.jpg", "--quality", "5"}).exitCode, 0);
        QCOMPARE(run({"in.bmp", "high.jpg", "--quality", "95"}).exitCode, 0);
        QVERIFY(QFileInfo(m_dir->filePath("low.jpg")).size()
                < QFileInfo(m_dir->filePath("high.jpg")).size());
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestImgconvCli)
#include "tst_imgconv_cli.moc"
