#pragma once
// Start-up choices of the simulated chip.

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace zm::sim {

// Which serial memory holds the control info when the chip starts.
enum class CtrlInfoPlace : uint8_t {
    None = 0,
    I2cEeprom = 1,
    SpiEeprom = 2,
    SpiFlash = 3,
};

struct ChipConfig {
    CtrlInfoPlace ctrlInfo = CtrlInfoPlace::I2cEeprom;
    // The chip UART the PC is attached to: 1 MCU UART, 2 HUART. Frame-buffer transfers for the
    // other devices move no bytes over the line.
    int pcUart = 1;
    int motionIntervalMs = 1500;
    // Memory sizes in bytes. The flash answers get-flash-size in kilobits (size / 128).
    uint32_t i2cEepromSize = 64 * 1024;
    uint32_t spiEepromSize = 32 * 1024;
    uint32_t flashSize = 512 * 1024;
    uint32_t flashSectorSize = 4 * 1024;
    // How long the flash takes to erase, as a real part does: the answer comes when it is done.
    int chipEraseMs = 2000;
    int sectorEraseMs = 50;
    uint32_t fbufCapacity = 1024 * 1024;
    // Frame-buffer pictures; empty means the built-in 640x480 test pictures.
    QByteArray currentPicture;
    QByteArray nextPicture;
    // Appended with one line of hex per received command frame when not empty.
    QString traceFile;
    QByteArray version = "ZM3386V1.02"; // 11 characters, as the chip sends them
};

} // namespace zm::sim
