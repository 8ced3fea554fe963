#pragma once
// How a long procedure (a frame-buffer transfer, an upload, the motion monitor) tells its caller
// what happens, without knowing whether a window or a terminal listens: progress, a status
// text, a counter text, named values, messages in order, and the caller's stop request.
// Every member may be left empty; the helpers below skip what is not set.
//
//     Report r;
//     r.progress = [&](qint64 done, qint64 total) { bar.set(done, total); };
//     r.message = [&](const QString &text, MessageKind kind) { box(text, kind); return true; };
//     r.stop = source.get_token();
//     FbufTransfer(commands, r).readToFile(options);

#include <QString>

#include <cstdint>
#include <functional>
#include <stop_token>

namespace zm {

enum class MessageKind {
    Failure,     // the procedure could not do what it was asked
    Information, // it did, or something the user should know
    Warning,     // it did, but something after that did not go as it should
    Question,    // it asks before it goes on; the answer is the message's return value
};

// How a procedure ended: the one answer its caller acts on. A procedure that told its messages
// through the report still says here what became of the whole.
struct Outcome {
    enum class Kind {
        Done,    // it did what it was asked
        Stopped, // the stop request ended it; nothing is shown as a failure
        Failed,  // it could not; `code` and `text` say why
        Warning, // it did what it was asked, but something after that failed; `text` says what
    };
    Kind kind = Kind::Done;
    uint8_t code = 0; // the result code of the command that failed, where one did
    QString text;

    static Outcome done() { return {}; }
    static Outcome stopped() { return {Kind::Stopped, 0, {}}; }
    static Outcome failed(uint8_t code, const QString &text) { return {Kind::Failed, code, text}; }
    static Outcome warning(uint8_t code, const QString &text) { return {Kind::Warning, code, text}; }

    // The work itself was done (with or without a warning); also what the outcome tests as.
    bool succeeded() const { return kind == Kind::Done || kind == Kind::Warning; }
    explicit operator bool() const { return succeeded(); }
    bool isDone() const { return kind == Kind::Done; }
    bool isStopped() const { return kind == Kind::Stopped; }
    bool isFailed() const { return kind == Kind::Failed; }
    bool isWarning() const { return kind == Kind::Warning; }
};

struct Report {
    // A total of 0 sets the progress back to nothing (the start of a procedure, a failure).
    std::function<void(qint64 done, qint64 total)> progress;
    std::function<void(const QString &text)> status;
    std::function<void(const QString &text)> counter;
    // A value with a name the caller knows, e.g. ("length", "0x00012000 (72.00K)").
    std::function<void(const QString &name, const QString &text)> value;
    // Returns the answer to a question (true: go on); ignored for the other kinds.
    std::function<bool(const QString &text, MessageKind kind)> message;
    std::stop_token stop;

    bool stopRequested() const { return stop.stop_requested(); }
    void setProgress(qint64 done, qint64 total) const
    {
        if (progress)
            progress(done, total);
    }
    void setStatus(const QString &text) const
    {
        if (status)
            status(text);
    }
    void setCounter(const QString &text) const
    {
        if (counter)
            counter(text);
    }
    void setValue(const QString &name, const QString &text) const
    {
        if (value)
            value(name, text);
    }
    void fail(const QString &text) const
    {
        if (message)
            message(text, MessageKind::Failure);
    }
    void warn(const QString &text) const
    {
        if (message)
            message(text, MessageKind::Warning);
    }
    void inform(const QString &text) const
    {
        if (message)
            message(text, MessageKind::Information);
    }
    // No listener means nobody can say yes.
    bool ask(const QString &text) const { return message && message(text, MessageKind::Question); }
};

} // namespace zm
