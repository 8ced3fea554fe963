#pragma once
// Copying the memory that holds the control info to a file ("Upload") and a file back into it with
// read-back verification ("Download"), comparing the two without writing ("verify", zmctl), and
// erasing the SPI flash. Widget-free: the Upload/Download window and zmctl run the same code and
// see it through a Report (progress in bytes, the status and counter texts, messages, the stop
// request). The caller holds the busy flag for the whole procedure.
//
// An upload never leaves a file that looks like a dump but is not one: the bytes go to a
// temporary file that replaces the target only when every byte has been read. When an upload
// fails or is stopped, the target stays as it was and the bytes read so far are kept beside it in
// "<target>.partial"; the message says so. A download that stops part-way says where and how much
// of the memory was written and verified.
//
//     DeviceTransfer t(commands, report);
//     t.upload(DeviceSetup::from(ConfigSettings::of(session)), {UploadAmount::WholeDevice, 0, "dump.bin"});

#include "ctrlinfo/ctrl_info.h"
#include "link/commands.h"
#include "link/report.h"

#include <QByteArray>
#include <QString>

namespace zm {

class ConfigSettings;

// The memory a transfer works on.
struct DeviceSetup {
    CtrlInfoDevice device = CtrlInfoDevice::None;
    uint32_t size = 65536; // bytes
    int pageSize = 256;    // bytes

    static DeviceSetup from(const ConfigSettings &settings);
};

enum class UploadAmount {
    CtrlInfo,    // "Only read ctrl info": the data length the control info gives
    WholeDevice, // "Read whole device data"
    GivenSize,   // "Read given size data"
};

struct UploadOptions {
    UploadAmount amount = UploadAmount::CtrlInfo;
    uint32_t givenSize = 2048;
    QString path;
};

// What verify() found.
struct VerifyResult {
    qint64 compared = 0;
    qint64 differing = 0;
    uint32_t firstDifference = 0; // valid when differing > 0
};

class DeviceTransfer
{
public:
    // Write, read back and compare: a piece that still differs after this many writes ends the
    // download.
    static constexpr int kAttempts = 3;
    // Chip registers of the memory addressing set-up.
    static constexpr uint16_t kAddressingRegister = 0x4104;
    static constexpr uint8_t kI2cBusAddress = 0xA0;

    DeviceTransfer(Commands &commands, const Report &report);

    // Bytes per read-data command of an upload: 16, for the SPI memories the page size up to 16.
    static int uploadPiece(const DeviceSetup &s);
    // Bytes per write-data command of a download: 12 for the I2C EEPROM, 8 for the SPI memories
    // (less only where a page is smaller, so that no write crosses a page).
    static int downloadPiece(const DeviceSetup &s);
    // Where a failed upload keeps the bytes it read.
    static QString partialPath(const QString &path);

    Outcome upload(const DeviceSetup &s, const UploadOptions &o);
    Outcome download(const DeviceSetup &s, const QString &path);
    // Reads as many bytes as the file holds and compares them with it; writes nothing. True when
    // the memory could be read, whatever the comparison found.
    Outcome verify(const DeviceSetup &s, const QString &path, VerifyResult &result);
    // The chip erase of the SPI flash, its status text while it runs and "Chip Erase finish!" when
    // it succeeded; with `stopBitmapFirst` the OSD bitmap is stopped first when it is shown.
    Outcome eraseFlash(bool stopBitmapFirst);

private:
    bool runUpload(const DeviceSetup &s, const UploadOptions &o);
    bool runDownload(const DeviceSetup &s, const QString &path);
    bool runVerify(const DeviceSetup &s, const QString &path, VerifyResult &result);
    bool runErase(bool stopBitmapFirst);
    // How a run that returned `ok` ended: done, stopped, or the failure fail() recorded.
    Outcome ended(bool ok);
    // Tells the failure and records it for the outcome; false.
    bool fail(const QString &text, uint8_t code = rc::Unknown);
    bool fail(const char *text, uint8_t result);
    // Motion stop, bitmap stop for the SPI memories, addressing set-up (not for a download to the
    // flash, which erases instead).
    bool prepare(const DeviceSetup &s, bool download);
    uint8_t setUpAddressing(const DeviceSetup &s);
    // Reads `amount` bytes from address 0 into `out`, reporting progress. 0, a command's result
    // or rc::Stopped; `out` holds what was read.
    uint8_t readDevice(const DeviceSetup &s, uint32_t amount, QByteArray &out);
    // A file to write into the device, or an empty array after the failure message.
    QByteArray readSource(const DeviceSetup &s, const QString &path);
    // Keeps the bytes of a failed upload and says what became of them; false.
    bool keepPartial(const QString &path, const QByteArray &bytes);
    QString downloadStop(uint32_t address) const;
    void setCounter(qint64 done, qint64 total) const;
    void clearTexts() const;

    Commands &m_c;
    const Report &m_report;
    Outcome m_failure;
};

} // namespace zm
