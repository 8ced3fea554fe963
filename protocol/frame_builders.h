#pragma once
// One builder per command: fills a command record, or refuses arguments that the frame cannot
// carry (the operation then records "Invalid parameter" and sends nothing).

#include "protocol/protocol.h"

#include <initializer_list>
#include <optional>

namespace zm {

// Inputs of read-data and write-data.
struct TransferRecord {
    uint8_t type = 1;  // memory type 1..6
    uint8_t width = 1; // bytes per item
    uint8_t count = 1; // items
    uint32_t address = 0;
    std::array<uint8_t, kMaxData> data{};

    int bytes() const { return int(width) * int(count); }
};

struct RtcTime {
    uint16_t year = 0;
    uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

struct ZoomRect {
    uint16_t width = 0, height = 0, hStart = 0, vStart = 0;
};

struct ZoomInfo {
    uint16_t sourceWidth = 0, sourceHeight = 0;
    ZoomRect zoom;
};

using Frame = std::optional<CommandRecord>;

namespace frames {

// A frame with the given data bytes; at most 16 of them.
Frame make(uint8_t serial, uint8_t code, std::initializer_list<uint8_t> data = {});
Frame make(uint8_t serial, uint8_t code, const uint8_t *data, int n);

// Header size of a read-data/write-data payload for a memory type, 0 for an unknown type.
int transferHead(uint8_t type);
// How many data bytes one write-data command can carry for a memory type.
int writeCapacity(uint8_t type);

Frame readData(uint8_t serial, const TransferRecord &t);
Frame writeData(uint8_t serial, const TransferRecord &t);
Frame setSerialNumber(uint8_t serial, uint8_t value);
Frame setBaudRateMcuUart(uint8_t serial, uint16_t value);
Frame setBaudRateHuart(uint8_t serial, uint16_t fraction, uint16_t integer);
Frame setBaudRateSpi(uint8_t serial, uint16_t divider, uint16_t ss);
Frame readFbufData(uint8_t serial, uint8_t frame, uint8_t mode, uint32_t start, uint32_t length, uint16_t delay);
Frame writeFbufData(uint8_t serial, uint8_t mode, uint32_t start, uint32_t length, uint16_t delay);
Frame getFbufLength(uint8_t serial, uint8_t frame);
Frame setFbufLength(uint8_t serial, uint32_t length);
Frame fbufControl(uint8_t serial, uint8_t operation);
Frame commMotionControl(uint8_t serial, bool open);
Frame setMirror(uint8_t serial, uint8_t source, uint8_t mode);
Frame setColor(uint8_t serial, uint8_t source, uint8_t mode);
Frame setPowerSave(uint8_t serial, uint8_t source, uint8_t state);
Frame setPowerSaveTimer(uint8_t serial, uint8_t flags, uint16_t time);
Frame getPowerSave(uint8_t serial, uint8_t type);
Frame setAe(uint8_t serial, uint8_t group, uint8_t source, uint8_t mode);
Frame getAe(uint8_t serial, uint8_t group);
Frame setMotionDetection(uint8_t serial, uint8_t source, uint8_t flags);
Frame setMotionAlarm(uint8_t serial, uint8_t flags, uint16_t time);
Frame enableAlarmOutput(uint8_t serial, bool enable);
Frame openAlarmOutput(uint8_t serial, bool open);
Frame getMotionControl(uint8_t serial, uint8_t sub);
Frame dacControl(uint8_t serial, bool open);
Frame writeOsdCharacters(uint8_t serial, uint8_t start, const uint8_t *chars, int n);
Frame setTime(uint8_t serial, const RtcTime &t);
Frame setZoom(uint8_t serial, const ZoomRect &z);
Frame setDownSize(uint8_t serial, uint8_t value);
Frame eraseFlashSector(uint8_t serial, uint32_t address);
Frame logoControl(uint8_t serial, uint8_t sub, uint16_t value, uint32_t address);
Frame bitmapControl(uint8_t serial, uint8_t sub, uint16_t value, uint32_t address);

} // namespace frames
} // namespace zm
