#pragma once
// The command frames the simulated chip received, as upper-case hex, for comparing with the
// frames a window or zmctl should have sent.

#include "sim/pty_chip.h"

#include <QStringList>

namespace zm::test {

inline QStringList hexFrames(const sim::PtyChip &chip)
{
    QStringList hex;
    for (const QByteArray &f : chip.frames())
        hex << QString::fromLatin1(f.toHex().toUpper());
    return hex;
}

} // namespace zm::test
