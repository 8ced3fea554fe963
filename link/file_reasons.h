#pragma once
// Why a file cannot be written, in words that point at the cause: the folder is missing, the
// folder takes no new files (a system folder, a read-only disk), the file is read-only. The
// system's own text ("No such file or directory" for a file in /proc) often points elsewhere.

#include <QString>

namespace zm {

// For a save that writes a temporary file beside `path` and renames it over `path`.
// `systemText` is what the failed open said; it ends the sentence when nothing better is known.
QString whyNotWritable(const QString &path, const QString &systemText);

} // namespace zm
