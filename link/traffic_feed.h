#pragma once
// What crossed the line, for the traffic log and zmctl --log: the recorder that one reader takes
// events from, and, on the link thread, the batching of raw phases into one event each (a
// frame-buffer read is hundreds of thousands of single bytes; the log shows it as one row with
// its first bytes, its length and its duration).

#include "link/traffic_recorder.h"

#include <QByteArray>

#include <cstdint>

namespace zm {

class TrafficFeed
{
public:
    TrafficRecorder &recorder() { return m_recorder; }

    // The link thread only, from here on.
    void sent(const QByteArray &frame);
    // Bytes the receive path routed somewhere; raw bytes from the chip are gathered.
    void routed(TrafficRecorder::Kind kind, const uint8_t *bytes, int n);
    // Bytes of a raw phase to the chip, of which `written` went out.
    void rawSent(const uint8_t *bytes, int n, int written);
    // A wait that ended without an answer, with what the PC decided (a time-out, a broken frame).
    void failed(uint8_t result);
    // Ends the raw phases in progress: each becomes one event.
    void flushRaw();

private:
    struct RawRun {
        int64_t start = -1;
        uint32_t bytes = 0;
        uint8_t first[TrafficRecorder::kBytes] = {};
        int kept = 0;

        void add(int64_t now, const uint8_t *b, int n, int counted);
    };

    TrafficRecorder m_recorder;
    RawRun m_rawIn, m_rawOut;
};

} // namespace zm
