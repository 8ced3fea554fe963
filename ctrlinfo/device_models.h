#pragma once
// The serial memories that can hold the control info: the device codes and their list texts, the
// models of each kind of memory, the device-size list and the page-size list. The Configuration
// window, the Upload/Download window and zmctl all choose from these.
//
//     modelTexts(CtrlInfoDevice::SpiFlash)             -> {"Unknow", "AT25F512A  (64  KB)", ...}
//     modelForSize(CtrlInfoDevice::SpiFlash, 524288)   -> 4 (list index; 0 is "Unknow")
//     model(CtrlInfoDevice::SpiFlash, 4)->pageSize     -> 256
//     modelByName(CtrlInfoDevice::I2cEeprom, "24c512") -> 7

#include "ctrlinfo/ctrl_info.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace zm {

struct DeviceModel {
    const char *text; // as the model lists show it
    uint32_t size;    // bytes
    int pageSize;     // bytes; 0 for the I2C EEPROMs, whose models leave the page size alone
};

inline constexpr char kUnknowModel[] = "Unknow";

// "Unknow", "I2C E2prom", "SPI E2prom", "SPI Flash": list index = device code.
QStringList ctrlInfoDeviceTexts();
QString ctrlInfoDeviceText(CtrlInfoDevice device);

// The models of a memory, without the "Unknow" entry; none for CtrlInfoDevice::None.
int modelCount(CtrlInfoDevice device);
// Model `index` of the model list (1 is the first model; 0 "Unknow" and anything out of range give
// null).
const DeviceModel *model(CtrlInfoDevice device, int index);
// "Unknow" followed by the memory's model texts; empty for CtrlInfoDevice::None.
QStringList modelTexts(CtrlInfoDevice device);
// The list index of the model with that size, 0 ("Unknow") when none has it.
int modelForSize(CtrlInfoDevice device, uint32_t size);
// The list index of the model whose text starts with `name` as its first word (any case), -1 when
// the memory has no such model.
int modelByName(CtrlInfoDevice device, const QString &name);
// The model's text with its padding blanks folded ("AT25F512A (64 KB)"), "Unknow" for index 0.
QString modelName(CtrlInfoDevice device, int index);

// The device-size list: 64 x 2^k bytes for k = 0..14.
inline constexpr int kDeviceSizeCount = 15;
inline constexpr uint32_t deviceSizeAt(int index) { return uint32_t(64) << index; }
// The list index of a size, -1 when the size is not on the list.
int deviceSizeIndex(uint32_t size);
// "64   Bytes" ... "512K Bytes", "1M   Bytes".
QStringList deviceSizeTexts();
// The given-size list of an upload, the same sizes: "%4d Bytes" below 1024, "%4d KBytes" from on.
QStringList givenSizeTexts();

// The page-size list: 1, 2, 4, ..., 1024 bytes as "%4d Bytes"; never shown, selected in step with
// the page size.
inline constexpr int kPageSizeCount = 11;
QStringList pageSizeTexts();
// log2 of the page size, 0 for a page size below 2.
int pageSizeIndex(int pageSize);

} // namespace zm
