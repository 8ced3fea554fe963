#pragma once
// Wire constants shared by the console, zmctl and the simulated chip.

#include <array>
#include <cstdint>
#include <cstring>

namespace zm {

inline constexpr uint8_t kCommandSign = 0x56; // 'V', PC to chip
inline constexpr uint8_t kAnswerSign = 0x76;  // 'v', chip to PC
inline constexpr int kMaxData = 16;
inline constexpr int kCommandHeader = 4;
inline constexpr int kAnswerHeader = 5;
inline constexpr int kMaxAnswer = kAnswerHeader + kMaxData; // 21

namespace cmd {
inline constexpr uint8_t GetVersion = 0x11;
inline constexpr uint8_t SetSerialNumber = 0x21;
inline constexpr uint8_t SetBaudRate = 0x24;
inline constexpr uint8_t SystemReset = 0x26;
inline constexpr uint8_t ExecCommFormula = 0x27;
inline constexpr uint8_t ReadData = 0x30;
inline constexpr uint8_t WriteData = 0x31;
inline constexpr uint8_t ReadFbufData = 0x32;
inline constexpr uint8_t WriteFbufData = 0x33;
inline constexpr uint8_t GetFbufLength = 0x34;
inline constexpr uint8_t SetFbufLength = 0x35;
inline constexpr uint8_t FbufControl = 0x36;
inline constexpr uint8_t CommMotionControl = 0x37;
inline constexpr uint8_t GetCommMotionStatus = 0x38;
inline constexpr uint8_t MotionNotification = 0x39;
inline constexpr uint8_t SetMirror = 0x3A;
inline constexpr uint8_t GetMirror = 0x3B;
inline constexpr uint8_t SetColor = 0x3C;
inline constexpr uint8_t GetColor = 0x3D;
inline constexpr uint8_t SetPowerSave = 0x3E;
inline constexpr uint8_t GetPowerSave = 0x3F;
inline constexpr uint8_t SetAe = 0x40;
inline constexpr uint8_t GetAe = 0x41;
inline constexpr uint8_t SetMotionControl = 0x42;
inline constexpr uint8_t GetMotionControl = 0x43;
inline constexpr uint8_t DacControl = 0x44;
inline constexpr uint8_t WriteOsdCharacters = 0x45;
inline constexpr uint8_t SetTime = 0x50;
inline constexpr uint8_t GetTime = 0x51;
inline constexpr uint8_t SetZoom = 0x52;
inline constexpr uint8_t GetZoom = 0x53;
inline constexpr uint8_t SetDownSize = 0x54;
inline constexpr uint8_t GetDownSize = 0x55;
inline constexpr uint8_t GetFlashSize = 0x60;
inline constexpr uint8_t EraseFlashSector = 0x61;
inline constexpr uint8_t FlashChipErase = 0x62;
inline constexpr uint8_t LogoControl = 0x70;
inline constexpr uint8_t BitmapControl = 0x71;
} // namespace cmd

// Result codes: 1..22 come from the chip as the answer's status, 240 and up are made on the PC.
namespace rc {
inline constexpr uint8_t Ok = 0;
inline constexpr uint8_t InvalidCmd = 1;
inline constexpr uint8_t InvalidDataLength = 2;
inline constexpr uint8_t InvalidDataFormat = 3;
inline constexpr uint8_t CantRunNow = 4;
inline constexpr uint8_t ExecuteFailed = 5;
inline constexpr uint8_t TimeOut = 6;
inline constexpr uint8_t FbufNotStopped = 20;
inline constexpr uint8_t PowerSave = 22;
inline constexpr uint8_t InvalidLength = 240;
inline constexpr uint8_t InvalidSign = 241;
inline constexpr uint8_t InvalidSerial = 242;
inline constexpr uint8_t InvalidReceivedData = 243;
// The caller asked a long procedure to stop; the procedure says so itself, never with this text.
inline constexpr uint8_t Stopped = 252;
inline constexpr uint8_t InvalidParameter = 253;
inline constexpr uint8_t SendFailed = 254;
inline constexpr uint8_t Unknown = 255;
} // namespace rc

// The text every window and zmctl shows for a result code.
const char *resultText(uint8_t code);

enum class MemoryType : uint8_t {
    Chip = 1,
    Sensor = 2,
    Ccir656 = 3,
    I2cEeprom = 4,
    SpiEeprom = 5,
    SpiFlash = 6,
};

// What the receive path does with arriving bytes.
enum class ReceiveState : uint8_t {
    Idle = 0,
    AwaitingAnswer = 3,
    AnswerComplete = 4,
    RawSending = 5,
    RawReceiving = 7,
    RawComplete = 8,
};

// The frame being built: sign, serial number, code, length and up to 16 data bytes.
struct CommandRecord {
    uint8_t sign = kCommandSign;
    uint8_t serial = 0;
    uint8_t code = 0;
    uint8_t length = 0;
    std::array<uint8_t, kMaxData> data{};

    // The bytes that go on the wire: 4 header bytes and `length` data bytes.
    int encode(uint8_t *out) const
    {
        out[0] = sign;
        out[1] = serial;
        out[2] = code;
        out[3] = length;
        std::memcpy(out + 4, data.data(), length);
        return kCommandHeader + length;
    }
};

// The fields of the last answer frame.
struct AnswerRecord {
    uint8_t serial = 0;
    uint8_t code = 0;
    uint8_t status = 0;
    uint8_t length = 0;
    std::array<uint8_t, kMaxData> data{};
};

inline void putBe16(uint8_t *p, uint16_t v)
{
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}
inline void putBe32(uint8_t *p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}
inline uint16_t getBe16(const uint8_t *p) { return uint16_t((p[0] << 8) | p[1]); }
inline uint32_t getBe32(const uint8_t *p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

} // namespace zm
