#pragma once
// Where the bytes that arrive from the chip go. The receive state says it:
//   idle               -> the data show
//   awaiting answer    -> frames are assembled; the frame whose code is the awaited one is the
//                         answer, any other complete frame (a late answer, a notification) goes
//                         to the data show and assembly goes on with the bytes after it
//   raw receiving      -> the frame-buffer buffer, up to the expected length
//   raw sending / raw complete, and the gap between a command and its closing answer
//                      -> held, so that an early closing answer is not lost
// Pure and single-threaded: the link session runs it on the link thread under its lock and
// acts on what each batch produced. Every byte fed ends in exactly one place, which the counters
// account for.

#include "protocol/answer_assembly.h"
#include "protocol/protocol.h"
#include "link/traffic_recorder.h"

#include <QByteArray>

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

namespace zm {

class ReceiveRouter
{
public:
    // What follows a good answer (status 0, our serial number).
    enum class After {
        Idle,       // nothing: an ordinary command
        RawReceive, // the chip streams the picture: bytes go to the frame-buffer buffer
        RawSend,    // the PC streams; the chip then sends a closing answer
        Closing,    // no raw phase on this line, but a closing answer follows
    };

    // The awaited code for a closing answer, which may carry any code but a notification's.
    static constexpr int kAnyButNotification = -1;
    static constexpr size_t kHoldLimit = 4096;
    static constexpr size_t kQueueLimit = 65536;
    static constexpr uint32_t kRawCapacity = 614400;

    struct Output {
        QByteArray show;        // for the data show, in arrival order
        bool answered = false;  // the awaited answer, or a frame error, is in
        bool rawProgress = false;
        int queued = 0;         // frames queued while listening
    };

    ReceiveState state() const { return m_state; }

    // Told of every frame, broken frame, idle batch and raw chunk as it is routed (the traffic
    // log); none by default.
    using Sink = std::function<void(TrafficRecorder::Kind kind, const uint8_t *bytes, int n)>;
    void setSink(Sink sink) { m_sink = std::move(sink); }

    // Awaits the answer to `code` (or any frame but a notification); `serial` is the program's.
    void arm(int code, After after, uint8_t serial);
    // Awaits a closing answer and first runs the bytes held since the raw phase through it.
    void armClosing(uint8_t serial, Output &out);
    // Stays armed for frames of `code`: each one is queued, none ends the wait.
    void listen(uint8_t code);
    // Back to idle; what was held is given up.
    void disarm();
    // While on, a notification that comes while another answer is awaited is queued as if
    // listened for, not shown: a run that counts notifications loses none to its own commands.
    void collectNotifications(bool on);

    void feed(const uint8_t *bytes, size_t k, Output &out);

    // The answer once `answered`; 240 or 241 when the awaited answer was broken, else 0.
    const AnswerRecord &answer() const { return m_answer; }
    uint8_t frameError() const { return m_frameError; }

    bool prepareRaw(uint32_t expected);
    uint32_t rawExpected() const { return m_rawExpected; }
    uint32_t rawCount() const { return m_rawCount; }
    const uint8_t *rawData() const { return m_raw.data(); }

    // Frames queued while listening, oldest first.
    bool takeQueued(AnswerRecord &frame);
    size_t queuedCount() const { return m_queue.size(); }

    // Where the bytes went, for the invariant checks.
    struct Counters {
        uint64_t fed = 0, shown = 0, answers = 0, queued = 0, raw = 0, held = 0, dropped = 0;
    };
    const Counters &counters() const { return m_counters; }
    // Bytes held now (part of `held` until a closing answer takes them or they are dropped).
    size_t heldNow() const { return m_held.size(); }
    // Bytes inside a frame that is not complete yet.
    int assembling() const { return m_state == ReceiveState::AwaitingAnswer ? m_assembly.count() : 0; }

private:
    size_t takeFrames(const uint8_t *b, size_t k, Output &out);
    size_t takeRaw(const uint8_t *b, size_t k, Output &out);
    void hold(const uint8_t *b, size_t k);
    void show(const uint8_t *b, size_t k, Output &out);
    bool awaited(uint8_t code) const;
    void completed(Output &out);
    void tell(TrafficRecorder::Kind kind, const uint8_t *bytes, int n)
    {
        if (m_sink)
            m_sink(kind, bytes, n);
    }

    ReceiveState m_state = ReceiveState::Idle;
    After m_after = After::Idle;
    int m_code = 0;
    uint8_t m_serial = 0;
    bool m_listening = false;
    bool m_collect = false;
    bool m_holdForClosing = false;
    AnswerAssembly m_assembly;
    AnswerRecord m_answer;
    uint8_t m_frameError = 0;
    std::vector<uint8_t> m_raw;
    uint32_t m_rawExpected = 0;
    uint32_t m_rawCount = 0;
    std::vector<uint8_t> m_held;
    std::deque<AnswerRecord> m_queue;
    Counters m_counters;
    Sink m_sink;
};

} // namespace zm
