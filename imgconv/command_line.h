#pragma once
// What zmimgconv was asked to do. Parsed before any application object exists,
// because that choice decides whether a window system is needed at all.

#include <QString>
#include <QStringList>

namespace zm {

struct CommandLine
{
    enum class Mode { Window, Convert, Help, UsageError };

    Mode mode = Mode::Window;
    QString input;  // Window: optional picture to open; Convert: required
    QString output; // Convert only
    int quality = -1; // -1: not given
    QString error;    // UsageError only

    static CommandLine parse(const QStringList &arguments); // arguments[0] is the program
    static QString helpText();
};

} // namespace zm
