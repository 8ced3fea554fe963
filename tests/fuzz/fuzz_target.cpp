// libFuzzer entry of both targets: scripts/fuzz builds it with clang, once per target
// (ZM_FUZZ_CTRLINFO picks the control-info inspector over the receive path), and runs it.

#include "answer_stream_check.h"
#include "ctrlinfo_dump_check.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString why;
#ifdef ZM_FUZZ_CTRLINFO
    const bool held = zm::fuzz::checkCtrlInfoDump(data, size, &why);
#else
    const bool held = zm::fuzz::checkAnswerStream(data, size, &why);
#endif
    if (!held) {
        std::fprintf(stderr, "invariant broken: %s\n", qPrintable(why));
        std::abort();
    }
    return 0;
}
