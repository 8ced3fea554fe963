#include "osd/osd_registers.h"

#include <algorithm>

namespace zm::osd {

uint8_t readRuns(Commands &commands, std::span<const RegisterRun> runs, QByteArray &bytes)
{
    QByteArray read;
    read.reserve(runBytes(runs));
    for (const RegisterRun &run : runs) {
        uint8_t buffer[kMaxData];
        if (const uint8_t r = commands.readRegisters(run.address, buffer, run.count))
            return r;
        read.append(reinterpret_cast<const char *>(buffer), run.count);
    }
    bytes = read;
    return rc::Ok;
}

uint8_t writeRuns(Commands &commands, std::span<const RegisterRun> runs, const QByteArray &bytes)
{
    if (bytes.size() < runBytes(runs))
        return rc::InvalidParameter;
    int offset = 0;
    for (const RegisterRun &run : runs) {
        if (const uint8_t r = commands.writeRegisters(
                run.address, reinterpret_cast<const uint8_t *>(bytes.constData()) + offset, run.count))
            return r;
        offset += run.count;
    }
    return rc::Ok;
}

uint8_t writePieces(Commands &commands, const std::vector<CharPiece> &pieces, std::stop_token stop)
{
    for (const CharPiece &p : pieces) {
        if (stop.stop_requested())
            return rc::Stopped;
        const auto *chars = reinterpret_cast<const uint8_t *>(p.indexes.constData());
        if (const uint8_t r = commands.writeOsdCharacters(p.start, chars, int(p.indexes.size())))
            return r;
    }
    return rc::Ok;
}

} // namespace zm::osd
