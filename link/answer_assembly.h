#pragma once
// Collects answer frames out of the byte batches that the serial line delivers.
// Knows nothing of ports or threads: the receive path feeds it and acts on the outcome.

#include "link/protocol.h"

#include <cstddef>

namespace zm {

class AnswerAssembly
{
public:
    enum class Outcome {
        Incomplete, // more bytes are needed
        Complete,   // a whole frame is in the answer record
        Error,      // a frame error (240 or 241) was recorded; later bytes of this answer are dropped
        Ignored,    // an error was already recorded; the bytes were counted and dropped
    };

    struct Result {
        Outcome outcome = Outcome::Incomplete;
        // With Complete: how many bytes of the batch belonged to the frame. The rest trail it.
        size_t used = 0;
    };

    // Starts a new answer: count 0, no error.
    void reset();

    // An ordinary answer: a batch that would bring the count past 21 bytes is a length error,
    // even when a complete frame stands at its front.
    Result feed(const uint8_t *bytes, size_t k, AnswerRecord &answer);

    // The answer of a command that a raw phase follows: takes exactly the bytes of one frame and
    // leaves the rest of the batch to the caller, however long it is.
    Result feedFrame(const uint8_t *bytes, size_t k, AnswerRecord &answer);

    uint8_t error() const { return m_error; }
    int count() const { return m_count; }

private:
    Result take(const uint8_t *bytes, size_t k, AnswerRecord &answer);

    uint8_t m_buffer[kMaxAnswer] = {};
    int m_count = 0;
    uint8_t m_error = 0;
};

} // namespace zm
