// libFuzzer entry: scripts/fuzz builds it with clang and runs it.

#include "answer_stream_check.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString why;
    if (!zm::fuzz::checkAnswerStream(data, size, &why)) {
        std::fprintf(stderr, "receive path invariant broken: %s\n", qPrintable(why));
        std::abort();
    }
    return 0;
}
