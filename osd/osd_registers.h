#pragma once
// The OSD's exchanges with the chip: register runs read and written one command a run, and
// character pieces written with write-osd-characters. Each stops at the first command that
// fails and returns its result (0 success); the caller holds the busy flag.

#include "link/commands.h"
#include "osd/osd_blocks.h"

#include <span>
#include <stop_token>
#include <vector>

namespace zm::osd {

// Reads the runs in order into `bytes` (their bytes back to back); `bytes` is changed only
// when every run was read.
uint8_t readRuns(Commands &commands, std::span<const RegisterRun> runs, QByteArray &bytes);
// Writes the runs in order from `bytes`; runs written before a failure stay written.
uint8_t writeRuns(Commands &commands, std::span<const RegisterRun> runs, const QByteArray &bytes);
// Sends the pieces in order; 252 when `stop` was requested between two of them.
uint8_t writePieces(Commands &commands, const std::vector<CharPiece> &pieces, std::stop_token stop = {});

} // namespace zm::osd
