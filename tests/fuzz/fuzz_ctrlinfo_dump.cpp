// libFuzzer entry for the control-info inspector: scripts/fuzz 120 ctrlinfo builds it with clang
// and runs it.

#include "ctrlinfo_dump_check.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString why;
    if (!zm::fuzz::checkCtrlInfoDump(data, size, &why)) {
        std::fprintf(stderr, "control-info inspector invariant broken: %s\n", qPrintable(why));
        std::abort();
    }
    return 0;
}
