#pragma once
// Reading a file the user named, never more than the command can use: its kind is checked before
// anything is read, a regular file's size before its bytes, and a stream (a FIFO, a character
// device such as /dev/zero) is read only up to one byte past the limit, which is enough to tell
// that it is too long. Opening never blocks: a FIFO is opened without waiting for its writer, and
// the wait for data looks at the stop request and gives up after a short grace when no program
// writes into it at all.
//
//     const InputFile in = InputFile::read(path, 32 * 1024, InputFile::Streams);
//     if (in.status != InputFile::Status::Ok)
//         fail(in.error);

#include <QByteArray>
#include <QString>

#include <stop_token>

namespace zm {

struct InputFile {
    enum class Status {
        Ok,
        Failed,  // missing, not readable, of a kind the command does not take, a read error
        TooLong, // more than the limit
        Stopped, // the stop request came while it waited for a stream
    };
    enum Kinds {
        RegularOnly, // only regular files (what has a size to check first)
        Streams,     // FIFOs and character devices too
    };
    // How long a stream may stay silent before its first byte (no writer yet) before it is given up.
    static constexpr int kFirstByteGraceMs = 500;

    Status status = Status::Failed;
    QByteArray data;
    // A regular file's size, or -1 for a stream.
    qint64 size = -1;
    // "<path>: <what is wrong>" unless Ok.
    QString error;

    bool ok() const { return status == Status::Ok; }

    static InputFile read(const QString &path, qint64 limit, Kinds kinds = RegularOnly, std::stop_token stop = {});
};

} // namespace zm
