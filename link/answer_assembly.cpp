#include "link/answer_assembly.h"

#include <algorithm>
#include <cstring>

namespace zm {

void AnswerAssembly::reset()
{
    m_count = 0;
    m_error = 0;
}

AnswerAssembly::Result AnswerAssembly::feed(const uint8_t *bytes, size_t k, AnswerRecord &answer)
{
    if (m_error != 0)
        return {Outcome::Ignored, 0};
    if (size_t(m_count) + k > size_t(kMaxAnswer)) {
        m_error = rc::InvalidLength;
        return {Outcome::Error, 0};
    }
    return take(bytes, k, answer);
}

AnswerAssembly::Result AnswerAssembly::feedFrame(const uint8_t *bytes, size_t k, AnswerRecord &answer)
{
    if (m_error != 0)
        return {Outcome::Ignored, 0};
    size_t pos = 0;
    while (pos < k) {
        // Until the header is in, take only the header; then exactly the data it announces.
        size_t want = m_count < kAnswerHeader ? size_t(kAnswerHeader - m_count)
                                              : size_t(kAnswerHeader + m_buffer[4] - m_count);
        size_t n = std::min(k - pos, want);
        Result r = take(bytes + pos, n, answer);
        pos += n;
        if (r.outcome != Outcome::Incomplete)
            return {r.outcome, pos};
    }
    return {Outcome::Incomplete, pos};
}

AnswerAssembly::Result AnswerAssembly::take(const uint8_t *bytes, size_t k, AnswerRecord &answer)
{
    std::memcpy(m_buffer + m_count, bytes, k);
    m_count += int(k);
    if (m_count > 0 && m_buffer[0] != kAnswerSign) {
        m_error = rc::InvalidSign;
        return {Outcome::Error, 0};
    }
    if (m_count >= 2)
        answer.serial = m_buffer[1];
    if (m_count >= 3)
        answer.code = m_buffer[2];
    if (m_count >= 4)
        answer.status = m_buffer[3];
    if (m_count < kAnswerHeader)
        return {Outcome::Incomplete, k};
    answer.length = m_buffer[4];
    if (answer.length > kMaxData) {
        // Such a frame cannot fit the 21-byte buffer; waiting for it would only end in a time-out.
        m_error = rc::InvalidLength;
        return {Outcome::Error, 0};
    }
    const int frame = kAnswerHeader + answer.length;
    if (m_count < frame)
        return {Outcome::Incomplete, k};
    std::memcpy(answer.data.data(), m_buffer + kAnswerHeader, answer.length);
    const size_t trailing = size_t(m_count - frame);
    m_count = 0;
    return {Outcome::Complete, k - trailing};
}

} // namespace zm
