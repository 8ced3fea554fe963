#include "answer_stream_check.h"

#include "link/receive_router.h"

#include <QByteArray>

#include <random>
#include <vector>

namespace zm::fuzz {

namespace {

bool broken(QString *why, const QString &text)
{
    *why = text;
    return false;
}

struct Outcome {
    QByteArray shown;
    int answered = 0;
    ReceiveState state = ReceiveState::Idle;
    uint8_t error = 0;
    AnswerRecord answer;
    QByteArray raw;
    int queued = 0;
};

// Feeds the stream in the given batches; checks what must hold after every batch.
bool run(const uint8_t *head, const uint8_t *stream, size_t n, const std::vector<size_t> &cuts, Outcome &o,
         QString *why)
{
    ReceiveRouter router;
    const int mode = head[0] >> 6;
    const int code = (head[0] & 0x3F) == 0x3F ? ReceiveRouter::kAnyButNotification : (head[0] & 0x3F) + 0x11;
    if (mode == 3) {
        router.listen(uint8_t(code < 0 ? 0x39 : code));
    } else {
        router.prepareRaw(uint32_t(head[2]) * 4);
        router.arm(code, mode == 1 ? ReceiveRouter::After::RawReceive : ReceiveRouter::After::Idle, 0);
    }
    size_t pos = 0;
    for (size_t cut : cuts) {
        ReceiveRouter::Output out;
        router.feed(stream + pos, cut - pos, out);
        pos = cut;
        o.shown += out.show;
        o.answered += out.answered ? 1 : 0;
        o.queued += out.queued;
        const auto &c = router.counters();
        const uint64_t accounted =
            c.shown + c.answers + c.queued + c.raw + c.held + c.dropped + uint64_t(router.assembling());
        if (c.fed != pos || accounted != c.fed)
            return broken(why, QStringLiteral("bytes lost or counted twice: fed %1, accounted %2").arg(c.fed).arg(accounted));
        if (router.answer().length > kMaxData || router.assembling() > kMaxAnswer)
            return broken(why, QStringLiteral("a frame longer than a frame can be"));
        if (router.rawCount() > router.rawExpected() || router.heldNow() > ReceiveRouter::kHoldLimit)
            return broken(why, QStringLiteral("raw or held bytes past their limit"));
    }
    if (o.answered > 1)
        return broken(why, QStringLiteral("one wait answered %1 times").arg(o.answered));
    if (o.answered && router.frameError() == 0) {
        const uint8_t got = router.answer().code;
        if (code == ReceiveRouter::kAnyButNotification ? got == cmd::MotionNotification : got != uint8_t(code))
            return broken(why, QStringLiteral("took a frame of code %1 as the answer").arg(got, 2, 16));
    }
    o.state = router.state();
    o.error = router.frameError();
    o.answer = router.answer();
    o.raw = QByteArray(reinterpret_cast<const char *>(router.rawData()), qsizetype(router.rawCount()));
    // What is held comes out again when the closing answer is awaited, and is still accounted.
    ReceiveRouter::Output closing;
    router.armClosing(0, closing);
    const auto &c = router.counters();
    if (c.fed != n || c.shown + c.answers + c.queued + c.raw + c.held + c.dropped + uint64_t(router.assembling()) != n)
        return broken(why, QStringLiteral("held bytes lost on the way to the closing answer"));
    return true;
}

bool sameRecord(const AnswerRecord &a, const AnswerRecord &b)
{
    return a.serial == b.serial && a.code == b.code && a.status == b.status && a.length == b.length
        && std::equal(a.data.begin(), a.data.begin() + a.length, b.data.begin());
}

} // namespace

bool checkAnswerStream(const uint8_t *data, size_t size, QString *why)
{
    if (size < 3)
        return true;
    const uint8_t *stream = data + 3;
    const size_t n = size - 3;
    // The same stream whole and in random batches must end the same way: the receive path may
    // not depend on how the line happened to cut the bytes.
    Outcome whole, split;
    if (!run(data, stream, n, {n}, whole, why))
        return false;
    std::mt19937 random(data[1]);
    std::vector<size_t> cuts;
    for (size_t at = 0; at < n;) {
        at = std::min(n, at + 1 + random() % 24);
        cuts.push_back(at);
    }
    if (cuts.empty())
        cuts.push_back(0);
    if (!run(data, stream, n, cuts, split, why))
        return false;
    if (whole.shown != split.shown || whole.state != split.state || whole.error != split.error
        || whole.raw != split.raw || whole.answered != split.answered || whole.queued != split.queued
        || (whole.answered && !sameRecord(whole.answer, split.answer)))
        return broken(why, QStringLiteral("the outcome depends on how the stream was split"));
    return true;
}

} // namespace zm::fuzz
