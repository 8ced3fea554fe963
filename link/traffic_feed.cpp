#include "link/traffic_feed.h"

#include <algorithm>
#include <utility>

namespace zm {

void TrafficFeed::RawRun::add(int64_t now, const uint8_t *b, int n, int counted)
{
    if (start < 0)
        start = now;
    const int keep = std::min(n, TrafficRecorder::kBytes - kept);
    std::copy(b, b + keep, first + kept);
    kept += keep;
    bytes += uint32_t(std::max(counted, 0));
}

void TrafficFeed::sent(const QByteArray &frame)
{
    m_recorder.record(TrafficRecorder::Kind::Sent, reinterpret_cast<const uint8_t *>(frame.constData()),
                      int(frame.size()));
}

void TrafficFeed::routed(TrafficRecorder::Kind kind, const uint8_t *b, int n)
{
    if (!m_recorder.enabled())
        return;
    if (kind == TrafficRecorder::Kind::RawIn)
        m_rawIn.add(m_recorder.now(), b, n, n);
    else
        m_recorder.record(kind, b, n);
}

void TrafficFeed::rawSent(const uint8_t *b, int n, int written)
{
    if (m_recorder.enabled())
        m_rawOut.add(m_recorder.now(), b, n, written);
}

void TrafficFeed::failed(uint8_t result)
{
    // The chip's own failures are in its answer; what the PC decided is recorded here.
    if (result == rc::TimeOut || result >= rc::InvalidLength)
        m_recorder.record(TrafficRecorder::Kind::Failed, &result, 1);
}

void TrafficFeed::flushRaw()
{
    for (auto [run, kind] : {std::pair{&m_rawIn, TrafficRecorder::Kind::RawIn}, std::pair{&m_rawOut, TrafficRecorder::Kind::RawOut}}) {
        if (run->bytes)
            m_recorder.record(kind, run->first, run->kept, run->bytes, run->start, m_recorder.now() - run->start);
        *run = RawRun{};
    }
}

} // namespace zm
