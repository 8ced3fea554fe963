#pragma once
// The one way the programs write a file: dumps, pictures, logs, saved tables, everything.
//
// A regular file (or a name not taken yet) is replaced whole or not at all: the bytes go to a
// temporary file beside it, every write, the sync and the close are checked, and only when all
// of them succeeded is the temporary file renamed over the target. On any failure the target is
// as it was and the temporary file is gone. We do not lean on QSaveFile for this: on a full disk
// its commit() can flush a buffered write that fails and still rename the empty file over the
// target, and a short write returns a count that nothing checks.
//
// A FIFO, a character device (/dev/null, a serial line) or "-" (standard output) is written in
// place as a stream, as cp and dd do: it is never replaced by a regular file. Waiting for the
// reader of a FIFO honours the stop request and ends after a grace. A folder, a socket or a block device is refused.
//
// Append mode (logs) adds to a regular file, creating it when missing, and checks every write.
//
//     FileWriter out;
//     if (!out.open(path) || !out.write(bytes) || !out.commit())
//         fail(out.errorString());   // "<path>: No space left on device"

#include <QByteArray>
#include <QString>

#include <stop_token>

namespace zm {

class FileWriter
{
public:
    enum class Mode {
        Replace, // the target is replaced whole when commit() succeeds
        Append,  // bytes are added to the end of the target as they are written
    };

    // How long open() waits for a program to open a FIFO for reading.
    static constexpr int kReaderGraceMs = 10000;

    FileWriter() = default;
    ~FileWriter();
    FileWriter(const FileWriter &) = delete;
    FileWriter &operator=(const FileWriter &) = delete;

    // Checks the target and opens what is written: a temporary file, the stream, or the file to
    // append to. False with errorString() when the target cannot be written. A FIFO without a
    // reader is waited for until `stop` is requested.
    bool open(const QString &path, Mode mode = Mode::Replace, std::stop_token stop = {});
    // Every byte or false; after a failure every later call fails too.
    bool write(const char *data, qint64 n);
    bool write(const QByteArray &bytes) { return write(bytes.constData(), bytes.size()); }
    // Appended bytes are on the disk when it returns (a no-op for streams).
    bool sync();
    // Replace: syncs and renames the temporary file over the target. Append and streams: syncs
    // what can be synced and closes. False with errorString() when anything failed; the target is
    // then untouched (Replace) and the temporary file removed.
    bool commit();
    // Drops a replacement that is not committed: the target stays as it was.
    void cancel();
    // Replace: puts what was written so far in place of the target now, and goes on writing
    // there, for a log that must be readable while it grows; commit() then only syncs and closes.
    // Streams: nothing to do.
    bool publish();

    bool isOpen() const { return m_fd >= 0; }
    // Written in place (standard output, a FIFO, a device): there is no earlier content to keep.
    bool isStream() const { return m_stream; }
    QString path() const { return m_path; }
    // Bytes written since open().
    qint64 written() const { return m_written; }
    // "<path>: <the system's reason>" of the first failure, empty while there was none.
    QString errorString() const { return m_error; }
    // The reason alone.
    QString reason() const { return m_reason; }

    // The whole of `bytes` into `path`, replacing it; false with `error` set to errorString().
    static bool writeAll(const QString &path, const QByteArray &bytes, QString *error = nullptr,
                         std::stop_token stop = {});
    // Is `path` a target open() would write in place (standard output, a FIFO, a device)?
    static bool isStreamTarget(const QString &path);
    // Why open() would refuse `path`, found without touching it (a FIFO is not opened, an
    // earlier file is not replaced); empty when it can be written.
    static QString whyNot(const QString &path);

    // For a program that must end now (a second Ctrl+C, a command that did not stop in time):
    // removes the temporary file of every writer not yet committed, so that no half-written file
    // is left beside its target. Safe to call from any thread.
    static void removePendingTemporaries();
    // A write that fails must fail with an error, not end the program: ignores SIGPIPE (a reader
    // that went away) and SIGXFSZ (a file size limit). Called once at the start of each program.
    static void ignoreWriteSignals();

private:
    bool failWith(const QString &reason);
    bool failWithErrno(int error);
    bool openStream(const QString &shown, const QByteArray &native, std::stop_token stop);
    void forgetTemporary();

    int m_fd = -1;
    bool m_stream = false;
    bool m_ownsFd = true;
    Mode m_mode = Mode::Replace;
    QString m_path;        // as given
    QByteArray m_target;   // where the bytes end up (a symbolic link followed)
    QByteArray m_temporary; // Replace: the file being written
    qint64 m_written = 0;
    QString m_error;
    QString m_reason;
};

} // namespace zm
