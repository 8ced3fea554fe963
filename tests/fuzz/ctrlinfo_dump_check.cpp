#include "ctrlinfo_dump_check.h"

#include "protocol/protocol.h"

#include <algorithm>
#include <vector>

namespace zm::fuzz {

namespace {

bool broken(QString *why, const QString &text)
{
    *why = text;
    return false;
}

bool reportsSomething(const CtrlInfoDiff &d)
{
    if (!d.baseBlock.empty() || d.table.differs() || d.other.differing > 0)
        return true;
    return std::any_of(d.sections.begin(), d.sections.end(), [](const SectionDiff &s) { return s.differs(); });
}

// A passed dump's layout, checked against the file's own bytes rather than the parser's
// arithmetic: every record lies inside the control info and runs exactly up to the next thing
// that starts after it.
bool layoutHolds(const std::vector<uint8_t> &file, const CtrlInfoDump &d, QString *why)
{
    const uint16_t length = d.dataLength;
    if (d.signature != 0xAA55 && d.signature != 0xAA56)
        return broken(why, QStringLiteral("passed without a signature"));
    if (length < kBaseInfoLength || length > file.size() || d.bytes.size() != length
        || !std::equal(d.bytes.begin(), d.bytes.end(), file.begin()))
        return broken(why, QStringLiteral("the control info is not the file's first data-length bytes"));
    if (d.tableAddress != getBe16(file.data() + kExternTableOffset)
        || (d.tableAddress != 0 && d.tableAddress + kExternTableLength > length))
        return broken(why, QStringLiteral("the extension table is not where the base block says, or runs past the data length"));
    std::vector<uint32_t> starts{length};
    if (d.tableAddress)
        starts.push_back(d.tableAddress);
    for (int n = 0; n < kExternTableEntries; ++n) {
        const DumpSection &s = d.sections[size_t(n)];
        const uint16_t entry = d.tableAddress ? getBe16(file.data() + d.tableAddress + 2 * n) : 0;
        if (s.address != entry)
            return broken(why, QStringLiteral("section %1 is not at its table entry").arg(n));
        if (s.present())
            starts.push_back(s.address);
        else if (s.size != 0)
            return broken(why, QStringLiteral("absent section %1 has a size").arg(n));
    }
    for (const DumpSection &s : d.sections) {
        if (!s.present())
            continue;
        const uint32_t end = uint32_t(s.address) + s.size;
        const bool endsAtAStart = std::find(starts.begin(), starts.end(), end) != starts.end();
        const bool startInside = std::any_of(starts.begin(), starts.end(), [&](uint32_t x) { return x > s.address && x < end; });
        if (s.size == 0 || end > length || !endsAtAStart || startInside)
            return broken(why, QStringLiteral("a section at 0x%1 is sized wrongly").arg(s.address, 4, 16, QChar('0')));
    }
    const auto &ip = d.section(CtrlInfoSection::ImageProperty);
    if (d.imageProperty().has_value() != (ip.present() && ip.address + kImagePropertyLength <= length))
        return broken(why, QStringLiteral("Image Property decoded when cut short, or not decoded when whole"));
    return true;
}

} // namespace

bool checkCtrlInfoDump(const uint8_t *data, size_t size, QString *why, DumpCheck *outcome)
{
    // A copy of exactly the file's size: a read past its end is a read past an allocation, which
    // the sanitizers catch (a QByteArray would hide one byte behind its terminator).
    const std::vector<uint8_t> file(data, data + size);
    CtrlInfoDump d;
    QString message;
    const DumpCheck check = parseCtrlInfoDump(file, qint64(file.size()), d, message);
    if (outcome)
        *outcome = check;
    if (check != DumpCheck::Passed) {
        if (message.isEmpty() || !d.bytes.empty())
            return broken(why, QStringLiteral("a failed check without a message, or with a half-filled dump"));
        return true;
    }
    if (!layoutHolds(file, d, why))
        return false;

    const CtrlInfoDiff self = diffCtrlInfo(d, d);
    if (!self.same || reportsSomething(self))
        return broken(why, QStringLiteral("a dump differs from itself"));

    // One byte of the control info changed: a dump that still passes must differ, and say where.
    std::vector<uint8_t> changed = file;
    const size_t at = (size_t(file.back()) * 131 + size) % d.dataLength;
    changed[at] ^= uint8_t(1 + file[size / 2] % 255);
    CtrlInfoDump e;
    if (parseCtrlInfoDump(changed, qint64(changed.size()), e, message) == DumpCheck::Passed) {
        const CtrlInfoDiff ab = diffCtrlInfo(d, e), ba = diffCtrlInfo(e, d);
        if (ab.same || ba.same || !reportsSomething(ab) || !reportsSomething(ba))
            return broken(why, QStringLiteral("a change at 0x%1 went unreported").arg(at, 4, 16, QChar('0')));
    }
    return true;
}

} // namespace zm::fuzz
