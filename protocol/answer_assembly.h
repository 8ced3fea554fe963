#pragma once
// Collects answer frames out of the byte batches that the serial line delivers, one frame at a
// time and byte-exact: it never takes a byte past the end of the frame it is building, so the
// caller can hand what follows to the next frame, to the picture buffer or to the data show.
// Knows nothing of ports, threads or which frame is awaited.

#include "protocol/protocol.h"

#include <cstddef>

namespace zm {

class AnswerAssembly
{
public:
    enum class Outcome {
        Incomplete, // every byte offered was taken; more are needed
        Complete,   // a whole frame is in frame(); `used` bytes of the batch belonged to it
        Error,      // a frame error (240 or 241); `used` bytes were taken into the broken frame
    };

    struct Result {
        Outcome outcome = Outcome::Incomplete;
        size_t used = 0;
    };

    // Starts a new frame: nothing collected, no error.
    void reset();

    // Takes bytes from the front of the batch up to the end of one frame at most.
    // A first byte other than 0x76 is 241; a data length above 16, which no frame can carry, is
    // 240 as soon as the length byte is in.
    Result feed(const uint8_t *bytes, size_t k);

    // The last complete frame (or, after an error, the fields that had arrived; its length
    // never exceeds the data it holds).
    const AnswerRecord &frame() const { return m_frame; }
    // The bytes taken into the current (complete or broken) frame, exactly as they came.
    const uint8_t *bytes() const { return m_buffer; }
    int count() const { return m_count; }
    uint8_t error() const { return m_error; }

private:
    uint8_t m_buffer[kMaxAnswer] = {};
    int m_count = 0;
    uint8_t m_error = 0;
    AnswerRecord m_frame;
};

} // namespace zm
