#pragma once
// The control info: the chip's start-up configuration, kept in one of the serial memories wired to
// it. This is where the program finds that memory and reads the parts of the stored layout it
// uses: the signature, the data length, the extension table and the records it points to. The
// layout itself (offsets, sections, the record lookup) is ctrl_info_layout.h, shared with the
// inspector of dump files.
// Widget-free; every function runs on a worker that holds the busy flag.
//
// Which memory holds the control info is a program-wide setting (ConfigSettings::of(session)). It is
// 0 at start; the first control-info action of a run locates the memory, later ones use the stored
// code without probing again.
//
//     // a worker body of a window that edits the Image Property record
//     QString error;
//     const CtrlInfoDevice device = EnsureCtrlInfoDevice(w.commands(), error);
//     if (device == CtrlInfoDevice::None)
//         return w.message(error);                   // "Not find ctrl info" or the result text
//     uint16_t record = 0;
//     if (const uint8_t r = FindImagePropertyRecord(w.commands(), device, record))
//         return w.failure(r, "Read e2prom failed!:");
//     if (record == 0)
//         return w.message("No image property config in e2prom");
//     TransferRecord t;                                // then read or write the 5 bytes
//     t.type = ctrlInfoMemoryType(device);
//     t.address = record;
//     t.count = kImagePropertyLength;
//     ...
//     if (!CtrlInfoWritable(device))                   // before any write into the control info
//         return w.message(msg::kSpiFlashNotModifiable);

#include "ctrlinfo/ctrl_info_layout.h"
#include "link/commands.h"

#include <QString>

#include <cstdint>

namespace zm {

// The memory that holds the control info; also the index of the "Ctrl Info Device:" lists.
enum class CtrlInfoDevice : uint8_t {
    None = 0, // not located yet
    I2cEeprom = 1,
    SpiEeprom = 2,
    SpiFlash = 3,
};

// A device code from a list index or a number on a command line; anything else is None.
CtrlInfoDevice ctrlInfoDeviceFrom(int code);
// The memory type of read-data and write-data: device code + 3 (0 for None).
inline uint8_t ctrlInfoMemoryType(CtrlInfoDevice d) { return d == CtrlInfoDevice::None ? 0 : uint8_t(d) + 3; }
// The word at address 0: 0xAA55 on the EEPROMs, 0xAA56 on the SPI flash (0 for None).
uint16_t ctrlInfoSignature(CtrlInfoDevice d);
inline bool isSpiDevice(CtrlInfoDevice d) { return d == CtrlInfoDevice::SpiEeprom || d == CtrlInfoDevice::SpiFlash; }
// The windows that edit the control info refuse to write it on the SPI flash
// (msg::kSpiFlashNotModifiable): a flash cell is erased by whole sectors, not rewritten.
inline bool CtrlInfoWritable(CtrlInfoDevice d) { return d == CtrlInfoDevice::I2cEeprom || d == CtrlInfoDevice::SpiEeprom; }

// Chip register whose bit 3 says the OSD bitmap is shown; it must be stopped before the SPI
// memories are used, and the chip needs a moment after that.
inline constexpr uint16_t kOsdControlRegister = 0x2500;
inline constexpr int kBitmapStopPauseMs = 300;

// Finds the memory that holds the control info: the I2C EEPROM first, then (after stopping the
// OSD bitmap when it is shown) the SPI EEPROM and the SPI flash, each by its signature. Stores
// the code in ConfigSettings::of(c.session()), None when nothing is found, and returns it. A probe
// moves on only when its read succeeds with another value: a failed read ends the search.
// `error`: "Not find ctrl info", "Stop Bitmap failed!" or the failed read's result text.
CtrlInfoDevice LocateCtrlInfo(Commands &c, QString &error);

// The stored device, or, while none is stored, the one LocateCtrlInfo finds (None with `error`).
CtrlInfoDevice EnsureCtrlInfoDevice(Commands &c, QString &error);

// True when the 2 bytes at address 0 of the device are its signature; false for None, another
// code, or a failed read (one read-data command of 2 bytes).
bool CheckCtrlInfoSignature(Commands &c, CtrlInfoDevice device);

// The data-length field (address 4) of the device; false for None or a failed read.
bool ReadCtrlInfoSize(Commands &c, CtrlInfoDevice device, uint16_t &size);

// The address of a record through the extension table: 0 (success) with `address` 0 when the
// table or the record is absent; otherwise the failed read's result code.
uint8_t FindCtrlInfoRecord(Commands &c, CtrlInfoDevice device, CtrlInfoSection section, uint16_t &address);
inline uint8_t FindImagePropertyRecord(Commands &c, CtrlInfoDevice device, uint16_t &address)
{
    return FindCtrlInfoRecord(c, device, CtrlInfoSection::ImageProperty, address);
}

// Reads chip register 0x2500 (0 when the read fails); when its bit 3 is set, stops the OSD
// bitmap and pauses 300 ms. 0, or the result code of the bitmap command that failed.
uint8_t StopBitmapIfShown(Commands &c);

} // namespace zm
