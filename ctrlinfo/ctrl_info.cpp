#include "ctrlinfo/ctrl_info.h"

#include "ctrlinfo/config_settings.h"
#include "link/failure_text.h"
#include "link/messages.h"

#include <chrono>
#include <thread>

namespace zm {

namespace {

// One read-data command of `n` bytes (at most 16) at `address` of the device.
uint8_t readDevice(Commands &c, CtrlInfoDevice device, uint16_t address, int n, uint8_t *out)
{
    TransferRecord t;
    t.type = ctrlInfoMemoryType(device);
    t.address = address;
    t.count = uint8_t(n);
    const uint8_t r = c.readData(t);
    if (r == 0)
        std::copy(t.data.begin(), t.data.begin() + n, out);
    return r;
}

} // namespace

CtrlInfoDevice ctrlInfoDeviceFrom(int code)
{
    return code >= 1 && code <= 3 ? CtrlInfoDevice(code) : CtrlInfoDevice::None;
}

uint16_t ctrlInfoSignature(CtrlInfoDevice d)
{
    switch (d) {
    case CtrlInfoDevice::I2cEeprom:
    case CtrlInfoDevice::SpiEeprom: return 0xAA55;
    case CtrlInfoDevice::SpiFlash: return 0xAA56;
    case CtrlInfoDevice::None: break;
    }
    return 0;
}

uint8_t StopBitmapIfShown(Commands &c)
{
    // A register that cannot be read counts as 0: no bitmap is taken to be shown, and what
    // comes next finds out for itself whether the chip answers.
    uint8_t osd = 0;
    if (c.readRegister(kOsdControlRegister, osd) != 0)
        osd = 0;
    if (!(osd & 0x08))
        return 0;
    if (const uint8_t r = c.bitmapControl(1, 0, 0))
        return r;
    std::this_thread::sleep_for(std::chrono::milliseconds(kBitmapStopPauseMs));
    return 0;
}

CtrlInfoDevice LocateCtrlInfo(Commands &c, QString &error)
{
    ConfigSettings &settings = ConfigSettings::of(c.session());
    settings.setCtrlInfoDevice(CtrlInfoDevice::None);
    for (const CtrlInfoDevice device : {CtrlInfoDevice::I2cEeprom, CtrlInfoDevice::SpiEeprom, CtrlInfoDevice::SpiFlash}) {
        if (device == CtrlInfoDevice::SpiEeprom && StopBitmapIfShown(c) != 0) {
            error = QString::fromLatin1(msg::kStopBitmapFailed);
            return CtrlInfoDevice::None;
        }
        uint8_t word[2] = {};
        BlockDescriptor block{ctrlInfoMemoryType(device), 0, 2, word};
        if (const uint8_t r = c.blockRead(&block, 1)) {
            error = failureText(c.session(), r);
            return CtrlInfoDevice::None;
        }
        if (getBe16(word) == ctrlInfoSignature(device)) {
            settings.setCtrlInfoDevice(device);
            return device;
        }
    }
    error = QString::fromLatin1(msg::kNotFindCtrlInfo);
    return CtrlInfoDevice::None;
}

CtrlInfoDevice EnsureCtrlInfoDevice(Commands &c, QString &error)
{
    const CtrlInfoDevice stored = ConfigSettings::of(c.session()).ctrlInfoDevice();
    return stored != CtrlInfoDevice::None ? stored : LocateCtrlInfo(c, error);
}

bool CheckCtrlInfoSignature(Commands &c, CtrlInfoDevice device)
{
    if (device == CtrlInfoDevice::None)
        return false;
    uint8_t word[2] = {};
    return readDevice(c, device, kSignatureOffset, 2, word) == 0 && getBe16(word) == ctrlInfoSignature(device);
}

bool ReadCtrlInfoSize(Commands &c, CtrlInfoDevice device, uint16_t &size)
{
    if (device == CtrlInfoDevice::None)
        return false;
    uint8_t word[2] = {};
    if (readDevice(c, device, kDataLengthOffset, 2, word) != 0)
        return false;
    size = getBe16(word);
    return true;
}

uint8_t FindCtrlInfoRecord(Commands &c, CtrlInfoDevice device, CtrlInfoSection section, uint16_t &address)
{
    if (device == CtrlInfoDevice::None) {
        c.session().setLastResult(rc::InvalidParameter);
        return rc::InvalidParameter;
    }
    auto readWord = [&](uint16_t at, uint16_t &value) {
        uint8_t word[2] = {};
        const uint8_t r = readDevice(c, device, at, 2, word);
        value = getBe16(word);
        return r;
    };
    return lookupCtrlInfoRecord(readWord, section, address);
}

} // namespace zm
