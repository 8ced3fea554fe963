#pragma once
// The programs the console starts (zmimgconv from Tools, zmsim for --demo): beside the console
// first, as in the build folder and an installed bin/, then on the PATH, as when the programs
// were installed apart.

#include <QString>

namespace zm {

// The path to run for program `name`. When it is found nowhere, the path beside the console, so
// that the message about it names a place to look.
QString companionProgram(const QString &name);

} // namespace zm
