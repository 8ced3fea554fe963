#include "ctrlinfo/device_models.h"

#include <span>

namespace zm {

namespace {

constexpr DeviceModel kI2cEeproms[] = {
    {"24C02  (256 B)", 256, 0},   {"24C04  (512 B)", 512, 0},   {"24C08  (1  KB)", 1024, 0},
    {"24C16  (2  KB)", 2048, 0},  {"24C32  (4  KB)", 4096, 0},  {"24C64  (8  KB)", 8192, 0},
    {"24C512 (64 KB)", 65536, 0},
};
constexpr DeviceModel kSpiEeproms[] = {
    {"AT25010A (128 B)", 128, 8},    {"AT25020A (256 B)", 256, 8},    {"AT25040A (512 B)", 512, 8},
    {"AT25080A (1  KB)", 1024, 32},  {"AT25160A (2  KB)", 2048, 32},  {"AT25320A (4  KB)", 4096, 32},
    {"AT25640A (8  KB)", 8192, 32},  {"AT25128A (16 KB)", 16384, 64}, {"AT25256A (32 KB)", 32768, 64},
};
constexpr DeviceModel kSpiFlashes[] = {
    {"AT25F512A  (64  KB)", 65536, 256},
    {"AT25F1024A (128 KB)", 131072, 128},
    {"AT25F2048A (256 KB)", 262144, 256},
    {"AT25F4096A (512 KB)", 524288, 256},
};

std::span<const DeviceModel> models(CtrlInfoDevice device)
{
    switch (device) {
    case CtrlInfoDevice::I2cEeprom: return kI2cEeproms;
    case CtrlInfoDevice::SpiEeprom: return kSpiEeproms;
    case CtrlInfoDevice::SpiFlash: return kSpiFlashes;
    case CtrlInfoDevice::None: break;
    }
    return {};
}

} // namespace

QStringList ctrlInfoDeviceTexts()
{
    return {QString::fromLatin1(kUnknowModel), QStringLiteral("I2C E2prom"), QStringLiteral("SPI E2prom"),
            QStringLiteral("SPI Flash")};
}

QString ctrlInfoDeviceText(CtrlInfoDevice device)
{
    return ctrlInfoDeviceTexts().value(int(device), QString::fromLatin1(kUnknowModel));
}

int modelCount(CtrlInfoDevice device)
{
    return int(models(device).size());
}

const DeviceModel *model(CtrlInfoDevice device, int index)
{
    const auto list = models(device);
    return index >= 1 && index <= int(list.size()) ? &list[size_t(index - 1)] : nullptr;
}

QStringList modelTexts(CtrlInfoDevice device)
{
    if (device == CtrlInfoDevice::None)
        return {};
    QStringList texts{QString::fromLatin1(kUnknowModel)};
    for (const DeviceModel &m : models(device))
        texts << QString::fromLatin1(m.text);
    return texts;
}

int modelForSize(CtrlInfoDevice device, uint32_t size)
{
    const auto list = models(device);
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].size == size)
            return int(i) + 1;
    return 0;
}

int modelByName(CtrlInfoDevice device, const QString &name)
{
    const auto list = models(device);
    for (size_t i = 0; i < list.size(); ++i)
        if (QString::fromLatin1(list[i].text).section(' ', 0, 0).compare(name, Qt::CaseInsensitive) == 0)
            return int(i) + 1;
    return -1;
}

QString modelName(CtrlInfoDevice device, int index)
{
    const DeviceModel *m = model(device, index);
    return m ? QString::fromLatin1(m->text).simplified() : QString::fromLatin1(kUnknowModel);
}

int deviceSizeIndex(uint32_t size)
{
    for (int i = 0; i < kDeviceSizeCount; ++i)
        if (deviceSizeAt(i) == size)
            return i;
    return -1;
}

QStringList deviceSizeTexts()
{
    QStringList texts;
    for (int i = 0; i < kDeviceSizeCount; ++i) {
        const uint32_t size = deviceSizeAt(i);
        const QString number = size < 1024          ? QString::number(size)
                               : size < 1024 * 1024 ? QStringLiteral("%1K").arg(size / 1024)
                                                    : QStringLiteral("%1M").arg(size / (1024 * 1024));
        texts << number.leftJustified(5, ' ') + QStringLiteral("Bytes");
    }
    return texts;
}

QStringList givenSizeTexts()
{
    QStringList texts;
    for (int i = 0; i < kDeviceSizeCount; ++i) {
        const uint32_t size = deviceSizeAt(i);
        texts << (size < 1024 ? QString::asprintf("%4u Bytes", size) : QString::asprintf("%4u KBytes", size / 1024));
    }
    return texts;
}

QStringList pageSizeTexts()
{
    QStringList texts;
    for (int i = 0; i < kPageSizeCount; ++i)
        texts << QString::asprintf("%4d Bytes", 1 << i);
    return texts;
}

int pageSizeIndex(int pageSize)
{
    int index = 0;
    while (index + 1 < kPageSizeCount && (2 << index) <= pageSize)
        ++index;
    return index;
}

} // namespace zm
