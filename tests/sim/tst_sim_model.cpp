// The chip model in process, fed bytes at chosen instants: statuses, stores with behaviour,
// raw phases, notifications, faults.

#include "sim/chip_model.h"
#include "sim/ctrl_info_image.h"
#include "sim/line_pacer.h"
#include "sim/test_picture.h"

#include <QImage>
#include <QTemporaryDir>
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

// A command frame with serial number 0.
QByteArray frame(uint8_t code, const QByteArray &data = {})
{
    return QByteArray(1, char(0x56)) + char(0) + char(code) + char(data.size()) + data;
}

QByteArray be32(uint32_t v)
{
    QByteArray b(4, '\0');
    putBe32(reinterpret_cast<uint8_t *>(b.data()), v);
    return b;
}

QByteArray readFbufFrame(int which, uint8_t mode, uint32_t length, uint16_t delay = 0)
{
    return frame(cmd::ReadFbufData,
                 QByteArray(1, char(which)) + char(mode) + be32(0) + be32(length) + char(delay >> 8) + char(delay));
}

QByteArray writeFbufFrame(uint8_t mode, uint32_t length)
{
    return frame(cmd::WriteFbufData, QByteArray(1, char(mode)) + be32(0) + be32(length) + hex("0000"));
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

// The PC's decryption of a received picture.
QByteArray decrypt(QByteArray data, uint8_t key)
{
    uint8_t previous = key;
    for (char &c : data) {
        const uint8_t in = uint8_t(c);
        c = char(in ^ previous);
        previous = in;
    }
    return data;
}

QByteArray encrypt(QByteArray data, uint8_t key)
{
    uint8_t previous = key;
    for (char &c : data) {
        previous = uint8_t(c) ^ previous;
        c = char(previous);
    }
    return data;
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
    void statuses_data();
    void statuses();
    void powerSaveRefusesImageCommands();
    void serialNumber();
    void flashKeepsNorSemantics();
    void sensorItemsHonourWidth();
    void windowThresholdPort();
    void controlInfoImage_data();
    void controlInfoImage();
    void builtInPicturesAreJpeg();
    void fbufControlAndLength();
    void readFbufStreams_data();
    void readFbufStreams();
    void readFbufForAnotherDevice();
    void writeFbufTakesRawBytes_data();
    void writeFbufTakesRawBytes();
    void writeFbufGivesUpWhenBytesStop();
    void notificationsWhileCommMotionOpen();
    void featuresKeepTheirValues_data();
    void featuresKeepTheirValues();
    void clockRuns();
    void systemResetRestoresRegisters();
    void faults_data();
    void faults();
    void stallCutsRawPhases();
    void flakyFlipsMemoryWrites();
    void faultRuleParsing_data();
    void faultRuleParsing();
    void recordAndTrace();
    void linePacerSchedule();
};

void TestSimModel::statuses_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("answer");

    QTest::newRow("unknown command") << hex("56009900") << hex("7600990100");
    QTest::newRow("notification code sent by the PC") << hex("56003900") << hex("7600390100");
    QTest::newRow("frame longer than 16") << hex("56001111") << hex("7600110200");
    QTest::newRow("version") << hex("56001100") << (hex("76001100") + char(11) + "ZM3386V1.02");
    QTest::newRow("version with data") << hex("5600110100") << hex("7600110200");
    QTest::newRow("read 4 picture controls") << hex("5600300401041a10") << hex("760030000400808000");
    QTest::newRow("read memory type 0") << hex("5600300400041a10") << hex("7600300300");
    QTest::newRow("read memory type 7") << hex("5600300407041a10") << hex("7600300300");
    QTest::newRow("read chip with a width byte") << hex("560030050104011a10") << hex("7600300200");
    QTest::newRow("read 17 bytes") << hex("5600300401111a10") << hex("7600300300");
    QTest::newRow("read past the register space") << hex("560030040102ffff") << hex("7600300300");
    QTest::newRow("read sensor width 4") << hex("560030050201040012") << hex("7600300300");
    QTest::newRow("read past the SPI EEPROM") << hex("5600300405018000") << hex("7600300300");
    QTest::newRow("read past the flash") << hex("560030060601 00080000") << hex("7600300300");
    QTest::newRow("write count and length disagree") << hex("560031050102 1234 0a") << hex("7600310200");
    QTest::newRow("write count 0") << hex("5600310401001234") << hex("7600310300");
    QTest::newRow("flash size in kilobits") << hex("56006000") << hex("760060000400001000");
    QTest::newRow("erase past the flash") << hex("5600610400080000") << hex("7600610300");
    QTest::newRow("fbuf length of buffer 2") << hex("5600340102") << hex("7600340300");
    QTest::newRow("set fbuf length while running") << hex("56003504000000ff") << hex("7600351400");
    QTest::newRow("fbuf control 4") << hex("5600360104") << hex("7600360300");
    QTest::newRow("step while running") << hex("5600360102") << hex("7600360400");
    QTest::newRow("zoom wider than the source") << hex("560052080281 01e0 0000 0000") << hex("7600520300");
    QTest::newRow("zoom past the right edge") << hex("56005208028001e000010000") << hex("7600520300");
    QTest::newRow("zoom") << hex("56005208026001c800000000") << hex("7600520000");
    QTest::newRow("down-size 1/4 by 1/2") << hex("5600540112") << hex("7600540000");
    QTest::newRow("down-size index 3") << hex("5600540103") << hex("7600540300");
    QTest::newRow("30 February") << hex("5600500707e3021e0c0000") << hex("7600500300");
    QTest::newRow("colour source 2") << hex("56003c020200") << hex("76003c0300");
    QTest::newRow("AE group 3") << hex("5600400303 0100") << hex("7600400300");
    QTest::newRow("motion control sub-function 4") << hex("5600420204 01") << hex("7600420300");
    QTest::newRow("alarm with 3 bytes") << hex("5600420301 0100") << hex("7600420200");
    QTest::newRow("15 OSD characters") << hex("560045100f00 0000000000000000000000000000") << hex("7600450300");
    QTest::newRow("OSD character 80") << hex("56004503010050") << hex("7600450300");
    QTest::newRow("baud sub-function 4") << hex("560024030400 00") << hex("7600240300");
    QTest::newRow("HUART baud with 3 bytes") << hex("5600240302 0298") << hex("7600240200");
    QTest::newRow("bitmap stop") << hex("5600710101") << hex("7600710000");
    QTest::newRow("bitmap without sub-function") << hex("56007100") << hex("7600710000");
    QTest::newRow("logo sub-function 3 short") << hex("560070030300 10") << hex("7600700200");
}

void TestSimModel::statuses()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, answer);
    ChipModel chip;
    QCOMPARE(exchange(chip, input).toHex(' '), answer.toHex(' '));
}

void TestSimModel::powerSaveRefusesImageCommands()
{
    ChipModel chip;
    QCOMPARE(exchange(chip, hex("56003e03000101")), hex("76003e0000"));
    QCOMPARE(exchange(chip, hex("56005208026001c800000000")), hex("7600521600"));
    QCOMPARE(exchange(chip, hex("5600340100")), hex("7600341600"));
    QCOMPARE(exchange(chip, hex("5600370101")), hex("7600371600"));
    // The link, the registers and power save itself still answer.
    QCOMPARE(exchange(chip, hex("5600300401011204")), hex("760030000135"));
    QCOMPARE(exchange(chip, hex("56003f0100")), hex("76003f00020101"));
    QCOMPARE(exchange(chip, hex("56003e03000100")), hex("76003e0000"));
    QCOMPARE(exchange(chip, hex("56005208026001c800000000")), hex("7600520000"));
    QCOMPARE(exchange(chip, hex("56005300")), hex("76005300 0c 0280 01e0 0260 01c8 0000 0000"));
}

void TestSimModel::serialNumber()
{
    ChipModel chip;
    // The answer to set-serial-number still carries the old number; later ones the new.
    QCOMPARE(exchange(chip, hex("5600210107")), hex("7600210000"));
    QCOMPARE(chip.serialNumber(), uint8_t(7));
    QCOMPARE(exchange(chip, hex("56072600")), hex("7607260000"));
    // A command with another number is still answered, under the chip's own number.
    QCOMPARE(exchange(chip, hex("56032600")), hex("7607260000"));
}

void TestSimModel::flashKeepsNorSemantics()
{
    ChipModel chip;
    QCOMPARE(exchange(chip, hex("56003107060100012345f0")), hex("7600310000"));
    QCOMPARE(exchange(chip, hex("560031070601000123453c")), hex("7600310000"));
    QCOMPARE(exchange(chip, hex("5600300606010001234 5")), hex("76003000 01 30"));
    // Neighbours in the same sector and the next sector.
    chip.memory().poke(MemoryType::SpiFlash, 0x12000, hex("00"));
    chip.memory().poke(MemoryType::SpiFlash, 0x13000, hex("00"));
    QCOMPARE(exchange(chip, hex("560061040001200f")), hex("7600610000"));
    QCOMPARE(chip.memory().peek(MemoryType::SpiFlash, 0x12000, 1), hex("ff"));
    QCOMPARE(chip.memory().peek(MemoryType::SpiFlash, 0x12345, 1), hex("ff"));
    QCOMPARE(chip.memory().peek(MemoryType::SpiFlash, 0x13000, 1), hex("00"));
    QCOMPARE(exchange(chip, hex("56006200")), hex("7600620000"));
    QCOMPARE(chip.memory().peek(MemoryType::SpiFlash, 0x13000, 1), hex("ff"));
    // EEPROMs store what they are given.
    QCOMPARE(exchange(chip, hex("56003105040100105a")), hex("7600310000"));
    QCOMPARE(exchange(chip, hex("5600310504010010a5")), hex("7600310000"));
    QCOMPARE(chip.memory().peek(MemoryType::I2cEeprom, 0x10, 1), hex("a5"));
}

void TestSimModel::sensorItemsHonourWidth()
{
    ChipModel chip;
    QCOMPARE(exchange(chip, hex("5600310902020200121234abcd")), hex("7600310000"));
    QCOMPARE(chip.memory().item(MemoryType::Sensor, 0x13), uint32_t(0xABCD));
    QCOMPARE(exchange(chip, hex("560030050202020012")), hex("76003000041234abcd"));
    QCOMPARE(exchange(chip, hex("560030050202010012")), hex("76003000023 4cd"));
    QCOMPARE(exchange(chip, hex("560031080301030100 123456")), hex("7600310000"));
    QCOMPARE(exchange(chip, hex("560030050301030100")), hex("7600300003123456"));
    // The two register spaces are apart.
    QCOMPARE(chip.memory().item(MemoryType::Sensor, 0x100), uint32_t(0));
}

void TestSimModel::windowThresholdPort()
{
    ChipModel chip;
    auto readStatus = [&chip] { return exchange(chip, hex("5600300401011a19")).right(1); };

    // Write Col Line of window 15 (selector 0x3F) = 0x1234.
    QCOMPARE(exchange(chip, hex("560031080104 1a16 3412 3f 01")), hex("7600310000"));
    QCOMPARE(chip.memory().windowThreshold(0x3F), uint16_t(0x0004)); // not yet: the port is busy
    for (int i = 0; i < ChipMemory::kPortBusyReads; ++i)
        QCOMPARE(readStatus(), hex("01"));
    QCOMPARE(readStatus(), hex("00"));
    QCOMPARE(chip.memory().windowThreshold(0x3F), uint16_t(0x1234));

    // Read Row Sum of window 3 (selector 6).
    chip.memory().setWindowThreshold(6, 0xBEEF);
    QCOMPARE(exchange(chip, hex("560031060102 1a18 06 02")), hex("7600310000"));
    QCOMPARE(exchange(chip, hex("5600300401021a1a")), hex("76003000020000")); // still busy: old value
    for (int i = 0; i < ChipMemory::kPortBusyReads; ++i)
        QCOMPARE(readStatus(), hex("02"));
    QCOMPARE(readStatus(), hex("00"));
    QCOMPARE(exchange(chip, hex("5600300401021a1a")), hex("7600300002efbe"));
}

void TestSimModel::controlInfoImage_data()
{
    QTest::addColumn<int>("place");
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("signature");
    QTest::newRow("i2c") << int(CtrlInfoPlace::I2cEeprom) << 4 << hex("aa55");
    QTest::newRow("spi-eeprom") << int(CtrlInfoPlace::SpiEeprom) << 5 << hex("aa55");
    QTest::newRow("spi-flash") << int(CtrlInfoPlace::SpiFlash) << 6 << hex("aa56");
    QTest::newRow("none") << int(CtrlInfoPlace::None) << 0 << QByteArray();
}

void TestSimModel::controlInfoImage()
{
    QFETCH(int, place);
    QFETCH(int, type);
    QFETCH(QByteArray, signature);
    ChipConfig config;
    config.ctrlInfo = CtrlInfoPlace(place);
    ChipMemory memory(config);
    for (int t = 4; t <= 6; ++t) {
        const QByteArray head = memory.peek(MemoryType(t), 0, 2);
        QCOMPARE(head, t == type ? signature : hex("ffff"));
    }
    if (type == 0)
        return;
    const auto m = MemoryType(type);
    auto be16At = [&](uint32_t a) { return getBe16(reinterpret_cast<const uint8_t *>(memory.peek(m, a, 2).constData())); };
    QCOMPARE(be16At(4), kCtrlInfoLength);
    QCOMPARE(uint8_t(memory.peek(m, 36, 1)[0]) & 0x1E, 0x1E);
    const uint16_t table = be16At(51);
    QVERIFY(table != 0);
    const uint16_t record = be16At(table + 2 * 16);
    QCOMPARE(memory.peek(m, record, 5), hex("0080800048"));
    // Past the control info the memory is erased.
    QCOMPARE(memory.peek(m, kCtrlInfoLength, 1), hex("ff"));
}

void TestSimModel::builtInPicturesAreJpeg()
{
    for (int frame = 0; frame < 2; ++frame) {
        const QImage image = QImage::fromData(testPicture(frame), "JPEG");
        QCOMPARE(image.size(), QSize(640, 480));
    }
    QVERIFY(testPicture(0) != testPicture(1));
    ChipModel chip;
    QCOMPARE(chip.frameBuffers().picture(0), testPicture(0));
}

void TestSimModel::fbufControlAndLength()
{
    ChipModel chip(smallPictures());
    const QByteArray current = chip.frameBuffers().picture(0);
    QCOMPARE(exchange(chip, hex("5600340100")), hex("76003400 04") + be32(uint32_t(current.size())));
    QCOMPARE(exchange(chip, hex("5600360100")), hex("7600360000")); // stop current
    QCOMPARE(exchange(chip, hex("5600350400000010")), hex("7600350000"));
    QCOMPARE(exchange(chip, hex("5600340100")), hex("760034000400000010"));
    QCOMPARE(exchange(chip, hex("5600350400200000")), hex("7600350300")); // past the capacity
    QCOMPARE(exchange(chip, hex("5600360102")), hex("7600360000"));       // step: next becomes current
    QCOMPARE(chip.frameBuffers().picture(0), chip.frameBuffers().picture(1));
    QCOMPARE(exchange(chip, hex("5600360103")), hex("7600360000"));
    QCOMPARE(exchange(chip, hex("5600350400000010")), hex("7600351400"));
    QCOMPARE(exchange(chip, hex("5600360101")), hex("7600360000")); // stopping next allows it too
    QCOMPARE(exchange(chip, hex("5600350400000010")), hex("7600350000"));
}

void TestSimModel::readFbufStreams_data()
{
    QTest::addColumn<int>("which");
    QTest::addColumn<bool>("encrypted");
    QTest::newRow("current") << 0 << false;
    QTest::newRow("next") << 1 << false;
    QTest::newRow("current encrypted") << 0 << true;
}

void TestSimModel::readFbufStreams()
{
    QFETCH(int, which);
    QFETCH(bool, encrypted);
    ChipModel chip;
    const QByteArray picture = chip.frameBuffers().picture(which);
    if (encrypted) {
        chip.memory().setReg(0x1318, 0x85);
        chip.memory().setReg(0x131D, 0x5A);
    }
    chip.feed(readFbufFrame(which, 0x02, uint32_t(picture.size()), 3000), t0);
    const auto out = chip.takeOutput();
    QCOMPARE(int(out.size()), 3);
    QCOMPARE(out[0].bytes, hex("7600320000"));
    QVERIFY(out[0].answer);
    QCOMPARE(out[1].gap, std::chrono::microseconds(3000));
    QCOMPARE(out[1].bytes.size(), picture.size());
    QCOMPARE(encrypted ? decrypt(out[1].bytes, 0x5A) : out[1].bytes, picture);
    if (encrypted)
        QVERIFY(out[1].bytes != picture);
    QCOMPARE(out[2].bytes, hex("7600320000"));
    QVERIFY(!out[2].answer); // follows the stream directly
    QCOMPARE(chip.frames().size(), 1);
}

void TestSimModel::readFbufForAnotherDevice()
{
    ChipModel chip(smallPictures());
    // SPI (device 3) while the PC is on the MCU UART: answer and closing answer, no bytes.
    QCOMPARE(exchange(chip, readFbufFrame(0, 0x06, 10)), hex("7600320000 7600320000"));
    // The PC on the HUART: HUART transfers stream, MCU UART ones do not.
    chip.setPcUart(2);
    QCOMPARE(exchange(chip, readFbufFrame(0, 0x04, 4)), hex("7600320000") + chip.frameBuffers().read(0, 0, 4) + hex("7600320000"));
    QCOMPARE(exchange(chip, readFbufFrame(0, 0x02, 4)), hex("7600320000 7600320000"));
    // Device bits 0, and a range past the buffer, are refused.
    QCOMPARE(exchange(chip, readFbufFrame(0, 0x01, 4)), hex("7600320300"));
    QCOMPARE(exchange(chip, readFbufFrame(0, 0x04, 0x100001)), hex("7600320300"));
}

void TestSimModel::writeFbufTakesRawBytes_data()
{
    QTest::addColumn<bool>("encrypted");
    QTest::newRow("plain") << false;
    QTest::newRow("encrypted") << true;
}

void TestSimModel::writeFbufTakesRawBytes()
{
    QFETCH(bool, encrypted);
    ChipModel chip(smallPictures());
    if (encrypted) {
        chip.memory().setReg(0x1318, 0x80);
        chip.memory().setReg(0x131D, 0x21);
    }
    QByteArray picture(3000, '\0');
    for (int i = 0; i < picture.size(); ++i)
        picture[i] = char(i * 7 + 3);
    // The raw bytes may hold the command sign; they are data, not frames.
    picture[10] = char(0x56);
    const QByteArray wire = encrypted ? encrypt(picture, 0x21) : picture;

    QCOMPARE(exchange(chip, writeFbufFrame(0x02, uint32_t(picture.size()))), hex("7600330000"));
    QVERIFY(chip.inRawReceive());
    QCOMPARE(exchange(chip, wire.left(1000), t0 + 10ms), QByteArray());
    QCOMPARE(exchange(chip, wire.mid(1000) + hex("56002600"), t0 + 20ms), hex("7600330000 7600260000"));
    QVERIFY(!chip.inRawReceive());
    QCOMPARE(chip.frames().size(), 2);
    QCOMPARE(chip.frameBuffers().read(0, 0, uint32_t(picture.size())), picture);
    // The length is the PC's to set, once the buffer is stopped.
    QCOMPARE(exchange(chip, hex("5600350400000bb8")), hex("7600351400"));
    exchange(chip, hex("5600360100"));
    QCOMPARE(exchange(chip, hex("5600350400000bb8")), hex("7600350000"));
    QCOMPARE(chip.frameBuffers().picture(0), picture);
}

void TestSimModel::writeFbufGivesUpWhenBytesStop()
{
    ChipModel chip(smallPictures());
    exchange(chip, writeFbufFrame(0x02, 100));
    exchange(chip, QByteArray(40, 'x'), t0 + 1s);
    chip.tick(t0 + 1s + ChipModel::kRawTimeout - 1ms);
    QVERIFY(chip.takeOutput().empty());
    chip.tick(t0 + 1s + ChipModel::kRawTimeout);
    QCOMPARE(exchange(chip, {}), hex("7600330500"));
    QCOMPARE(exchange(chip, hex("56002600"), t0 + 5s), hex("7600260000"));
}

void TestSimModel::notificationsWhileCommMotionOpen()
{
    ChipConfig config = smallPictures();
    config.motionIntervalMs = 1500;
    ChipModel chip(config, t0);
    QCOMPARE(exchange(chip, hex("5600370101")), hex("7600370000"));
    QCOMPARE(exchange(chip, hex("56003800")), hex("760038000101"));
    QCOMPARE(chip.nextDeadline(), t0 + 1500ms);
    chip.tick(t0 + 1499ms);
    QVERIFY(chip.takeOutput().empty());
    chip.tick(t0 + 1500ms);
    QCOMPARE(exchange(chip, {}), hex("7600390000"));
    chip.tick(t0 + 3000ms);
    QCOMPARE(exchange(chip, {}), hex("7600390000"));
    QCOMPARE(chip.notificationCount(), 2);
    // Notifications use the chip's serial number too.
    chip.setSerialNumber(9);
    chip.tick(t0 + 4500ms);
    QCOMPARE(exchange(chip, {}), hex("7609390000"));
    QCOMPARE(exchange(chip, hex("5609370100"), t0 + 5s), hex("7609370000"));
    chip.tick(t0 + 10s);
    QVERIFY(chip.takeOutput().empty());
    QCOMPARE(chip.nextDeadline(), TimePoint::max());
}

void TestSimModel::featuresKeepTheirValues_data()
{
    QTest::addColumn<QByteArray>("set");
    QTest::addColumn<QByteArray>("get");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("mirror") << hex("56003a02 0001") << hex("56003b00") << hex("76003b0002 0001");
    QTest::newRow("colour black and white") << hex("56003c02 0103") << hex("56003d00") << hex("76003d0003 010300");
    QTest::newRow("AE back light") << hex("56004003 020000") << hex("5600410102") << hex("7600410003 020000");
    QTest::newRow("power save property") << hex("56003e04 0105ffff") << hex("56003f0101") << hex("76003f0003 05ffff");
    QTest::newRow("alarm") << hex("56004204 01030064") << hex("5600430101") << hex("7600430003 030064");
    QTest::newRow("alarm output") << hex("56004202 0201") << hex("5600430102") << hex("7600430001 01");
    QTest::newRow("detection") << hex("56004203 000000") << hex("5600430100") << hex("7600430002 0000");
    QTest::newRow("down-size") << hex("56005401 21") << hex("56005500") << hex("7600550001 21");
    QTest::newRow("comm motion") << hex("56003701 01") << hex("56003800") << hex("7600380001 01");
}

void TestSimModel::featuresKeepTheirValues()
{
    QFETCH(QByteArray, set);
    QFETCH(QByteArray, get);
    QFETCH(QByteArray, answer);
    ChipModel chip;
    QCOMPARE(exchange(chip, set).mid(3, 1), hex("00"));
    QCOMPARE(exchange(chip, get).toHex(), answer.toHex());
}

void TestSimModel::clockRuns()
{
    ChipModel chip(smallPictures(), t0);
    QCOMPARE(exchange(chip, hex("56005007 07e8 021d 173b1e"), t0), hex("7600500000"));
    QCOMPARE(exchange(chip, hex("56005100"), t0 + 45s), hex("7600510007 07e8 0301 00000f"));
}

void TestSimModel::systemResetRestoresRegisters()
{
    ChipModel chip(smallPictures());
    exchange(chip, hex("5600310501011204 7f"));
    exchange(chip, hex("5600370101"));
    exchange(chip, hex("56003e03000101"));
    exchange(chip, hex("5600310504010010 0a"));
    QCOMPARE(exchange(chip, hex("56002600")), hex("7600260000"));
    QCOMPARE(chip.memory().reg(0x1204), uint8_t(0x35));
    QVERIFY(!chip.commMotionOpen());
    QCOMPARE(chip.features().powerSaveState, uint8_t(0));
    QCOMPARE(chip.memory().peek(MemoryType::I2cEeprom, 0x10, 1), hex("0a")); // memories survive
}

void TestSimModel::faults_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");

    const QByteArray reset = hex("7600260000");
    QTest::newRow("noanswer") << "noanswer" << QByteArray() << QByteArray();
    QTest::newRow("serial") << "serial" << hex("7601260000") << hex("7601260000");
    QTest::newRow("sign") << "sign" << hex("5600260000") << hex("5600260000");
    QTest::newRow("long") << "long" << (hex("7600260011") + QByteArray(17, '\0')) << (hex("7600260011") + QByteArray(17, '\0'));
    QTest::newRow("status") << "status=5,cmd=0x26" << hex("7600260500") << hex("7600260500");
    QTest::newRow("once") << "status=4,times=1" << hex("7600260400") << reset;
    QTest::newRow("other command") << "noanswer,cmd=11" << reset << reset;
}

void TestSimModel::faults()
{
    QFETCH(QString, rule);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    ChipModel chip;
    chip.faults().add(*FaultRule::parse(rule));
    QCOMPARE(exchange(chip, hex("56002600")).toHex(), first.toHex());
    QCOMPARE(exchange(chip, hex("56002600")).toHex(), second.toHex());
    QCOMPARE(chip.frames().size(), 2); // faulty or not, the frames were received
}

void TestSimModel::stallCutsRawPhases()
{
    ChipModel chip(smallPictures());
    chip.faults().add(*FaultRule::parse("stall=5"));
    chip.faults().add(*FaultRule::parse("delay=250,cmd=0x32"));
    exchange(chip, hex("5600360100"));
    // Read: 5 bytes of the picture, then nothing.
    chip.feed(readFbufFrame(0, 0x02, 12), t0);
    const auto out = chip.takeOutput();
    QCOMPARE(int(out.size()), 2);
    QCOMPARE(out[0].delay, std::chrono::milliseconds(250));
    QCOMPARE(out[1].bytes, chip.frameBuffers().read(0, 0, 5));
    // Write: the chip keeps 5 bytes and drops the rest of the phase without answering.
    const QByteArray before = chip.frameBuffers().read(0, 0, 8);
    QCOMPARE(exchange(chip, writeFbufFrame(0x02, 8)), hex("7600330000"));
    QCOMPARE(exchange(chip, "ABCDEFGH"), QByteArray());
    QCOMPARE(chip.frameBuffers().read(0, 0, 8), QByteArray("ABCDE") + before.mid(5));
    // Commands without a raw phase are not touched.
    QCOMPARE(exchange(chip, hex("56002600")), hex("7600260000"));
}

void TestSimModel::flakyFlipsMemoryWrites()
{
    ChipModel chip;
    chip.faults().add(*FaultRule::parse("flaky=2"));
    // Register writes are not memory writes and do not use the rule up.
    exchange(chip, hex("5600310501011204 7f"));
    QCOMPARE(chip.memory().reg(0x1204), uint8_t(0x7f));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(exchange(chip, hex("56003105040101") + char(i) + char(0x5a)), hex("7600310000"));
    const QByteArray stored = chip.memory().peek(MemoryType::I2cEeprom, 0x100, 3);
    QCOMPARE(__builtin_popcount(uint8_t(stored[0]) ^ 0x5a), 1);
    QCOMPARE(__builtin_popcount(uint8_t(stored[1]) ^ 0x5a), 1);
    QCOMPARE(stored[2], char(0x5a)); // the rule is used up
    QVERIFY(chip.faults().rules().isEmpty());

    // One byte of a write goes wrong, the others are stored as sent.
    ChipModel second;
    second.faults().add(*FaultRule::parse("flaky=1"));
    exchange(second, hex("560031080504 0300 5a5a5a5a"));
    const QByteArray bytes = second.memory().peek(MemoryType::SpiEeprom, 0x300, 4);
    QCOMPARE(bytes.mid(1), hex("5a5a5a"));
    QCOMPARE(__builtin_popcount(uint8_t(bytes[0]) ^ 0x5a), 1);
}

void TestSimModel::faultRuleParsing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("normalised"); // empty when refused
    QTest::newRow("plain") << "noanswer" << "noanswer";
    QTest::newRow("status with command") << "status=5,cmd=0x26" << "status=5,cmd=0x26";
    QTest::newRow("command without 0x") << "hangup,cmd=26,times=2" << "hangup,cmd=0x26,times=2";
    QTest::newRow("upper case") << "DELAY=300,CMD=0X3F" << "delay=300,cmd=0x3f";
    QTest::newRow("flaky counts itself") << "flaky=3" << "flaky=3";
    QTest::newRow("unknown kind") << "garble" << "";
    QTest::newRow("status without value") << "status" << "";
    QTest::newRow("value on noanswer") << "noanswer=3" << "";
    QTest::newRow("bad command") << "serial,cmd=0x1G" << "";
    QTest::newRow("command too big") << "serial,cmd=100" << "";
    QTest::newRow("times 0") << "sign,times=0" << "";
    QTest::newRow("unknown option") << "sign,when=3" << "";
    QTest::newRow("status 256") << "status=256" << "";
}

void TestSimModel::faultRuleParsing()
{
    QFETCH(QString, text);
    QFETCH(QString, normalised);
    QString error;
    const auto rule = FaultRule::parse(text, &error);
    QCOMPARE(rule.has_value(), !normalised.isEmpty());
    if (rule)
        QCOMPARE(rule->toString(), normalised);
    else
        QVERIFY(!error.isEmpty());
}

void TestSimModel::recordAndTrace()
{
    QTemporaryDir dir;
    const QString trace = dir.filePath("trace.txt");
    ChipConfig config = smallPictures();
    config.traceFile = trace;
    {
        ChipModel chip(config);
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
        chip.clearFrames();
        QVERIFY(chip.frames().isEmpty());
    }
    QFile file(trace);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("56 00 11 00\n56 00 33 0B 02 00 00 00 00 00 00 00 03 00 00\n56 00 26 00\n"));
}

void TestSimModel::linePacerSchedule()
{
    LinePacer pacer;
    pacer.setBaud(0, t0);
    QVERIFY(pacer.allowance(t0) > 1'000'000);

    pacer.setBaud(115200, t0);
    QCOMPARE(pacer.chunk(), int64_t(11));
    QCOMPARE(pacer.allowance(t0), int64_t(0));
    QCOMPARE(pacer.allowance(t0 + 1s), int64_t(11520));
    pacer.consume(11000);
    QCOMPARE(pacer.allowance(t0 + 1s), int64_t(520));
    // A late look makes up the whole schedule, not more.
    QCOMPARE(pacer.allowance(t0 + 2s), int64_t(12040));
    QVERIFY(pacer.dueTime(520) <= t0 + 1s);
    QVERIFY(pacer.dueTime(521) > t0 + 1s);
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

QTEST_GUILESS_MAIN(TestSimModel)
#include "tst_sim_model.moc"
