#pragma once
// Moving a picture between the chip's frame buffer and a file: the length, the read and the
// write. Widget-free: the Fbuf window and zmctl run the same code and see it through a Report.
// The caller holds the busy flag for the whole procedure.
//
// Report values: "length" (the "Image Len:" text) and, after a read into a file, "picture" (its
// path). A stop request ends a transfer between polls and runs of bytes: nothing is written to
// the file, the receive state is idle again, and no message is shown.
//
// A read whose picture arrived whole but whose closing answer failed keeps the picture and ends
// with a warning: the chip may still hold capture on that frame, and the caller must be able to
// tell.

#include "link/commands.h"
#include "link/report.h"

#include <QString>

namespace zm {

// How a transfer runs, as chosen in the Fbuf window or on zmctl's command line.
struct FbufOptions {
    uint8_t frame = 0;        // 0 current frame buffer, 1 next
    bool dma = false;         // "Op Mode:" DMA
    int device = 0;           // "RW Device:" 0 MCU UART, 1 HUART, 2 SPI
    int spiType = 0;          // "SPI Dev Type:" 0 Host, 1 Memory
    bool videoSource = false; // "Video source is FBUF" (writes only)
    uint16_t delay = 3000;
    bool crypt = false;       // decrypt after receive, or encrypt before send
    uint8_t key = 0;
    QString path;

    // The mode byte of read-fbuf-data and write-fbuf-data.
    uint8_t modeByte(bool write) const;
    // The device bits of the mode byte: 1 MCU UART, 2 HUART, 3 SPI.
    int deviceBits() const { return device + 1; }
};

// "0x%08X (%.2fK)"
QString fbufLengthText(uint32_t length);

// The chip's frame-buffer cipher: a chained XOR with a one-byte key.
void fbufEncrypt(QByteArray &bytes, uint8_t key);
void fbufDecrypt(QByteArray &bytes, uint8_t key);

class FbufTransfer
{
public:
    FbufTransfer(Commands &commands, const Report &report);

    Outcome getLength(uint8_t frame);
    Outcome readToFile(const FbufOptions &o);
    // A file longer than a read can bring back is written only when the report's question is
    // answered yes. Capture must be stopped: that is tried first, without changing the chip's
    // state, so that a file is not streamed only to be refused at its end.
    Outcome writeFromFile(const FbufOptions &o);

    static constexpr int kPollMs = 10;
    static constexpr int kSilenceMs = 1000;
    static constexpr int kReadCloseTimeout = 15000;
    static constexpr int kWriteCloseTimeout = 3000;
    static constexpr int kOtherDeviceTimeout = 15000;
    // The longest file a write takes: far more than any frame buffer holds, and never read into
    // memory past this.
    static constexpr qint64 kMaxWriteLength = 16 * 1024 * 1024;
    // Pauses a write gives the chip: before streaming, and before setting the new length.
    static constexpr int kWriteStartPauseMs = 10;
    static constexpr int kWriteSettleMs = 100;

private:
    Outcome fail(const QString &text, uint8_t code = rc::Unknown);
    Outcome stopped();

    Commands &m_c;
    LinkSession &m_session;
    const Report &m_report;
};

} // namespace zm
