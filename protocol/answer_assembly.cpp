#include "protocol/answer_assembly.h"

#include <algorithm>
#include <cstring>

namespace zm {

void AnswerAssembly::reset()
{
    m_count = 0;
    m_error = 0;
}

AnswerAssembly::Result AnswerAssembly::feed(const uint8_t *bytes, size_t k)
{
    if (m_error != 0)
        return {Outcome::Error, 0};
    if (m_count == 0)
        m_frame = AnswerRecord{};
    size_t used = 0;
    while (used < k) {
        // The sign alone first, so that a stray byte costs one byte whatever came with it; then
        // the rest of the header; then exactly the data it announces.
        const int want = m_count == 0               ? 1
                         : m_count < kAnswerHeader ? kAnswerHeader - m_count
                                                   : kAnswerHeader + m_buffer[4] - m_count;
        const size_t n = std::min(k - used, size_t(want));
        std::memcpy(m_buffer + m_count, bytes + used, n);
        m_count += int(n);
        used += n;
        if (m_buffer[0] != kAnswerSign) {
            m_error = rc::InvalidSign;
            return {Outcome::Error, used};
        }
        if (m_count >= 2)
            m_frame.serial = m_buffer[1];
        if (m_count >= 3)
            m_frame.code = m_buffer[2];
        if (m_count >= 4)
            m_frame.status = m_buffer[3];
        if (m_count < kAnswerHeader)
            continue;
        if (m_buffer[4] > kMaxData) {
            // No frame carries that much: waiting for its data would only end in a time-out.
            m_error = rc::InvalidLength;
            return {Outcome::Error, used};
        }
        m_frame.length = m_buffer[4];
        if (m_count == kAnswerHeader + m_frame.length) {
            std::memcpy(m_frame.data.data(), m_buffer + kAnswerHeader, m_frame.length);
            return {Outcome::Complete, used};
        }
    }
    return {Outcome::Incomplete, used};
}

} // namespace zm
