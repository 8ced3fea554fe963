// Files as the programs write and read them, tried from outside as a user would: a full disk, a
// device or a pipe as the target, endless or silent inputs, signals, and what each leaves behind.
// The full disk is a file size limit on the child process (its writes then fail with EFBIG, as
// they fail with ENOSPC on a full disk), and where this runs as root, also a small tmpfs.

#include "link/file_writer.h"
#include "link/input_file.h"
#include "sim/pty_chip.h"
#include "tests/common/test_files.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <csignal>
#include <thread>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace zm;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true; // the sanitizer's shadow memory does not fit an address-space limit
#else
constexpr bool kSanitized = false;
#endif

struct Run {
    int code = -1; // -1: it did not end normally, or not within the guard
    QByteArray out;
    QString err;
};

struct Limits {
    rlim_t fileSize = RLIM_INFINITY;
    rlim_t addressSpace = RLIM_INFINITY;
};

// Starts a program with limits; `started` may act on the running process before it is waited for.
Run run(const QString &program, const QStringList &args, Limits limits = {},
        const std::function<void(QProcess &)> &started = {})
{
    QProcess p;
    p.setChildProcessModifier([limits] {
        // Writes past the limit then fail with EFBIG instead of ending the program.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit fsize{limits.fileSize, limits.fileSize};
        const rlimit as{limits.addressSpace, limits.addressSpace};
        ::setrlimit(RLIMIT_FSIZE, &fsize);
        ::setrlimit(RLIMIT_AS, &as);
    });
    p.start(program, args);
    if (!p.waitForStarted())
        return {};
    if (started)
        started(p);
    // A guard against a hang, not a measure of speed.
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return {-1, p.readAllStandardOutput(), QString::fromUtf8(p.readAllStandardError())};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            QString::fromUtf8(p.readAllStandardError())};
}

Run zmctl(const sim::PtyChip &chip, const QStringList &args, Limits limits = {},
          const std::function<void(QProcess &)> &started = {})
{
    return run(QStringLiteral(ZMCTL), QStringList{"--port", chip.slavePath()} + args, limits, started);
}

using test::writeFile;

QByteArray readAll(const QString &path)
{
    return test::readFile(path);
}

QByteArray jpeg(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x * 7 % 256, y * 5 % 256, (x ^ y) % 256));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "JPG", 90);
    return bytes;
}

// What a folder holds besides the files a test put there itself: a temporary file left behind.
QStringList leftovers(const QString &dir, const QStringList &expected)
{
    QStringList names = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &e : expected)
        names.removeAll(e);
    return names;
}

// Reads a FIFO on a thread of its own, as another program would.
class FifoReader
{
public:
    explicit FifoReader(const QString &path, bool readAll = true)
        : m_path(QFile::encodeName(path))
        , m_thread([this, path, readAll] {
            const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
            char buffer[4096];
            for (ssize_t n; fd >= 0 && (n = ::read(fd, buffer, readAll ? sizeof buffer : 1)) > 0;) {
                m_bytes.append(buffer, qsizetype(n));
                m_got.store(m_bytes.size());
                if (!readAll) {
                    // Holds the pipe open without reading on: the writer fills it and blocks.
                    while (!m_release.load())
                        std::this_thread::sleep_for(std::chrono::milliseconds(10));
                    break;
                }
            }
            if (fd >= 0)
                ::close(fd);
        })
    {
    }
    ~FifoReader() { bytes(); }
    QByteArray bytes()
    {
        m_release.store(true);
        if (m_thread.joinable()) {
            // A reader still waiting for its writer (the program under test failed first) is let go.
            const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
            m_thread.join();
        }
        return m_bytes;
    }
    qsizetype got() const { return m_got.load(); }

private:
    QByteArray m_path;
    QByteArray m_bytes;
    std::atomic<qsizetype> m_got{0};
    std::atomic<bool> m_release{false};
    std::thread m_thread;
};

} // namespace

class TestFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void init() { QVERIFY(m_dir.isValid()); }
    void cleanup()
    {
        // Each test starts with an empty folder.
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    // Every writer, small (what a buffered write would hold back to its commit) and large (a
    // write that returns short): on a full disk the target keeps its earlier content, no
    // temporary file is left, the message names the file and the system's reason, exit 1.
    // (zmctl's limits leave room for the port's lock file.)
    void fullDiskKeepsTheTarget_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("limit");
        QTest::newRow("upload, 384 bytes") << "zmctl" << QStringList{"upload", "OUT", "--device", "i2c-eeprom"} << 100;
        QTest::newRow("upload, 40000 bytes")
            << "zmctl" << QStringList{"upload", "OUT", "--device", "i2c-eeprom", "--size", "40000"} << 4096;
        QTest::newRow("dump, 384 bytes") << "zmctl" << QStringList{"dump", "i2c-eeprom", "0", "384", "-o", "OUT"} << 100;
        QTest::newRow("dump, 40000 bytes") << "zmctl" << QStringList{"dump", "i2c-eeprom", "0", "40000", "-o", "OUT"}
                                           << 4096;
        QTest::newRow("fbuf-read, small picture") << "zmctl" << QStringList{"fbuf-read", "OUT"} << 1000;
        QTest::newRow("fbuf-read, large picture") << "zmctl" << QStringList{"fbuf-read", "OUT", "--next"} << 4096;
        QTest::newRow("zmimgconv, small picture") << "zmimgconv" << QStringList{"SMALL", "OUT"} << 100;
        QTest::newRow("zmimgconv, large picture") << "zmimgconv" << QStringList{"LARGE", "OUT"} << 4096;
    }
    void fullDiskKeepsTheTarget()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QFETCH(int, limit);
        sim::PtyChip::Options options;
        options.chip.motionIntervalMs = 20;
        options.chip.currentPicture = jpeg(64, 48);   // about 3 KB
        options.chip.nextPicture = jpeg(400, 300); // tens of KB
        sim::PtyChip chip(options);
        QImage small(8, 8, QImage::Format_RGB32);
        small.fill(Qt::red);
        QVERIFY(small.save(path("small.bmp")));
        QVERIFY(QImage::fromData(jpeg(640, 480)).save(path("large.png")));
        const QByteArray earlier("the earlier content\n");
        QVERIFY(writeFile(path("out"), earlier));
        args.replaceInStrings("OUT", path("out"));
        args.replaceInStrings("SMALL", path("small.bmp"));
        args.replaceInStrings("LARGE", path("large.png"));

        const Run r = program == "zmctl" ? zmctl(chip, args, {rlim_t(limit)})
                                         : run(QStringLiteral(ZMIMGCONV), args, {rlim_t(limit)});
        QCOMPARE(r.code, 1);
        QCOMPARE(readAll(path("out")), earlier);
        QVERIFY2(r.err.contains(path("out")) && r.err.contains("File too large"), qPrintable(r.err));
        QCOMPARE(leftovers(m_dir.path(), {"out", "small.bmp", "large.png"}), QStringList());
    }

    // The same on a real full file system, where this may mount one.
    void fullTmpfsKeepsTheTarget()
    {
        const QString mount = path("small");
        QDir().mkpath(mount);
        if (::geteuid() != 0 || ::mount("tmpfs", QFile::encodeName(mount).constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP("a tmpfs cannot be mounted here");
        struct Unmount {
            QByteArray at;
            ~Unmount() { ::umount(at.constData()); }
        } unmount{QFile::encodeName(mount)};
        QVERIFY(writeFile(mount + "/out", "earlier"));
        // Filled to the last byte, as a disk that a long capture has filled up.
        const int fill = ::open(QFile::encodeName(mount + "/filler").constData(), O_WRONLY | O_CREAT, 0644);
        const QByteArray chunk(1024, 'x');
        for (size_t n = 1024; n >= 1; n /= 2)
            while (::write(fill, chunk.constData(), n) == ssize_t(n)) {
            }
        ::close(fill);

        sim::PtyChip chip;
        const Run r = zmctl(chip, {"dump", "i2c-eeprom", "0", "384", "-o", mount + "/out"});
        QCOMPARE(r.code, 1);
        QCOMPARE(readAll(mount + "/out"), QByteArray("earlier"));
        QVERIFY2(r.err.contains("No space left on device"), qPrintable(r.err));
    }

    // A device, a FIFO or standard output is written in place as a stream, never replaced by a
    // regular file; a folder or a socket is refused before the chip is asked for anything.
    void streamTargetsAreWrittenInPlace_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("kind"); // device, fifo or stdout
        QTest::newRow("dump to a device") << "zmctl" << QStringList{"dump", "chip", "0x1A10", "16", "-o", "OUT"} << "device";
        QTest::newRow("dump to a fifo") << "zmctl" << QStringList{"dump", "chip", "0x1A10", "16", "-o", "OUT"} << "fifo";
        QTest::newRow("dump to -") << "zmctl" << QStringList{"dump", "chip", "0x1A10", "16", "-o", "-"} << "stdout";
        QTest::newRow("fbuf-read to a device") << "zmctl" << QStringList{"fbuf-read", "OUT"} << "device";
        QTest::newRow("fbuf-read to -") << "zmctl" << QStringList{"fbuf-read", "-"} << "stdout";
        QTest::newRow("upload to a fifo") << "zmctl" << QStringList{"upload", "OUT", "--device", "i2c-eeprom"} << "fifo";
        QTest::newRow("zmimgconv to a device") << "zmimgconv" << QStringList{"IN", "OUT"} << "device";
    }
    void streamTargetsAreWrittenInPlace()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QFETCH(QString, kind);
        const QString out = path("out");
        if (kind == "device" && ::mknod(QFile::encodeName(out).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
            QSKIP("mknod is refused here");
        if (kind == "fifo")
            QVERIFY(::mkfifo(QFile::encodeName(out).constData(), 0666) == 0);
        sim::PtyChip chip;
        QVERIFY(QImage::fromData(jpeg(32, 32)).save(path("in.png")));
        args.replaceInStrings("OUT", out);
        args.replaceInStrings("IN", path("in.png"));
        std::unique_ptr<FifoReader> reader;
        if (kind == "fifo")
            reader = std::make_unique<FifoReader>(out);
        const Run r = program == "zmctl" ? zmctl(chip, args) : run(QStringLiteral(ZMIMGCONV), args);
        QVERIFY2(r.code == 0, qPrintable(r.err));

        QByteArray expected;
        if (args.contains("dump"))
            expected = chip.readMemory(MemoryType::Chip, 0x1A10, 16);
        else if (args.contains("fbuf-read"))
            expected = chip.frameBuffer(0);
        else if (args.contains("upload"))
            expected = chip.readMemory(MemoryType::I2cEeprom, 0, 384);
        if (kind == "stdout")
            QCOMPARE(r.out, expected);
        if (kind == "fifo")
            QCOMPARE(reader->bytes(), expected);
        struct stat st {};
        QCOMPARE(::lstat(QFile::encodeName(out).constData(), &st), kind == "stdout" ? -1 : 0);
        if (kind == "device")
            QVERIFY(S_ISCHR(st.st_mode));
        if (kind == "fifo")
            QVERIFY(S_ISFIFO(st.st_mode));
        QCOMPARE(leftovers(m_dir.path(), {"out", "in.png"}), QStringList());
    }
    void foldersAndSocketsAreRefused()
    {
        sim::PtyChip chip;
        const QString socketPath = path("sock");
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, QFile::encodeName(socketPath).constData(), sizeof address.sun_path);
        QVERIFY(::bind(s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
        for (const QString &target : {m_dir.path(), socketPath}) {
            const Run r = zmctl(chip, {"dump", "chip", "0", "16", "-o", target});
            QCOMPARE(r.code, 2);
            QVERIFY2(r.err.contains(target) && (r.err.contains("folder") || r.err.contains("socket")), qPrintable(r.err));
        }
        ::close(s);
        QVERIFY(chip.frames().isEmpty());
    }

    // Inputs are never read past what their target takes: /dev/zero is refused after one byte too
    // many, a long file by its size, a FIFO that nobody writes after a short wait; all within a
    // small address space. A FIFO that is written is read.
    void inputsAreBounded_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        QTest::newRow("load /dev/zero") << QStringList{"load", "i2c-eeprom", "0", "/dev/zero"} << 2 << "more than the 65536 bytes";
        QTest::newRow("load past the reach") << QStringList{"load", "chip", "0xFFF0", "LONG"} << 2 << "more than the 16 bytes";
        QTest::newRow("load a silent fifo") << QStringList{"load", "i2c-eeprom", "0", "FIFO"} << 1 << "nothing was written";
        QTest::newRow("gamma-set /dev/zero") << QStringList{"gamma-set", "/dev/zero"} << 2 << "a gamma table is 32 numbers";
        QTest::newRow("gamma-set a 100 MB file") << QStringList{"gamma-set", "LONG"} << 2 << "104857600 bytes long";
        QTest::newRow("gamma-set a silent fifo") << QStringList{"gamma-set", "FIFO"} << 1 << "nothing was written";
    }
    void inputsAreBounded()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, says);
        sim::PtyChip chip;
        QFile big(path("long"));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(100 * 1024 * 1024)); // sparse: costs no disk
        big.close();
        QVERIFY(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0666) == 0);
        args.replaceInStrings("LONG", path("long"));
        args.replaceInStrings("FIFO", path("fifo"));
        const Run r = zmctl(chip, args, {RLIM_INFINITY, kSanitized ? RLIM_INFINITY : rlim_t(512) << 20});
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(says), qPrintable(r.err));
        QVERIFY(chip.frames().isEmpty());
    }
    void aWrittenFifoIsRead()
    {
        sim::PtyChip chip;
        QVERIFY(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0666) == 0);
        std::thread writer([&] {
            const int fd = ::open(QFile::encodeName(path("fifo")).constData(), O_WRONLY);
            QByteArray text;
            for (int i = 0; i < 32; ++i)
                text += QByteArray::number(i * 8) + ' ';
            // In two pieces, as a program that writes slowly would.
            ::write(fd, text.constData(), 10);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            ::write(fd, text.constData() + 10, size_t(text.size() - 10));
            ::close(fd);
        });
        const Run r = zmctl(chip, {"gamma-set", path("fifo")});
        writer.join();
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(chip.reg(0x1940 + 31), uint8_t(248));
    }

    // A signal ends zmctl within about a second whatever its main thread is blocked in (here a
    // write into a pipe whose reader holds it full), with status 130; a regular target keeps
    // its earlier content and no temporary file stays.
    void signalsEndZmctlWhateverItIsDoing()
    {
        sim::PtyChip chip;
        const QString fifo = path("fifo");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0666) == 0);
        FifoReader stuck(fifo, false);
        // More than a pipe holds.
        const Run blocked = zmctl(chip, {"dump", "spi-flash", "0", "150000", "-o", fifo}, {}, [&](QProcess &p) {
            // The dump is in and its write has begun once the reader has its first byte.
            QTRY_VERIFY_WITH_TIMEOUT(stuck.got() > 0, 20000);
            ::kill(pid_t(p.processId()), SIGTERM);
        });
        QCOMPARE(blocked.code, 130);
        QVERIFY2(blocked.err.contains("Interrupted"), qPrintable(blocked.err));

        chip.setBaud(9600);
        chip.clearFrames();
        QVERIFY(writeFile(path("out"), "earlier"));
        const Run slow = zmctl(chip, {"dump", "i2c-eeprom", "0", "4096", "-o", path("out")}, {}, [&](QProcess &p) {
            QTRY_VERIFY_WITH_TIMEOUT(chip.frames().size() > 5, 20000);
            ::kill(pid_t(p.processId()), SIGINT);
        });
        QCOMPARE(slow.code, 130);
        QCOMPARE(readAll(path("out")), QByteArray("earlier"));
        QCOMPARE(leftovers(m_dir.path(), {"out", "fifo"}), QStringList());
    }

    // The motion log: an earlier file stays when the chip never opens comm motion; once it has,
    // the file holds what the watch saw, and Ctrl+C leaves it whole. A full disk ends it with
    // the reason, the rows before it kept.
    void motionLog()
    {
        sim::PtyChip::Options options;
        options.chip.motionIntervalMs = 30;
        sim::PtyChip chip(options);
        QVERIFY(writeFile(path("log.csv"), "earlier\n"));
        QVERIFY(chip.addFault("noanswer,cmd=0x37"));
        const Run silent = zmctl(chip, {"motion-watch", "--csv", path("log.csv")});
        QCOMPARE(silent.code, 1);
        QVERIFY2(silent.err.contains("Cmd time out"), qPrintable(silent.err));
        QCOMPARE(readAll(path("log.csv")), QByteArray("earlier\n"));

        chip.clearFaults();
        const Run watched = zmctl(chip, {"motion-watch", "--csv", path("log.csv")}, {}, [&](QProcess &p) {
            QTRY_VERIFY_WITH_TIMEOUT(p.canReadLine() && readAll(path("log.csv")).count('\n') >= 3, 20000);
            ::kill(pid_t(p.processId()), SIGINT);
        });
        QCOMPARE(watched.code, 0);
        const QList<QByteArray> rows = readAll(path("log.csv")).trimmed().split('\n');
        QCOMPARE(rows.first(), QByteArray("count,time,interval_ms"));
        QCOMPARE(rows.size() - 1, watched.out.trimmed().split('\n').size());
        QVERIFY(rows.last().startsWith(QByteArray::number(rows.size() - 1) + ','));

        const Run full = zmctl(chip, {"motion-watch", "--count", "5", "--csv", path("log.csv")}, {100});
        QCOMPARE(full.code, 1);
        QVERIFY2(full.err.contains(path("log.csv")) && full.err.contains("File too large"), qPrintable(full.err));
        QVERIFY(readAll(path("log.csv")).startsWith("count,time,interval_ms\n1,"));
    }

    // A successful upload removes what an earlier failure kept, and says so.
    void uploadRemovesAStalePartial()
    {
        sim::PtyChip chip;
        QVERIFY(writeFile(path("up.bin.partial"), "from a failed run"));
        const Run r = zmctl(chip, {"upload", path("up.bin"), "--device", "i2c-eeprom"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(!QFile::exists(path("up.bin.partial")));
        QVERIFY2(r.err.contains(path("up.bin.partial") + " (the bytes of an earlier failed upload) was removed"),
                 qPrintable(r.err));
        QCOMPARE(readAll(path("up.bin")), chip.readMemory(MemoryType::I2cEeprom, 0, 384));
    }

    // A picture that arrived whole is kept when the chip's closing answer fails, but the run says
    // so after the finish and ends with its own status.
    void fbufReadWithAFailedClosingAnswer_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("says");
        QTest::newRow("status 5") << "status=5,cmd=0x32,closing" << "Read revert CMD failed!:Cmd recept, but execute failed";
        QTest::newRow("wrong serial number") << "serial,cmd=0x32,closing" << "Read revert CMD failed!:Invalid cmd serial number";
    }
    void fbufReadWithAFailedClosingAnswer()
    {
        QFETCH(QString, fault);
        QFETCH(QString, says);
        sim::PtyChip chip;
        QVERIFY(chip.addFault(fault));
        const Run r = zmctl(chip, {"fbuf-read", path("pic.jpg")});
        QCOMPARE(r.code, 3);
        QCOMPARE(readAll(path("pic.jpg")), chip.frameBuffer(0));
        QVERIFY2(r.err.indexOf("Fbuf read finished!") >= 0 && r.err.indexOf("Fbuf read finished!") < r.err.indexOf(says),
                 qPrintable(r.err));
    }

    // The converter refuses a JPEG cut short, as it refuses a cut bitmap, and leaves OUT as it was.
    void converterRefusesACutPicture()
    {
        const QByteArray whole = jpeg(320, 240);
        QVERIFY(writeFile(path("cut.jpg"), whole.left(whole.size() / 2)));
        QVERIFY(writeFile(path("out.jpg"), "earlier"));
        const Run r = run(QStringLiteral(ZMIMGCONV), {path("cut.jpg"), path("out.jpg")});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("cut.jpg is damaged or incomplete"), qPrintable(r.err));
        QCOMPARE(readAll(path("out.jpg")), QByteArray("earlier"));
    }

    // A program that must end at once leaves no temporary file of a writer that was not done.
    void pendingTemporariesCanBeRemoved()
    {
        FileWriter out;
        QVERIFY(out.open(path("target")));
        QVERIFY(out.write("half"));
        QCOMPARE(leftovers(m_dir.path(), {}).size(), 1);
        FileWriter::removePendingTemporaries();
        QCOMPARE(leftovers(m_dir.path(), {}), QStringList());
        QVERIFY(!out.commit());
        QVERIFY(!QFile::exists(path("target")));
    }

    // A stop request ends the wait for a stream at once.
    void aStopEndsTheWaitForAStream()
    {
        QVERIFY(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0666) == 0);
        std::stop_source stop;
        stop.request_stop();
        QCOMPARE(InputFile::read(path("fifo"), 100, InputFile::Streams, stop.get_token()).status, InputFile::Status::Stopped);
        FileWriter out;
        QVERIFY(!out.open(path("fifo"), FileWriter::Mode::Replace, stop.get_token()));
        QVERIFY2(out.errorString().contains("nothing opened it for reading"), qPrintable(out.errorString()));
        QCOMPARE(InputFile::read(path("fifo"), 100, InputFile::RegularOnly).status, InputFile::Status::Failed);
    }
};

QTEST_MAIN(TestFiles)
#include "tst_files.moc"
