#pragma once
// The program-wide link and device settings: through which chip UART the PC is attached, the
// serial numbers, the three bit-rate calculators, and the memory that holds the control info with
// its size and page size. One instance per link session, alive as long as the session; the
// Configuration window, the Upload/Download window, the Fbuf window and the image-property window
// all read and set the same one. Nothing is stored on disk.
//
// The PC UART, the page size and the current serial number live in the link session, which the
// link's procedures read; the settings read and write them there, so they never disagree.
//
//     ConfigSettings &s = ConfigSettings::of(session);
//     s.chooseDevice(CtrlInfoDevice::SpiEeprom);   // -> the model list index that matches
//     s.chooseModel(8);                            // AT25128A: 16384 bytes, page size 64
//     s.deviceSize(); s.pageSize();                // 16384, 64 (also session.settings().pageSize)
//
// The device, the size and the page size are atomic: workers (LocateCtrlInfo, "Check Flash Type")
// set them while their window waits. The calculators belong to the GUI thread.

#include "ctrlinfo/ctrl_info.h"

#include <atomic>
#include <cstdint>

namespace zm {

class LinkSession;

class ConfigSettings
{
public:
    // The settings of the program that runs on `session`, made on first use.
    static ConfigSettings &of(LinkSession &session);

    explicit ConfigSettings(LinkSession &session);
    ConfigSettings(const ConfigSettings &) = delete;
    ConfigSettings &operator=(const ConfigSettings &) = delete;

    // "Comm Device:": 1 MCU UART, 2 HUART.
    int commDevice() const;
    void setCommDevice(int device);

    // The serial number every frame carries, and the one "Set Serial Number" gives the chip.
    uint8_t currentSerial() const;
    void setCurrentSerial(uint8_t serial);
    uint8_t newSerial() const { return m_newSerial; }
    void setNewSerial(uint8_t serial) { m_newSerial = serial; }

    // "MCU UART BPS": clock index (0 27M, 1 36M), baud index (9600 .. 115200) and the value sent.
    int uartClockIndex() const { return m_uartClock; }
    int mcuBaudIndex() const { return m_mcuBaud; }
    uint16_t mcuValue() const { return m_mcuValue; }
    void chooseMcu(int clockIndex, int baudIndex); // the value follows from the table
    void setMcuValue(uint16_t value) { m_mcuValue = value; }

    // "High-Speed UART BPS": baud index (38400 .. 921600), Frac and Inter.
    int highSpeedBaudIndex() const { return m_hsBaud; }
    uint16_t frac() const { return m_frac; }
    uint16_t inter() const { return m_inter; }
    void chooseHighSpeed(int baudIndex); // Frac and Inter follow
    void setHighSpeedValues(uint16_t frac, uint16_t inter);

    // "SPI BPS": clock index, rate index (clock / 128 .. clock / 2), Divider and SS.
    int spiClockIndex() const { return m_spiClock; }
    int spiBaudIndex() const { return m_spiBaud; }
    uint16_t spiDivider() const { return m_divider; }
    uint16_t spiSs() const { return m_ss; }
    void chooseSpi(int clockIndex, int rateIndex); // Divider and SS follow
    void setSpiValues(uint16_t divider, uint16_t ss);

    // The memory that holds the control info, its size and its page size in bytes.
    CtrlInfoDevice ctrlInfoDevice() const { return m_device.load(); }
    void setCtrlInfoDevice(CtrlInfoDevice device) { m_device.store(device); }
    uint32_t deviceSize() const { return m_deviceSize.load(); }
    void setDeviceSize(uint32_t bytes) { m_deviceSize.store(bytes); }
    int pageSize() const;
    void setPageSize(int bytes);

    // The rules of the device, model and size lists, the same in every window that shows them.
    // Each returns the model list index to show (0 "Unknow").
    //
    // A device: None makes the page size 1; another device selects the model of the current size
    // and takes it as if chosen.
    int chooseDevice(CtrlInfoDevice device);
    // A model: its size, and for the SPI memories its page size; "Unknow" makes the page size 1
    // and keeps the size.
    void chooseModel(int index);
    // A size of the size list: the model of that size is chosen (or "Unknow").
    int chooseSize(int sizeIndex);
    // What get-flash-size answered, in kilobits: the size becomes kilobits / 8 x 1024 bytes and the
    // flash model of that size is chosen (or "Unknow", page size 1). Not for 0.
    int chooseFlashSize(uint32_t kilobits);
    // The model list index of the current device and size.
    int matchingModel() const;

private:
    LinkSession &m_session;
    uint8_t m_newSerial = 0;
    int m_uartClock = 0;
    int m_mcuBaud = 2;
    uint16_t m_mcuValue = 0x2AF2;
    int m_hsBaud = 2;
    uint16_t m_frac = 0x0298;
    uint16_t m_inter = 0x000E;
    int m_spiClock = 0;
    int m_spiBaud = 6;
    uint16_t m_divider = 0x000D;
    uint16_t m_ss = 0x0200;
    std::atomic<CtrlInfoDevice> m_device{CtrlInfoDevice::None};
    std::atomic<uint32_t> m_deviceSize{65536};
};

// What a "Check Flash Type" press does after its checks: get-flash-size, then chooseFlashSize().
// Returns the model list index, or -1 with `error` (the result text, or "Unknow flash type" for a
// flash that reports 0).
int CheckFlashType(Commands &c, QString &error);

} // namespace zm
