#pragma once
// What a frame of the command set says, in words: the command's name and its fields, decoded
// from one table. The traffic log, zmctl --log and zmsim --trace all describe frames with it.
//
//     commandName(0x30)                          -> "read-data"
//     describeCommand(0x30, {1,4,0x1A,0x10}, 4)  -> "chip 0x1A10, 4 items"
//     describeAnswer(0x34, 0, {0,0,0x41,0xDA}, 4) -> "length 16858"

#include <QString>

#include <cstdint>

namespace zm::traffic {

// The command's name, e.g. "get-fbuf-length"; "command 0x7F" for a code the chip does not know.
QString commandName(uint8_t code);
// Whether the code is one of the command set.
bool knownCommand(uint8_t code);

// The fields of a command frame's data, e.g. "chip 0x1A10, 4 items"; empty when it has none.
QString describeCommand(uint8_t code, const uint8_t *data, int n);
// The data of an answer to `code`, e.g. "length 16858"; empty when it carries none or when the
// status is not 0.
QString describeAnswer(uint8_t code, uint8_t status, const uint8_t *data, int n);

// "chip", "sensor", ... for a memory type; "memory 9" for another.
QString memoryName(uint8_t type);

// Every code of the command set, in order.
const uint8_t *commandCodes(int *count);

} // namespace zm::traffic
