#pragma once
// The inspector's invariants, checked on the bytes of one file. Shared by the libFuzzer target
// and by the replay that CTest runs on every build.

#include "ctrlinfo/ctrl_info_dump.h"

#include <QString>

#include <cstddef>
#include <cstdint>

namespace zm::fuzz {

// False with the broken invariant in `why`. `outcome`, when given, receives the check the file
// stopped at (Passed for a dump).
bool checkCtrlInfoDump(const uint8_t *data, size_t size, QString *why, DumpCheck *outcome = nullptr);

} // namespace zm::fuzz
