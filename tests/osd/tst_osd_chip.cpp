// The OSD's exchanges against the simulated chip, the chip's own OSD commands, and zmctl's OSD
// commands as a user runs them.

#include "link/command_layer.h"
#include "link/commands.h"
#include "osd/osd_char_set.h"
#include "osd/osd_registers.h"
#include "sim/pty_chip.h"
#include "tests/common/zmctl_run.h"

#include <QProcess>
#include <QTest>

using namespace zm;

class TestOsdChip : public QObject
{
    Q_OBJECT

    std::unique_ptr<sim::PtyChip> m_chip;
    std::unique_ptr<CommandLayer> m_layer;
    std::unique_ptr<Commands> m_commands;

    QByteArray cells(int first, int n) const
    {
        const auto memory = m_chip->features().osdCharacters;
        return QByteArray(reinterpret_cast<const char *>(memory.data()) + first, n);
    }

    using Run = test::ZmctlRun;
    Run zmctl(const QStringList &args) { return test::runZmctl(m_chip->slavePath(), args); }

private slots:
    void init()
    {
        m_chip = std::make_unique<sim::PtyChip>();
        QVERIFY2(m_chip->isOpen(), qPrintable(m_chip->errorString()));
        m_layer = std::make_unique<CommandLayer>();
        QString error;
        QVERIFY2(m_layer->open(m_chip->slavePath(), "38400,n,8,1", &error), qPrintable(error));
        m_commands = std::make_unique<Commands>(*m_layer);
    }
    void cleanup()
    {
        m_commands.reset();
        m_layer.reset();
        m_chip.reset();
    }

    // The control block goes out as five runs and comes back as written.
    void controlBlockRuns()
    {
        osd::OsdControl c;
        c.enabled = {true, true, false, false};
        for (int n = 0; n < osd::OsdControl::kPaletteSize; ++n)
            c.palette[n] = uint16_t(0x1000 * n + n);
        QCOMPARE(int(osd::writeRuns(*m_commands, osd::OsdControl::kRuns, c.toBytes())), 0);
        const QList<QByteArray> frames = m_chip->frames();
        QCOMPARE(frames.size(), 5);
        QCOMPARE(frames[0].toHex(' '), QByteArray("56 00 31 07 01 03 25 00 03 00 1c"));
        QCOMPARE(frames[4].left(8).toHex(' '), QByteArray("56 00 31 0a 01 06 25 88"));
        QCOMPARE(m_chip->readMemory(MemoryType::Chip, 0x2580, 2).toHex(), QByteArray("0880"));
        QByteArray back;
        QCOMPARE(int(osd::readRuns(*m_commands, osd::OsdControl::kRuns, back)), 0);
        QCOMPARE(back.toHex(' '), c.toBytes().toHex(' '));
    }

    // A run that fails stops the read and leaves the caller's bytes as they were; a failed write
    // stops at that run.
    void failedRuns()
    {
        QVERIFY(m_chip->addFault("status=5,cmd=0x30"));
        QByteArray bytes("kept");
        QCOMPARE(int(osd::readRuns(*m_commands, osd::CharChannel::kRuns, bytes)), 5);
        QCOMPARE(bytes, QByteArray("kept"));
        m_chip->clearFaults();
        m_chip->clearFrames();
        QVERIFY(m_chip->addFault("status=4,cmd=0x31"));
        QCOMPARE(int(osd::writeRuns(*m_commands, osd::CharChannel::kRuns, QByteArray(28, 0))), 4);
        QCOMPARE(m_chip->frames().size(), 1);
        // Too few bytes for the runs is refused before anything goes out.
        QCOMPARE(int(osd::writeRuns(*m_commands, osd::CharChannel::kRuns, QByteArray(27, 0))), int(rc::InvalidParameter));
        QCOMPARE(m_chip->frames().size(), 1);
    }

    void piecesIntoCharacterMemory()
    {
        const QByteArray text = *osd::OsdCharSet::toIndexes("0123456789ABCDEFGHIJKLMNOPQRSTUV");
        QCOMPARE(int(osd::writePieces(*m_commands, osd::linePieces(3, text))), 0);
        QCOMPARE(cells(64, 32), text);
        QCOMPARE(m_chip->frames().size(), 3);
        QCOMPARE(int(osd::writePieces(*m_commands, osd::clearPieces(3))), 0);
        QCOMPARE(cells(64, 32), QByteArray(32, char(79)));
        // A stop asked for before a piece ends the run there.
        std::stop_source stop;
        stop.request_stop();
        QCOMPARE(int(osd::writePieces(*m_commands, osd::linePieces(1, text), stop.get_token())), int(rc::Stopped));
        QCOMPARE(m_chip->frames().size(), 7);
    }

    // The chip refuses what its character memory cannot take with a status, and keeps the
    // logo and bitmap requests.
    void chipCommands_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("status");
        QTest::newRow("15 characters") << 0x45 << QByteArray::fromHex("0f00" + QByteArray(28, '0')) << 3;
        QTest::newRow("cells past 127") << 0x45 << QByteArray::fromHex("027f0101") << 3;
        QTest::newRow("last cell") << 0x45 << QByteArray::fromHex("017f01") << 0;
        QTest::newRow("count and length disagree") << 0x45 << QByteArray::fromHex("030001") << 2;
        QTest::newRow("index 80") << 0x45 << QByteArray::fromHex("010050") << 3;
        QTest::newRow("logo location") << 0x70 << QByteArray::fromHex("03024000002000") << 0;
        QTest::newRow("logo location short") << 0x70 << QByteArray::fromHex("030240") << 2;
        QTest::newRow("start bitmap") << 0x71 << QByteArray::fromHex("02040000010000") << 0;
        QTest::newRow("bitmap sub-function 4") << 0x71 << QByteArray::fromHex("04") << 3;
    }
    void chipCommands()
    {
        QFETCH(int, code);
        QFETCH(QByteArray, data);
        QFETCH(int, status);
        AnswerRecord answer;
        const QByteArray before = cells(0, 128);
        const uint8_t r = m_commands->rawCommand(uint8_t(code), reinterpret_cast<const uint8_t *>(data.constData()),
                                                 int(data.size()), answer);
        QCOMPARE(int(r), status);
        if (status != 0 && code == 0x45)
            QCOMPARE(cells(0, 128), before);
        const sim::ChipFeatures f = m_chip->features();
        if (status == 0 && code == 0x70)
            QCOMPARE(std::tuple(int(f.logoFunction), int(f.logoValue), f.logoAddress), std::tuple(3, 0x0240, 0x2000u));
        if (status == 0 && code == 0x71)
            QCOMPARE(std::tuple(int(f.bitmapFunction), int(f.bitmapValue), f.bitmapAddress), std::tuple(2, 0x0400, 0x10000u));
    }

    void zmctlText()
    {
        m_layer->close(); // the port is zmctl's now
        Run r = zmctl({"osd-text", "1", "Cam-01"});
        QCOMPARE(r.code, 0);
        QCOMPARE(cells(0, 7).toHex(' '), QByteArray("0c 24 30 3e 00 01 4f"));
        r = zmctl({"osd-text", "4", "0123456789abcdefghijklmnopqrstuv"});
        QCOMPARE(r.code, 0);
        QCOMPARE(cells(96, 32), *osd::OsdCharSet::toIndexes("0123456789abcdefghijklmnopqrstuv"));
        r = zmctl({"osd-clear", "4"});
        QCOMPARE(r.code, 0);
        QCOMPARE(cells(96, 32), QByteArray(32, char(79)));
        m_chip->clearFrames();

        // Refused before anything is sent.
        r = zmctl({"osd-text", "2", "50%"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.startsWith("Include invalid char\n"), qPrintable(r.err));
        QVERIFY(r.err.contains("\"%\""));
        for (const QStringList &bad : {QStringList{"osd-text", "5", "x"}, QStringList{"osd-text", "0", "x"},
                                       QStringList{"osd-text", "1", QString(33, 'x')}, QStringList{"osd-clear", "x"}}) {
            r = zmctl(bad);
            QCOMPARE(r.code, 2);
            QVERIFY2(r.err.startsWith("zmctl: "), qPrintable(r.err));
        }
        QVERIFY(m_chip->frames().isEmpty());

        // A chip that refuses the piece: exit 1 with its result text.
        QVERIFY(m_chip->addFault("status=5,cmd=0x45"));
        r = zmctl({"osd-clear", "1"});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, QString("Cmd recept, but execute failed\n"));
        QCOMPARE(m_chip->frames().size(), 1);
    }

    void zmctlCharset()
    {
        const Run r = zmctl({"osd-charset"});
        QCOMPARE(r.code, 0);
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 20);
        QCOMPARE(lines[0].split(' ', Qt::SkipEmptyParts), QStringList({"00", "'0'", "20", "'K'", "40", "'e'", "60", "'y'"}));
        QVERIFY(lines[19].endsWith("79 ' '"));
        QVERIFY(m_chip->frames().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestOsdChip)
#include "tst_osd_chip.moc"
