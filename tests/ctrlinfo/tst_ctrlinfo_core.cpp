// The control-info core: the divisors and model lists, the rules of the program-wide settings,
// and the search for the control info and its records against the simulated chip.

#include "ctrlinfo/config_settings.h"
#include "ctrlinfo/device_models.h"
#include "ctrlinfo/divisors.h"
#include "link/hex_text.h"
#include "link/messages.h"
#include "sim/ctrl_info_image.h"
#include "tests/ctrlinfo/ctrl_info_rig.h"

#include <QTest>

using namespace zm;
using test::CtrlInfoRig;
using Place = sim::CtrlInfoPlace;

Q_DECLARE_METATYPE(zm::CtrlInfoDevice)
Q_DECLARE_METATYPE(zm::sim::CtrlInfoPlace)

class TestCtrlInfoCore : public QObject
{
    Q_OBJECT

private slots:
    // The chip's MCU table is its formula, 16 x clock / baud - 256, for every clock and rate.
    void mcuTableFollowsItsFormula()
    {
        for (int clock = 0; clock < 2; ++clock)
            for (int baud = 0; baud < 5; ++baud)
                QCOMPARE(int(mcuUartValue(clock, baud)), 16 * clockHz(clock) / mcuBaud(baud) - 256);
        QCOMPARE(formatHex(mcuUartValue(1, 4), 4), QString("1288"));
        QCOMPARE(formatHex(mcuUartValue(0, 0), 4), QString("AEC8"));
    }

    void highSpeedDivisor_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("inter");
        QTest::addColumn<QString>("frac");
        QTest::newRow("38400") << 0 << "002B" << "03C8";
        QTest::newRow("115200") << 2 << "000E" << "0298";
        QTest::newRow("921600") << 4 << "0001" << "0353";
    }
    void highSpeedDivisor()
    {
        QFETCH(int, index);
        QFETCH(QString, inter);
        QFETCH(QString, frac);
        const HighSpeedDivisor d = zm::highSpeedDivisor(index);
        QCOMPARE(formatHex(d.inter, 4), inter);
        QCOMPARE(formatHex(d.frac, 4), frac);
    }

    // The SPI lists round halves up (0.5625 MHz reads 0.563), and the divider of every entry is
    // d / 2 - 1 for both clocks.
    void spiRatesAndDividers()
    {
        QCOMPARE(spiRateTexts(0), QStringList({"0.211 Mhz", "0.422 Mhz", "0.844 Mhz", "1.688 Mhz", "3.375 Mhz",
                                               "6.750 Mhz", "13.500 Mhz"}));
        QCOMPARE(spiRateTexts(1), QStringList({"0.281 Mhz", "0.563 Mhz", "1.125 Mhz", "2.250 Mhz", "4.500 Mhz",
                                               "9.000 Mhz", "18.000 Mhz"}));
        for (int clock = 0; clock < 2; ++clock)
            for (int i = 0; i < kSpiRateCount; ++i)
                QCOMPARE(int(spiDivider(clock, i)), spiDivision(i) / 2 - 1);
        QCOMPARE(formatHex(spiDivider(0, 0), 4), QString("003F"));
        QCOMPARE(formatHex(spiDivider(0, 6), 4), QString("0000"));
    }

    void lists()
    {
        QCOMPARE(deviceSizeTexts(), QStringList({"64   Bytes", "128  Bytes", "256  Bytes", "512  Bytes", "1K   Bytes",
                                                 "2K   Bytes", "4K   Bytes", "8K   Bytes", "16K  Bytes", "32K  Bytes",
                                                 "64K  Bytes", "128K Bytes", "256K Bytes", "512K Bytes", "1M   Bytes"}));
        const QStringList given = givenSizeTexts();
        QCOMPARE(given.value(0), QString("  64 Bytes"));
        QCOMPARE(given.value(5), QString("   2 KBytes"));
        QCOMPARE(given.value(14), QString("1024 KBytes"));
        QCOMPARE(pageSizeIndex(1), 0);
        QCOMPARE(pageSizeIndex(64), 6);
        QCOMPARE(pageSizeIndex(1024), 10);
        QCOMPARE(modelByName(CtrlInfoDevice::SpiEeprom, "at25128a"), 8);
        QCOMPARE(modelByName(CtrlInfoDevice::I2cEeprom, "AT25128A"), -1);
        QCOMPARE(modelTexts(CtrlInfoDevice::I2cEeprom).value(7), QString("24C512 (64 KB)"));
    }

    void flashSizeChoosesModel_data()
    {
        QTest::addColumn<uint>("kilobits");
        QTest::addColumn<uint>("size");
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("page");
        QTest::newRow("4096") << 4096u << 524288u << "AT25F4096A (512 KB)" << 256;
        QTest::newRow("512") << 512u << 65536u << "AT25F512A  (64  KB)" << 256;
        QTest::newRow("1024") << 1024u << 131072u << "AT25F1024A (128 KB)" << 128;
        QTest::newRow("1000 matches none") << 1000u << 128000u << "Unknow" << 1;
    }
    void flashSizeChoosesModel()
    {
        QFETCH(uint, kilobits);
        QFETCH(uint, size);
        QFETCH(QString, model);
        QFETCH(int, page);
        CommandLayer layer;
        ConfigSettings &s = ConfigSettings::of(layer);
        s.chooseDevice(CtrlInfoDevice::SpiFlash);
        const int index = s.chooseFlashSize(kilobits);
        QCOMPARE(s.deviceSize(), size);
        QCOMPARE(modelTexts(CtrlInfoDevice::SpiFlash).value(index), model);
        QCOMPARE(s.pageSize(), page);
        QCOMPARE(layer.pageSize(), page); // the block writes of the link use it
    }

    // What the flash reports decides size, model and page size; a flash that reports 0 is unknown
    // and changes nothing.
    void checkFlashType_data()
    {
        QTest::addColumn<uint>("flashBytes");
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("error");
        QTest::addColumn<uint>("size");
        QTest::addColumn<int>("page");
        QTest::newRow("512 KB") << 524288u << 4 << "" << 524288u << 256;
        QTest::newRow("1000 kilobits") << 128000u << 0 << "" << 128000u << 1;
        QTest::newRow("none") << 0u << -1 << "Unknow flash type" << 65536u << 256;
    }
    void checkFlashType()
    {
        QFETCH(uint, flashBytes);
        QFETCH(int, model);
        QFETCH(QString, error);
        QFETCH(uint, size);
        QFETCH(int, page);
        CtrlInfoRig rig(Place::SpiFlash, flashBytes);
        ConfigSettings::of(rig.layer).setCtrlInfoDevice(CtrlInfoDevice::SpiFlash);
        QString text;
        QCOMPARE(CheckFlashType(rig.c, text), model);
        QCOMPARE(text, error);
        QCOMPARE(ConfigSettings::of(rig.layer).deviceSize(), size);
        QCOMPARE(rig.layer.pageSize(), page);
    }

    void deviceModelAndSizeRules()
    {
        CommandLayer layer;
        ConfigSettings &s = ConfigSettings::of(layer);
        QCOMPARE(&ConfigSettings::of(layer), &s);
        QCOMPARE(s.ctrlInfoDevice(), CtrlInfoDevice::None);
        QCOMPARE(s.deviceSize(), 65536u);
        QCOMPARE(s.pageSize(), 256);

        // An I2C EEPROM model sets the size and leaves the page size alone.
        s.setPageSize(32);
        QCOMPARE(s.chooseDevice(CtrlInfoDevice::I2cEeprom), 7); // 24C512 (64 KB) matches 65536
        s.chooseModel(3);
        QCOMPARE(s.deviceSize(), 1024u);
        QCOMPARE(s.pageSize(), 32);

        // An SPI EEPROM model sets both; a size of no model gives "Unknow" and page size 1.
        s.chooseDevice(CtrlInfoDevice::SpiEeprom);
        s.chooseModel(8);
        QCOMPARE(s.deviceSize(), 16384u);
        QCOMPARE(layer.pageSize(), 64);
        QCOMPARE(s.chooseSize(deviceSizeIndex(32768)), 9);
        QCOMPARE(s.pageSize(), 64);
        QCOMPARE(s.chooseSize(deviceSizeIndex(65536)), 0);
        QCOMPARE(s.pageSize(), 1);
        QCOMPARE(s.deviceSize(), 65536u);

        // "Unknow" as the device: page size 1, the size stays.
        s.chooseSize(deviceSizeIndex(512));
        s.chooseDevice(CtrlInfoDevice::None);
        QCOMPARE(s.pageSize(), 1);
        QCOMPARE(s.deviceSize(), 512u);

        // The PC UART and the serial number are the command layer's.
        s.setCommDevice(2);
        QCOMPARE(layer.pcUart(), 2);
        s.setCurrentSerial(7);
        QCOMPARE(layer.serialNumber(), uint8_t(7));

        // Another layer, another program: built-in values again.
        CommandLayer other;
        QCOMPARE(ConfigSettings::of(other).pageSize(), 256);
        QCOMPARE(ConfigSettings::of(other).ctrlInfoDevice(), CtrlInfoDevice::None);
    }

    void locate_data()
    {
        QTest::addColumn<Place>("place");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<uint8_t>("osd");
        QTest::addColumn<CtrlInfoDevice>("device");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("frames");
        const QString i2c = "5600300404020000", osd = "5600300401012500", spi = "5600300405020000",
                      flash = "56003006060200000000", stop = "5600710101";
        // The I2C EEPROM wins even when the SPI memories hold control info too: they are not probed.
        QTest::newRow("i2c") << Place::I2cEeprom << "" << uint8_t(0x09) << CtrlInfoDevice::I2cEeprom << ""
                             << QStringList{i2c};
        QTest::newRow("spi eeprom") << Place::SpiEeprom << "" << uint8_t(0x01) << CtrlInfoDevice::SpiEeprom << ""
                                    << QStringList{i2c, osd, spi};
        QTest::newRow("flash, bitmap shown") << Place::SpiFlash << "" << uint8_t(0x09) << CtrlInfoDevice::SpiFlash << ""
                                             << QStringList{i2c, osd, stop, spi, flash};
        QTest::newRow("none") << Place::None << "" << uint8_t(0x01) << CtrlInfoDevice::None << "Not find ctrl info"
                              << QStringList{i2c, osd, spi, flash};
        // A failed read ends the search with its result text.
        QTest::newRow("i2c read fails") << Place::SpiFlash << "status=5,cmd=0x30,times=1" << uint8_t(0x01)
                                        << CtrlInfoDevice::None << "Cmd recept, but execute failed" << QStringList{i2c};
        QTest::newRow("bitmap stop fails") << Place::SpiFlash << "status=4,cmd=0x71" << uint8_t(0x08)
                                           << CtrlInfoDevice::None << "Stop Bitmap failed!"
                                           << QStringList{i2c, osd, stop};
    }
    void locate()
    {
        QFETCH(Place, place);
        QFETCH(QString, fault);
        QFETCH(uint8_t, osd);
        QFETCH(CtrlInfoDevice, device);
        QFETCH(QString, error);
        QFETCH(QStringList, frames);
        CtrlInfoRig rig(place);
        // Control info everywhere but where the search must not look.
        if (place == Place::I2cEeprom) {
            rig.chip.writeMemory(MemoryType::SpiEeprom, 0, sim::ctrlInfoImage(Place::SpiEeprom));
            rig.chip.writeMemory(MemoryType::SpiFlash, 0, sim::ctrlInfoImage(Place::SpiFlash));
        }
        rig.chip.setReg(kOsdControlRegister, osd);
        QVERIFY(fault.isEmpty() || rig.chip.addFault(fault));
        ConfigSettings::of(rig.layer).setCtrlInfoDevice(CtrlInfoDevice::SpiEeprom); // a stale code goes
        QString text;
        QCOMPARE(LocateCtrlInfo(rig.c, text), device);
        QCOMPARE(text, error);
        QCOMPARE(ConfigSettings::of(rig.layer).ctrlInfoDevice(), device);
        QCOMPARE(rig.frames(), frames);
    }

    // The flash's signature is 0xAA56: the EEPROMs' 0xAA55 on the flash is no control info.
    void flashSignatureIsItsOwn()
    {
        CtrlInfoRig rig(Place::None);
        rig.chip.writeMemory(MemoryType::SpiFlash, 0, sim::ctrlInfoImage(Place::I2cEeprom));
        QString error;
        QCOMPARE(LocateCtrlInfo(rig.c, error), CtrlInfoDevice::None);
        QCOMPARE(error, QString(msg::kNotFindCtrlInfo));
        QVERIFY(!CheckCtrlInfoSignature(rig.c, CtrlInfoDevice::SpiFlash));
        rig.chip.clearFrames();
        QVERIFY(!CheckCtrlInfoSignature(rig.c, CtrlInfoDevice::None));
        uint16_t size = 0;
        QVERIFY(!ReadCtrlInfoSize(rig.c, CtrlInfoDevice::None, size));
        QVERIFY(rig.chip.frames().isEmpty());
    }

    // A stored device is used without probing; "Unknow" makes the next action locate again.
    void storedDeviceIsNotProbedAgain()
    {
        CtrlInfoRig rig(Place::SpiEeprom);
        ConfigSettings::of(rig.layer).setCtrlInfoDevice(CtrlInfoDevice::I2cEeprom);
        QString error;
        QCOMPARE(EnsureCtrlInfoDevice(rig.c, error), CtrlInfoDevice::I2cEeprom);
        QVERIFY(rig.chip.frames().isEmpty());
        ConfigSettings::of(rig.layer).chooseDevice(CtrlInfoDevice::None);
        QCOMPARE(EnsureCtrlInfoDevice(rig.c, error), CtrlInfoDevice::SpiEeprom);
    }

    void recordsOfEveryMemory_data()
    {
        QTest::addColumn<Place>("place");
        QTest::newRow("i2c") << Place::I2cEeprom;
        QTest::newRow("spi eeprom") << Place::SpiEeprom;
        QTest::newRow("spi flash") << Place::SpiFlash;
    }
    void recordsOfEveryMemory()
    {
        QFETCH(Place, place);
        CtrlInfoRig rig(place);
        const auto device = CtrlInfoDevice(uint8_t(place));
        const auto type = MemoryType(ctrlInfoMemoryType(device));
        QVERIFY(CheckCtrlInfoSignature(rig.c, device));
        uint16_t size = 0;
        QVERIFY(ReadCtrlInfoSize(rig.c, device, size));
        QCOMPARE(size, sim::kCtrlInfoLength);

        uint16_t record = 0;
        QCOMPARE(FindImagePropertyRecord(rig.c, device, record), uint8_t(0));
        QCOMPARE(record, sim::kImagePropertyAddress);
        QCOMPARE(rig.memory(type, record, kImagePropertyLength), QByteArray::fromHex("0080800048"));

        // No record, then no table: found absent, not failed.
        rig.chip.writeMemory(type, sim::kExternTableAddress + 32, QByteArray(2, '\0'));
        QCOMPARE(FindImagePropertyRecord(rig.c, device, record), uint8_t(0));
        QCOMPARE(record, uint16_t(0));
        uint16_t sensor = 0;
        QCOMPARE(FindCtrlInfoRecord(rig.c, device, CtrlInfoSection::SensorConfig, sensor), uint8_t(0));
        QCOMPARE(sensor, uint16_t(0x0070));
        rig.chip.writeMemory(type, kExternTableOffset, QByteArray(2, '\0'));
        record = 0x1234;
        QCOMPARE(FindCtrlInfoRecord(rig.c, device, CtrlInfoSection::SensorConfig, record), uint8_t(0));
        QCOMPARE(record, uint16_t(0));

        QVERIFY(rig.chip.addFault("status=3,cmd=0x30,times=1"));
        QCOMPARE(FindImagePropertyRecord(rig.c, device, record), uint8_t(rc::InvalidDataFormat));
    }
};

QTEST_GUILESS_MAIN(TestCtrlInfoCore)
#include "tst_ctrlinfo_core.moc"
