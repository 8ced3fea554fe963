#pragma once
// The control info as a dump file holds it (what `zmctl upload` writes): its base block, its
// extension table and the span of every record, and what differs between two dumps. For the
// engineer who asks "what changed in the configuration?" without a chip at hand.
//
// A file is taken apart only after it has passed every check, each of which names itself when it
// fails; nothing outside the file's bytes is ever read, whatever they say.
//
//     CtrlInfoDump a, b;
//     QString why;
//     if (loadCtrlInfoDump(pathA, a, why) != DumpCheck::Passed)
//         return fail(pathA + ": " + why);   // "data length past the file: ..."
//     ...
//     const CtrlInfoDiff d = diffCtrlInfo(a, b);
//     for (int n = 0; n < kExternTableEntries; ++n)
//         if (d.sections[n].differs()) ...

#include "ctrlinfo/ctrl_info_layout.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zm {

// Every address in the control info is 16 bits, so no more of a file than this can belong to it.
inline constexpr qint64 kCtrlInfoAddressRange = 0x10000;

// The checks a file must pass, in the order they are made.
enum class DumpCheck {
    Passed,
    Unreadable,          // the file cannot be opened or read
    Signature,           // no 0xAA55 or 0xAA56 at address 0
    BaseBlock,           // the file ends inside the base block
    DataLengthPastFile,  // the data length is more than the file holds
    DataLengthShort,     // the data length ends inside the base block
    TablePastFile,       // the extension table runs past the end of the file
    TablePastDataLength, // the extension table runs past the data length
    EntryOutOfRange,     // a table entry points at or past the data length
};

// A record as a dump holds it.
struct DumpSection {
    uint16_t address = 0; // 0: absent
    uint16_t size = 0;    // up to the next record, the table or the data length; 0 when absent
    bool present() const { return address != 0; }
    friend bool operator==(const DumpSection &, const DumpSection &) = default;
};

struct CtrlInfoDump {
    std::vector<uint8_t> bytes; // the control info: the file's first `dataLength` bytes
    qint64 fileSize = 0;        // the whole file, which may go on after the control info
    uint16_t signature = 0;
    uint16_t dataLength = 0;
    uint16_t tableAddress = 0;  // 0: the control info has no records
    std::array<DumpSection, kExternTableEntries> sections{};

    const DumpSection &section(CtrlInfoSection s) const { return sections[size_t(s)]; }
    // The Image Property record's five bytes; nothing when it is absent or the data length cuts
    // it short.
    std::optional<std::array<uint8_t, kImagePropertyLength>> imageProperty() const;
    // The enable bits of the picture controls (offset 36).
    uint8_t ispWord3Low() const { return bytes[kIspWord3LowOffset]; }
};

// Takes a dump apart. `data` is the start of the file (more than kCtrlInfoAddressRange bytes are
// never looked at), `fileSize` the size of the whole file (at least data.size()). On a failed
// check `out` is left as it was and `message` says which check failed and why, in words that
// start with the check's name: "no signature: ...".
DumpCheck parseCtrlInfoDump(std::span<const uint8_t> data, qint64 fileSize, CtrlInfoDump &out, QString &message);
// The same for a file, read up to kCtrlInfoAddressRange bytes.
DumpCheck loadCtrlInfoDump(const QString &path, CtrlInfoDump &out, QString &message);

// Bytes that differ in one range of two dumps, compared over the shorter of the two.
struct RangeDiff {
    static constexpr int kFirstOffsets = 8;
    int differing = 0;
    std::vector<uint16_t> first; // offsets of the first kFirstOffsets of them, from the range's start
};

// One record (or the extension table) in two dumps. A record that moved but holds the same bytes
// does not differ: the move shows in the table.
struct SectionDiff {
    DumpSection a, b;
    RangeDiff bytes;
    bool moved() const { return a.present() && b.present() && a.address != b.address; }
    bool differs() const { return a.present() != b.present() || a.size != b.size || bytes.differing > 0; }
};

struct ByteDiff {
    uint16_t offset;
    uint8_t a, b;
    friend bool operator==(const ByteDiff &, const ByteDiff &) = default;
};

struct CtrlInfoDiff {
    std::vector<ByteDiff> baseBlock; // every byte of the base block that differs
    SectionDiff table;               // the extension table's 42 bytes
    std::array<SectionDiff, kExternTableEntries> sections;
    // The bytes that belong to none of the above in either dump (gaps between the base block,
    // the table and the records), by address.
    RangeDiff other;
    bool same = true; // the two control infos are equal, byte for byte and in length
};

CtrlInfoDiff diffCtrlInfo(const CtrlInfoDump &a, const CtrlInfoDump &b);

} // namespace zm
