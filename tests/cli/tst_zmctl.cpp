// zmctl as a user runs it: the built program against the simulated chip.

#include "sim/pty_chip.h"
#include "tests/common/test_files.h"
#include "tests/common/zmctl_run.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using zm::test::readFile;
using zm::test::writeFile;

class TestZmctl : public QObject
{
    Q_OBJECT

    using Run = zm::test::ZmctlRun;
    Run zmctl(const QStringList &args) { return zm::test::runZmctl(args); }
    Run zmctl(const zm::sim::PtyChip &chip, const QStringList &args) { return zm::test::runZmctl(chip.slavePath(), args); }

private slots:
    // What a command prints and its exit status. Usage errors (2) are found before anything is
    // sent, and their message says what is wrong; failures (1) print the result text alone.
    void commandsAndTheirExitCodes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err"); // what stderr holds (after "zmctl: " for usage errors)
        const auto usage = [](const char *name, const QStringList &args, const char *says) {
            QTest::newRow(name) << args << 2 << QString() << QString(says);
        };
        QTest::newRow("read prints what it asked for") << QStringList{"read", "chip", "0x1A10", "2"} << 0 << "00 80\n" << "";
        QTest::newRow("refused memory") << QStringList{"read", "9", "0"} << 1 << ""
                                        << "zmctl: Invalid parameter\n"
                                           "zmctl: nothing was sent: a value is outside what the command takes\n";
        usage("unknown command", {"frobnicate"}, "frobnicate");
        usage("dump past the end", {"dump", "chip", "0xFFF0", "64"}, "64 bytes from 0xFFF0 go past 0xFFFF");
        usage("width on chip registers", {"read", "chip", "0", "--width", "2"}, "sensor and ccir656");
        usage("odd digits", {"write", "chip", "10", "123"}, "odd number of digits");
        usage("too much for a sensor write", {"write", "sensor", "10", "112233445566778899AABBCC", "--width", "3"},
              "at most 11 bytes of data fit one write to sensor");
        usage("output in /proc", {"dump", "chip", "0", "16", "-o", "/proc/version"}, "the folder /proc does not take new files");
        usage("empty picture file", {"fbuf-write", "EMPTY"}, "is empty");
        usage("long picture file", {"fbuf-write", "LONG"}, "--force");
        usage("COM20 names its device", {"--port", "COM20", "version"}, "COM20 (/dev/ttyS19) does not exist");
        usage("a folder as port", {"--port", "/tmp", "version"}, "/tmp is not a serial port");
    }
    void commandsAndTheirExitCodes()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, out);
        QFETCH(QString, err);
        zm::sim::PtyChip chip;
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("empty.jpg"), {}) && writeFile(dir.filePath("long.jpg"), QByteArray(700000, '\x11')));
        args.replaceInStrings("EMPTY", dir.filePath("empty.jpg"));
        args.replaceInStrings("LONG", dir.filePath("long.jpg"));
        const Run r = zmctl(args.contains("--port") ? args : QStringList{"--port", chip.slavePath()} + args);
        QCOMPARE(r.code, code);
        QCOMPARE(r.out, out);
        if (code == 2) {
            QVERIFY2(r.err.startsWith("zmctl: ") && r.err.contains(err), qPrintable(r.err));
            QVERIFY(chip.frames().isEmpty());
        } else {
            QCOMPARE(r.err, err);
        }
    }

    // Options end at "--" for every command, and an argument where data belongs is data even
    // when it starts with "-": a temperature is a real OSD line. What is no data of the command
    // is a usage error, never the help with success.
    void dataPositions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("frames"); // the one frame the chip received, if any
        QTest::newRow("text starting with -") << QStringList{"osd-text", "1", "-5C"} << 0 << "56004505 03003E050C";
        QTest::newRow("text after --") << QStringList{"osd-text", "1", "--", "-5C"} << 0 << "56004505 03003E050C";
        QTest::newRow("-h as a text") << QStringList{"osd-text", "1", "-h"} << 0 << "56004504 02003E2B";
        QTest::newRow("-% is no OSD text") << QStringList{"osd-text", "1", "-%"} << 2 << "";
        QTest::newRow("-- before the arguments") << QStringList{"read", "--", "chip", "0x1A10", "2"} << 0
                                                 << "56003004 01021A10";
        QTest::newRow("a negative number") << QStringList{"zoom-set", "-5", "0", "0", "0"} << 2 << "";
    }
    void dataPositions()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, frames);
        zm::sim::PtyChip chip;
        const Run r = zmctl(chip, args);
        QVERIFY2(r.code == code, qPrintable(r.err));
        QVERIFY2(!r.out.contains("Usage"), qPrintable(r.out));
        QStringList seen;
        for (const QByteArray &f : chip.frames())
            seen << QString::fromLatin1(f.toHex().toUpper());
        QCOMPARE(seen.join(' '), frames.remove(' '));
    }

    // One command's help, the version, and usage errors that name the choices; whatever goes
    // to stderr, each line starts with "zmctl: ".
    void conventions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("out"); // lines stdout holds
        QTest::addColumn<QString>("err");     // what stderr holds
        const QStringList readHelp{"Usage: zmctl [--port PORT] [--baud RATE] [--serial N] [--log FILE] read MEM ADDR",
                                   "  MEM                     chip|sensor|ccir656|i2c-eeprom|spi-eeprom|spi-flash",
                                   "  --width W", "Example:", "  zmctl --port /dev/ttyUSB0 read chip 0x1A10 4"};
        QTest::newRow("help read") << QStringList{"help", "read"} << 0 << readHelp << "";
        QTest::newRow("read --help") << QStringList{"read", "--help"} << 0 << readHelp << "";
        QTest::newRow("choices that follow the feature")
            << QStringList{"feature-set", "-h"} << 0 << QStringList{"                          color: auto|manual-color|manual-bw"}
            << "";
        QTest::newRow("version") << QStringList{"--version"} << 0 << QStringList{"zmctl 1.00"} << "";
        QTest::newRow("usage line") << QStringList{"--help"} << 0
                                    << QStringList{"Usage: zmctl [--port PORT] [--baud RATE] [--serial N] [--log FILE] "
                                                   "COMMAND [ARGS]"}
                                    << "";
        QTest::newRow("memory names") << QStringList{"read", "bogus", "0", "1"} << 2 << QStringList{}
                                      << "chip|sensor|ccir656|i2c-eeprom|spi-eeprom|spi-flash";
        QTest::newRow("modes") << QStringList{"feature-set", "ae-blc", "--source", "uart", "--mode", "on"} << 2
                               << QStringList{} << "--mode must be one of close|open";
        QTest::newRow("help for no command") << QStringList{"help", "bogus"} << 2 << QStringList{} << "unknown command";
        QTest::newRow("an option of another command") << QStringList{"version", "--next"} << 2 << QStringList{}
                                                      << "version does not take --next";
        QTest::newRow("too many arguments") << QStringList{"osd-clear", "1", "2"} << 2 << QStringList{}
                                            << "usage: zmctl osd-clear LINE";
    }
    void conventions()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QStringList, out);
        QFETCH(QString, err);
        zm::sim::PtyChip chip;
        const Run r = zmctl(chip, args);
        QCOMPARE(r.code, code);
        const QStringList lines = r.out.split('\n');
        for (const QString &line : out)
            QVERIFY2(r.out.startsWith(line) || lines.contains(line) || r.out.contains('\n' + line + ' '),
                     qPrintable(line + "\n--- not in ---\n" + r.out));
        // One command's help is not the whole program's.
        if (args.contains("read"))
            QVERIFY2(lines.size() < 30 && !r.out.contains("fbuf-read"), qPrintable(r.out));
        QVERIFY2(r.err.contains(err), qPrintable(r.err));
        for (const QString &line : r.err.split('\n', Qt::SkipEmptyParts))
            QVERIFY2(line.startsWith("zmctl: "), qPrintable(line));
        QVERIFY(chip.frames().isEmpty());
    }

    // The port goes away in the middle of a long command: the run says so once, and no result
    // text of an answer that never came ("Unknow error") stands before it.
    void portLostMidProcedure_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("says"); // besides the loss
        QTest::newRow("upload") << QStringList{"upload", "FILE", "--device", "i2c-eeprom", "--size", "256"}
                                << "hangup,cmd=0x30,skip=3,times=1" << "It stopped at 0x0030.";
        QTest::newRow("download") << QStringList{"download", "SOURCE", "--device", "i2c-eeprom", "--model", "24C02"}
                                  << "hangup,cmd=0x31,skip=2,times=1" << "The download stopped at 0x000C";
        QTest::newRow("motion-watch") << QStringList{"motion-watch", "--count", "5"} << "hangup,cmd=0x39,skip=1,times=1"
                                      << "";
    }
    void portLostMidProcedure()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, fault);
        QFETCH(QString, says);
        zm::sim::PtyChip chip;
        chip.setMotionInterval(20);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("source.bin"), QByteArray(64, '\x33')));
        args.replaceInStrings("SOURCE", dir.filePath("source.bin"));
        args.replaceInStrings("FILE", dir.filePath("copy.bin"));
        QVERIFY(chip.addFault(fault));
        const Run r = zmctl(chip, args);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err.count("The port went away: "), 1);
        QVERIFY2(r.err.contains(says) && !r.err.contains("Unknow error") && !r.err.contains("Send data failed"),
                 qPrintable(r.err));
        for (const QString &line : r.err.split('\n', Qt::SkipEmptyParts))
            QVERIFY2(line.startsWith("zmctl: "), qPrintable(line));
    }

    // load reads back what it wrote: a weak cell that flips bits a few times is written again;
    // one that never holds fails with its address; --no-verify trusts the chip.
    void loadVerifies()
    {
        zm::sim::PtyChip chip;
        QTemporaryDir dir;
        const QString file = dir.filePath("data.bin");
        const QByteArray data = "0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVW"; // 40 bytes
        QVERIFY(writeFile(file, data));
        QVERIFY(chip.addFault("flaky=3"));
        Run r = zmctl(chip, {"load", "i2c-eeprom", "0x100", file});
        QCOMPARE(r.code, 0);
        QCOMPARE(chip.readMemory(zm::MemoryType::I2cEeprom, 0x100, 40), data);

        chip.clearFaults();
        QVERIFY(chip.addFault("flaky=1000"));
        r = zmctl(chip, {"load", "i2c-eeprom", "0x200", file});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("Verify failed: 0x0200"), qPrintable(r.err));

        chip.clearFaults();
        QVERIFY(chip.addFault("flaky=1"));
        r = zmctl(chip, {"load", "i2c-eeprom", "0x300", file, "--no-verify"});
        QCOMPARE(r.code, 0);
        QVERIFY(chip.readMemory(zm::MemoryType::I2cEeprom, 0x300, 40) != data);
    }

    // A failure in the middle of a dump names where it stopped and leaves the earlier file.
    void dumpStopsAtAnAddress()
    {
        zm::sim::PtyChip chip;
        QTemporaryDir dir;
        const QString file = dir.filePath("dump.bin");
        QVERIFY(writeFile(file, "earlier"));
        QVERIFY(chip.addFault("status=5,cmd=0x30"));
        const Run r = zmctl(chip, {"dump", "i2c-eeprom", "0x40", "32", "-o", file});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("Cmd recept, but execute failed") && r.err.contains("stopped at 0x0040"), qPrintable(r.err));
        QCOMPARE(readFile(file), QByteArray("earlier"));
    }

    void picturesBothWays()
    {
        zm::sim::PtyChip chip;
        QTemporaryDir dir;
        const QString file = dir.filePath("pic.jpg");
        const QByteArray picture = chip.frameBuffer(0);
        const Run r = zmctl(chip, {"fbuf-read", file});
        QCOMPARE(r.code, 0);
        QVERIFY(r.err.contains("Fbuf read finished!"));
        QCOMPARE(readFile(file), picture);

        // Written back encrypted, to a chip that decrypts with the same key.
        QCOMPARE(zmctl(chip, {"fbuf-ctl", "stop-current"}).code, 0);
        chip.setFrameBuffer(0, QByteArray(100, '\0'));
        chip.setReg(0x1318, 0x80);
        chip.setReg(0x131D, 0x21);
        QCOMPARE(zmctl(chip, {"fbuf-write", file, "--encrypt", "21"}).code, 0);
        QCOMPARE(chip.frameBuffer(0), picture);
    }

    // A write while capture runs: the length is tried first, so nothing is streamed, and the
    // message says how to stop capture; --stop does it first.
    void writeWhileCaptureRuns()
    {
        zm::sim::PtyChip chip;
        QTemporaryDir dir;
        const QString file = dir.filePath("pic.jpg");
        const QByteArray picture(3000, '\x5A');
        QVERIFY(writeFile(file, picture));
        Run r = zmctl(chip, {"fbuf-write", file});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("Frame buffer not stop, can't set length") && r.err.contains("fbuf-ctl stop-current")
                     && r.err.contains("--stop"),
                 qPrintable(r.err));
        for (const QByteArray &f : chip.frames())
            QVERIFY(uint8_t(f[2]) != zm::cmd::WriteFbufData);

        chip.clearFrames();
        r = zmctl(chip, {"fbuf-write", "--stop", file});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(chip.frames().first(), QByteArray::fromHex("5600360100"));
        QCOMPARE(chip.frameBuffer(0), picture);
    }

    // A late answer of one run arrives while the next run waits: the next run prints its own
    // bytes, exactly as many as it asked for.
    void lateAnswerOfAnEarlierRun()
    {
        zm::sim::PtyChip chip;
        QVERIFY(chip.addFault("delay=3500,cmd=34,times=1"));
        Run r = zmctl(chip, {"fbuf-len"});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QString("zmctl: Cmd time out\n"
                                "zmctl: get-fbuf-length (current): no answer in 3000 ms: check the port, --baud and the "
                                "chip's power\n"));
        r = zmctl(chip, {"read", "chip", "0x1A10", "4"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QString::fromLatin1(chip.readMemory(zm::MemoryType::Chip, 0x1A10, 4).toHex(' ').toUpper()) + "\n");
    }

    // The chip hangs up while a read waits for its answer: the run says that the port went away
    // and why, not the result text of an answer that never came.
    void portLostNamesTheReason()
    {
        zm::sim::PtyChip chip;
        QVERIFY(chip.addFault("hangup,cmd=0x30,times=1"));
        const Run r = zmctl(chip, {"read", "chip", "0x1A10", "4"});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.startsWith("zmctl: The port went away: " + chip.slavePath() + ": ") && r.err.count('\n') == 1,
                 qPrintable(r.err));
    }

    // While a picture read holds the port (at 9600 baud it takes far longer than the test waits),
    // another run is told which process holds it. Ctrl+C then ends the read: exit 130,
    // "Interrupted", and the earlier file as it was.
    void portInUseThenInterrupted()
    {
        zm::sim::PtyChip chip;
        chip.setBaud(9600);
        QTemporaryDir dir;
        const QString file = dir.filePath("pic.jpg");
        QVERIFY(writeFile(file, "earlier picture"));
        QProcess p;
        p.start(QStringLiteral(ZMCTL), {"--port", chip.slavePath(), "--baud", "9600", "fbuf-read", file});
        QVERIFY(p.waitForStarted());
        QVERIFY(chip.waitForFrames(2, 10000)); // the length, then the read itself
        const Run r = zmctl(chip, {"version"});
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(QStringLiteral("is in use by process %1 (zmctl)").arg(p.processId())), qPrintable(r.err));
        ::kill(pid_t(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 130);
        QVERIFY(QString::fromLatin1(p.readAllStandardError()).contains("Interrupted"));
        QCOMPARE(readFile(file), QByteArray("earlier picture"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"pic.jpg"}); // no temporary left
    }
};

QTEST_GUILESS_MAIN(TestZmctl)
#include "tst_zmctl.moc"
