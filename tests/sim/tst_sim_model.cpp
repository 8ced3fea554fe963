// The chip model in process, fed bytes at chosen instants: statuses, stores with behaviour,
// raw phases, notifications, faults, and the line pacer's schedule.

#include "sim/chip_model.h"
#include "sim/line_pacer.h"

#include <QImage>
#include <QTest>

using namespace zm;
using namespace zm::sim;
using namespace std::chrono_literals;

namespace {

using TimePoint = ChipModel::TimePoint;
const TimePoint t0 = ChipModel::Clock::now();

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// Everything the chip sends for `input` fed at `at`, pieces joined.
QByteArray exchange(ChipModel &chip, const QByteArray &input, TimePoint at = t0)
{
    chip.feed(input, at);
    QByteArray out;
    for (const Emission &e : chip.takeOutput())
        out += e.bytes;
    return out;
}

ChipConfig smallPictures()
{
    ChipConfig config;
    config.currentPicture = QByteArray("\xFF\xD8 current picture \xFF\xD9");
    config.nextPicture = QByteArray("\xFF\xD8 next \xFF\xD9");
    return config;
}

} // namespace

class TestSimModel : public QObject {
    Q_OBJECT

private slots:
    void dialogues_data()
    {
        // Each exchange: what the PC sends > everything the chip answers, in hex.
        QTest::addColumn<QByteArrayList>("exchanges");

        QTest::newRow("unknown command") << QByteArrayList{"56009900 > 7600990100"};
        QTest::newRow("frame longer than 16") << QByteArrayList{"56001111 > 7600110200"};
        QTest::newRow("read 17 bytes") << QByteArrayList{"5600300401111a10 > 7600300300"};
        QTest::newRow("read past the register space") << QByteArrayList{"560030040102ffff > 7600300300"};
        QTest::newRow("read past the flash") << QByteArrayList{"560030060601 00080000 > 7600300300"};
        QTest::newRow("write count and length disagree") << QByteArrayList{"560031050102 1234 0a > 7600310200"};
        QTest::newRow("set fbuf length while running") << QByteArrayList{"56003504000000ff > 7600351400"};
        QTest::newRow("zoom past the right edge") << QByteArrayList{"56005208028001e000010000 > 7600520300"};
        QTest::newRow("30 February") << QByteArrayList{"5600500707e3021e0c0000 > 7600500300"};

        QTest::newRow("power save refuses image commands") << QByteArrayList{
            "56003e03000101 > 76003e0000", "56005208026001c800000000 > 7600521600", "5600340100 > 7600341600",
            "5600370101 > 7600371600",
            // The link, the registers and power save itself still answer.
            "5600300401011204 > 760030000135", "56003f0100 > 76003f00020101", "56003e03000100 > 76003e0000",
            "56005208026001c800000000 > 7600520000"};
        // The answer to set-serial-number still carries the old number, later ones the new; a frame
        // with another number is still answered, under the chip's own.
        QTest::newRow("serial number") << QByteArrayList{"5600210107 > 7600210000", "56072600 > 7607260000",
                                                         "56032600 > 7607260000"};
        QTest::newRow("flash keeps NOR semantics") << QByteArrayList{
            "56003107060100012345f0 > 7600310000", "560031070601000123453c > 7600310000",
            "56003006060100012345 > 760030000130",
            // Erase a sector with a neighbour in it and one in the next sector, then the chip.
            "5600310706010001200000 > 7600310000", "5600310706010001300000 > 7600310000",
            "560061040001200f > 7600610000", "56003006060100012000 > 7600300001ff", "56003006060100012345 > 7600300001ff",
            "56003006060100013000 > 760030000100", "56006200 > 7600620000", "56003006060100013000 > 7600300001ff",
            // EEPROMs store what they are given.
            "56003105040100105a > 7600310000", "5600310504010010a5 > 7600310000", "5600300404010010 > 7600300001a5"};
        QTest::newRow("sensor items honour their width") << QByteArrayList{
            "5600310902020200121234abcd > 7600310000", "560030050202020012 > 76003000041234abcd",
            "560030050201020013 > 7600300002abcd", "560030050202010012 > 760030000234cd",
            "560031080301030100 123456 > 7600310000", "560030050301030100 > 7600300003123456",
            // The sensor and CCIR656 spaces are apart.
            "560030050201030100 > 7600300003000000"};
        QTest::newRow("fbuf control and length") << QByteArrayList{
            "5600340100 > 760034000400000015", "5600360100 > 7600360000", "5600350400000010 > 7600350000",
            "5600340100 > 760034000400000010", "5600350400200000 > 7600350300", // past the capacity
            // Step: the next picture becomes the current one.
            "5600360102 > 7600360000", "5600340100 > 76003400040000000a",
            "5600320c 00 02 00000000 0000000a 0000 > 7600320000 ffd8206e65787420ffd9 7600320000",
            "5600360103 > 7600360000", "5600350400000010 > 7600351400",
            "5600360101 > 7600360000", "5600350400000010 > 7600350000"}; // stopping next allows it too
        QTest::newRow("system reset") << QByteArrayList{
            "5600310501011204 7f > 7600310000", "5600370101 > 7600370000", "56003e03000101 > 76003e0000",
            "5600310504010010 0a > 7600310000", "56002600 > 7600260000",
            // Registers, comm motion and power save start over; the memories keep their contents.
            "5600300401011204 > 760030000135", "56003800 > 760038000100", "56005208026001c800000000 > 7600520000",
            "5600300404010010 > 76003000010a"};
    }

    void dialogues()
    {
        QFETCH(QByteArrayList, exchanges);
        ChipModel chip(smallPictures());
        for (const QByteArray &e : exchanges) {
            const QByteArrayList sides = e.split('>');
            QCOMPARE(exchange(chip, QByteArray::fromHex(sides.at(0))).toHex(' '), QByteArray::fromHex(sides.at(1)).toHex(' '));
        }
    }

    // The built-in pictures are real JPEG files of the size the windows expect. (Their way through
    // the line, encrypted or not, is the pseudo-terminal and frame-buffer tests' business.)
    void builtInPicturesAreJpeg()
    {
        ChipModel chip;
        for (int which : {0, 1})
            QCOMPARE(QImage::fromData(chip.frameBuffers().picture(which), "JPEG").size(), QSize(640, 480));
    }

    void writeFbufGivesUpWhenBytesStop()
    {
        ChipModel chip(smallPictures());
        exchange(chip, hex("5600330b 02 00000000 00000064 0000")); // 100 bytes to come
        exchange(chip, QByteArray(40, 'x'), t0 + 1s);
        chip.tick(t0 + 1s + ChipModel::kRawTimeout - 1ms);
        QVERIFY(chip.takeOutput().empty());
        chip.tick(t0 + 1s + ChipModel::kRawTimeout);
        QCOMPARE(exchange(chip, {}), hex("7600330500"));
        QCOMPARE(exchange(chip, hex("56002600"), t0 + 5s), hex("7600260000"));
    }

    void notificationsWhileCommMotionOpen()
    {
        ChipModel chip(ChipConfig{}, t0); // every 1500 ms unless told otherwise
        QCOMPARE(exchange(chip, hex("5600370101")), hex("7600370000"));
        chip.tick(t0 + 1499ms);
        QVERIFY(chip.takeOutput().empty());
        for (auto at : {1500ms, 3000ms}) {
            chip.tick(t0 + at);
            QCOMPARE(exchange(chip, {}), hex("7600390000"));
        }
        // Notifications use the chip's serial number too.
        chip.setSerialNumber(9);
        chip.tick(t0 + 4500ms);
        QCOMPARE(exchange(chip, {}), hex("7609390000"));
        QCOMPARE(exchange(chip, hex("5609370100"), t0 + 5s), hex("7609370000"));
        chip.tick(t0 + 10s);
        QVERIFY(chip.takeOutput().empty());
        QCOMPARE(chip.nextDeadline(), TimePoint::max());
    }

    void faults_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");

        const QByteArray reset = hex("7600260000");
        const QByteArray longAnswer = hex("7600260011") + QByteArray(17, '\0');
        QTest::newRow("noanswer") << "noanswer" << QByteArray() << QByteArray();
        QTest::newRow("sign") << "sign" << hex("5600260000") << hex("5600260000");
        QTest::newRow("long") << "long" << longAnswer << longAnswer;
        QTest::newRow("command in hex without 0x") << "status=4,cmd=26" << hex("7600260400") << hex("7600260400");
        QTest::newRow("once") << "status=4,times=1" << hex("7600260400") << reset;
        QTest::newRow("other command") << "noanswer,cmd=0x11" << reset << reset;
    }

    void faults()
    {
        QFETCH(QString, rule);
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        ChipModel chip;
        const auto parsed = FaultRule::parse(rule);
        QVERIFY(parsed);
        chip.faults().add(*parsed);
        QCOMPARE(exchange(chip, hex("56002600")).toHex(), first.toHex());
        QCOMPARE(exchange(chip, hex("56002600")).toHex(), second.toHex());
        QCOMPARE(chip.frames().size(), 2); // faulty or not, the frames were received
    }

    void faultRulesRefuseNonsense()
    {
        // Refused outright rather than half applied (a status of 256 must not become 0).
        for (const char *bad : {"garble", "status", "noanswer=3", "serial,cmd=100", "sign,times=0", "status=256"}) {
            QString error;
            QVERIFY2(!FaultRule::parse(QLatin1String(bad), &error) && !error.isEmpty(), bad);
        }
    }

    void framesAreRecorded()
    {
        ChipModel chip(smallPictures());
        // Noise before a frame, a frame split over two feeds, a raw phase.
        exchange(chip, hex("0011 5600"));
        exchange(chip, hex("1100 5600330b"));
        exchange(chip, hex("02 00000000 00000003 0000"));
        exchange(chip, hex("565656"));
        chip.feed(hex("5600"), t0);
        chip.tick(t0 + ChipModel::kFrameTimeout); // a half frame is forgotten
        exchange(chip, hex("56002600"), t0 + 1s);
        QCOMPARE(chip.frames(), (QList<QByteArray>{hex("56001100"), hex("5600330b 02 00000000 00000003 0000"),
                                                   hex("56002600")}));
    }

    void linePacerSchedule()
    {
        LinePacer pacer;
        pacer.setBaud(115200, t0);
        QCOMPARE(pacer.allowance(t0), int64_t(0));
        QCOMPARE(pacer.allowance(t0 + 1s), int64_t(11520));
        pacer.consume(11000);
        QCOMPARE(pacer.allowance(t0 + 1s), int64_t(520));
        // A late look makes up the whole schedule, not more.
        QCOMPARE(pacer.allowance(t0 + 2s), int64_t(12040));
        QCOMPARE(pacer.allowance(pacer.dueTime(1000)), int64_t(1000));

        // Idle time is not saved up: after an idle mark the next burst starts from it.
        pacer.consume(12040);
        pacer.idle(t0 + 10s);
        QCOMPARE(pacer.allowance(t0 + 10s), int64_t(0));
        QCOMPARE(pacer.allowance(t0 + 10s + 1ms), int64_t(11));
        // An idle mark inside a running burst changes nothing.
        pacer.consume(11);
        pacer.idle(t0 + 10s);
        QCOMPARE(pacer.allowance(t0 + 11s), int64_t(11520 - 11));
    }
};

QTEST_GUILESS_MAIN(TestSimModel)
#include "tst_sim_model.moc"
