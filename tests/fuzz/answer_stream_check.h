#pragma once
// The invariants of the receive path, checked on one stream of bytes from the chip. Shared by
// the libFuzzer target and by the replay that CTest runs on every build.
//
// Input layout: byte 0 picks what is awaited (low 6 bits a code, 0x3F: any frame but a
// notification) and how (bits 6-7: answer, answer then raw receive, listening); byte 1 seeds the
// batch splits; byte 2 is the expected raw length / 4; the rest is the stream.

#include <QString>

#include <cstddef>
#include <cstdint>

namespace zm::fuzz {

// False with the broken invariant in `why`.
bool checkAnswerStream(const uint8_t *data, size_t size, QString *why);

} // namespace zm::fuzz
