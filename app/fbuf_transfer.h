#pragma once
// Moving a picture between the chip's frame buffer and a file: the length, the read and the
// write. Widget-free: the Fbuf window and zmctl run the same code and see it through callbacks.
// The caller holds the busy flag for the whole procedure.

#include "link/commands.h"

#include <QString>

#include <functional>

namespace zm {

// How a transfer runs, as chosen in the Fbuf window or on zmctl's command line.
struct FbufOptions {
    uint8_t frame = 0;      // 0 current frame buffer, 1 next
    bool dma = false;       // "Op Mode:" DMA
    int device = 0;         // "RW Device:" 0 MCU UART, 1 HUART, 2 SPI
    int spiType = 0;        // "SPI Dev Type:" 0 Host, 1 Memory
    bool videoSource = false; // "Video source is FBUF" (writes only)
    uint16_t delay = 3000;
    bool crypt = false;     // decrypt after receive, or encrypt before send
    uint8_t key = 0;
    QString path;

    // The mode byte of read-fbuf-data and write-fbuf-data.
    uint8_t modeByte(bool write) const;
    // The device bits of the mode byte: 1 MCU UART, 2 HUART, 3 SPI.
    int deviceBits() const { return device + 1; }
};

// What a procedure tells its caller. Every member may be left empty.
struct FbufReport {
    std::function<void(qint64 done, qint64 total)> progress;
    std::function<void(const QString &text)> lengthText; // "Image Len:"
    // A message box, in order; `failure` tells a failure from the closing "finished" message.
    std::function<void(const QString &text, bool failure)> message;
    std::function<void(const QString &path)> readDone;   // before "Fbuf read finished!"
};

// "0x%08X (%.2fK)"
QString fbufLengthText(uint32_t length);

// The chip's frame-buffer cipher: a chained XOR with a one-byte key.
void fbufEncrypt(QByteArray &bytes, uint8_t key);
void fbufDecrypt(QByteArray &bytes, uint8_t key);

class FbufTransfer
{
public:
    FbufTransfer(Commands &commands, FbufReport report);

    bool getLength(uint8_t frame);
    bool readToFile(const FbufOptions &o);
    bool writeFromFile(const FbufOptions &o);

    static constexpr int kPollMs = 10;
    static constexpr int kSilenceMs = 1000;
    static constexpr int kReadCloseTimeout = 15000;
    static constexpr int kWriteCloseTimeout = 3000;
    static constexpr int kOtherDeviceTimeout = 15000;
    // Pauses a write gives the chip: before streaming, and before setting the new length.
    static constexpr int kWriteStartPauseMs = 10;
    static constexpr int kWriteSettleMs = 100;
    // Single-byte writes are handed to the link in runs of this many, so that progress is told
    // from the worker's thread between runs.
    static constexpr int kWriteRun = 1024;

private:
    bool fail(const QString &text);
    void say(const QString &text, bool failure = true);
    void progress(qint64 done, qint64 total);

    Commands &m_c;
    CommandLayer &m_layer;
    FbufReport m_report;
};

} // namespace zm
