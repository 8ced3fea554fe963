#include "ctrlinfo/ctrl_info_dump.h"

#include "ctrlinfo/ctrl_info.h"
#include "protocol/protocol.h"

#include <QFile>

#include <algorithm>

namespace zm {

namespace {

QString hex4(uint32_t v)
{
    return QString::asprintf("0x%04X", unsigned(v));
}

QString bytesText(qint64 n)
{
    return n == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(n);
}

// The span of every record: from its address up to the next record, the table or the end of the
// control info, whichever comes first. A record sharing its address with another gets the same span.
void measureSections(std::array<DumpSection, kExternTableEntries> &sections, uint16_t table, uint16_t length)
{
    std::vector<uint32_t> bounds{length};
    if (table != 0)
        bounds.push_back(table);
    for (const DumpSection &s : sections)
        if (s.present())
            bounds.push_back(s.address);
    std::sort(bounds.begin(), bounds.end());
    for (DumpSection &s : sections)
        if (s.present())
            s.size = uint16_t(*std::upper_bound(bounds.begin(), bounds.end(), uint32_t(s.address)) - s.address);
}

} // namespace

std::optional<std::array<uint8_t, kImagePropertyLength>> CtrlInfoDump::imageProperty() const
{
    const DumpSection &s = section(CtrlInfoSection::ImageProperty);
    if (!s.present() || size_t(s.address) + kImagePropertyLength > bytes.size())
        return std::nullopt;
    std::array<uint8_t, kImagePropertyLength> record;
    std::copy_n(bytes.begin() + s.address, kImagePropertyLength, record.begin());
    return record;
}

DumpCheck parseCtrlInfoDump(std::span<const uint8_t> data, qint64 fileSize, CtrlInfoDump &out, QString &message)
{
    const size_t n = std::min(data.size(), size_t(kCtrlInfoAddressRange));
    fileSize = std::max(fileSize, qint64(data.size()));
    auto fail = [&](DumpCheck check, const QString &text) {
        message = text;
        return check;
    };
    // Each check below makes sure of the bytes the next one reads.
    if (n < 2)
        return fail(DumpCheck::Signature, n == 0 ? QStringLiteral("no signature: the file is empty")
                                                 : QStringLiteral("no signature: the file has only 1 byte"));
    const uint16_t signature = getBe16(data.data() + kSignatureOffset);
    if (signature != ctrlInfoSignature(CtrlInfoDevice::I2cEeprom) && signature != ctrlInfoSignature(CtrlInfoDevice::SpiFlash))
        return fail(DumpCheck::Signature,
                    QString::asprintf("no signature: the file starts with %02X %02X; a dump starts with AA 55 "
                                      "(EEPROM) or AA 56 (SPI flash)",
                                      data[0], data[1]));
    if (n < kBaseInfoLength)
        return fail(DumpCheck::BaseBlock, QStringLiteral("base block cut short: the file ends after %1, inside the "
                                                         "%2-byte base block")
                                              .arg(bytesText(qint64(n)))
                                              .arg(kBaseInfoLength));
    const uint16_t length = getBe16(data.data() + kDataLengthOffset);
    if (length > n)
        return fail(DumpCheck::DataLengthPastFile,
                    QStringLiteral("data length past the file: the data length is %1 (%2), the file has %3")
                        .arg(hex4(length), bytesText(length), bytesText(fileSize)));
    if (length < kBaseInfoLength)
        return fail(DumpCheck::DataLengthShort,
                    QStringLiteral("data length too short: %1 (%2) ends inside the %3-byte base block")
                        .arg(hex4(length), bytesText(length))
                        .arg(kBaseInfoLength));
    const uint16_t table = getBe16(data.data() + kExternTableOffset);
    if (table != 0) {
        const uint32_t end = uint32_t(table) + kExternTableLength;
        if (end > fileSize)
            return fail(DumpCheck::TablePastFile,
                        QStringLiteral("extension table past the file: the table at %1 ends at %2, the file has %3")
                            .arg(hex4(table), hex4(end), bytesText(fileSize)));
        if (end > length)
            return fail(DumpCheck::TablePastDataLength,
                        QStringLiteral("extension table past the data length: the table at %1 ends at %2, the data "
                                       "length is %3")
                            .arg(hex4(table), hex4(end), hex4(length)));
    }

    // The records are found as on the chip; a word outside the control info is refused rather than
    // read (the checks above leave none, but the lookup does not rely on them).
    auto readWord = [&](uint16_t at, uint16_t &value) -> uint8_t {
        if (uint32_t(at) + 2 > length)
            return 1;
        value = getBe16(data.data() + at);
        return 0;
    };
    std::array<DumpSection, kExternTableEntries> sections{};
    int outOfRange = 0;
    QString firstOutOfRange;
    for (int i = 0; i < kExternTableEntries; ++i) {
        const auto section = CtrlInfoSection(i);
        uint16_t address = 0;
        if (lookupCtrlInfoRecord(readWord, section, address) != 0 || address >= length) {
            if (outOfRange++ == 0)
                firstOutOfRange = QStringLiteral("section %1 (%2), entry at %3, points at %4, past the data length %5%6")
                                      .arg(i)
                                      .arg(QString::fromLatin1(ctrlInfoSectionName(section)))
                                      .arg(hex4(externEntryAddress(table, section).value_or(0)), hex4(address), hex4(length))
                                      .arg(address >= fileSize ? QStringLiteral(" and the end of the file") : QString());
            continue;
        }
        sections[size_t(i)].address = address;
    }
    if (outOfRange > 0)
        return fail(DumpCheck::EntryOutOfRange,
                    QStringLiteral("table entry out of range: %1%2")
                        .arg(firstOutOfRange,
                             outOfRange > 1 ? QStringLiteral(" (and %1 more)").arg(outOfRange - 1) : QString()));
    measureSections(sections, table, length);

    out.bytes.assign(data.begin(), data.begin() + length);
    out.fileSize = fileSize;
    out.signature = signature;
    out.dataLength = length;
    out.tableAddress = table;
    out.sections = sections;
    message.clear();
    return DumpCheck::Passed;
}

DumpCheck loadCtrlInfoDump(const QString &path, CtrlInfoDump &out, QString &message)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        message = QStringLiteral("cannot read the file: %1").arg(f.errorString());
        return DumpCheck::Unreadable;
    }
    const QByteArray head = f.read(kCtrlInfoAddressRange);
    if (head.isEmpty() && f.error() != QFileDevice::NoError) {
        message = QStringLiteral("cannot read the file: %1").arg(f.errorString());
        return DumpCheck::Unreadable;
    }
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t *>(head.constData()), size_t(head.size()));
    return parseCtrlInfoDump(bytes, f.size(), out, message);
}

namespace {

RangeDiff compareRange(const uint8_t *a, const uint8_t *b, size_t n)
{
    RangeDiff d;
    for (size_t i = 0; i < n; ++i) {
        if (a[i] == b[i])
            continue;
        if (d.differing++ < RangeDiff::kFirstOffsets)
            d.first.push_back(uint16_t(i));
    }
    return d;
}

// The bytes of a span that lie inside the dump's control info.
size_t within(const CtrlInfoDump &d, DumpSection s)
{
    return s.address >= d.bytes.size() ? 0 : std::min(size_t(s.size), d.bytes.size() - s.address);
}

SectionDiff compareSections(const CtrlInfoDump &a, DumpSection sa, const CtrlInfoDump &b, DumpSection sb)
{
    SectionDiff d{sa, sb, {}};
    if (sa.present() && sb.present())
        d.bytes = compareRange(a.bytes.data() + sa.address, b.bytes.data() + sb.address,
                               std::min(within(a, sa), within(b, sb)));
    return d;
}

DumpSection tableSpan(const CtrlInfoDump &d)
{
    return {d.tableAddress, d.tableAddress ? kExternTableLength : uint16_t(0)};
}

} // namespace

CtrlInfoDiff diffCtrlInfo(const CtrlInfoDump &a, const CtrlInfoDump &b)
{
    CtrlInfoDiff d;
    const size_t common = std::min(a.bytes.size(), b.bytes.size());
    for (size_t i = 0; i < std::min(common, size_t(kBaseInfoLength)); ++i)
        if (a.bytes[i] != b.bytes[i])
            d.baseBlock.push_back({uint16_t(i), a.bytes[i], b.bytes[i]});
    d.table = compareSections(a, tableSpan(a), b, tableSpan(b));
    for (size_t i = 0; i < d.sections.size(); ++i)
        d.sections[i] = compareSections(a, a.sections[i], b, b.sections[i]);

    // What neither dump's layout accounts for is compared address by address, so that no change
    // inside the control info goes unreported.
    std::vector<bool> covered(common, false);
    auto cover = [&](const CtrlInfoDump &dump, DumpSection s) {
        const size_t end = std::min(common, size_t(s.address) + within(dump, s));
        for (size_t i = s.address; i < end; ++i)
            covered[i] = true;
    };
    for (const CtrlInfoDump *dump : {&a, &b}) {
        cover(*dump, {0, kBaseInfoLength});
        cover(*dump, tableSpan(*dump));
        for (const DumpSection &s : dump->sections)
            if (s.present())
                cover(*dump, s);
    }
    for (size_t i = 0; i < common; ++i) {
        if (covered[i] || a.bytes[i] == b.bytes[i])
            continue;
        if (d.other.differing++ < RangeDiff::kFirstOffsets)
            d.other.first.push_back(uint16_t(i));
    }
    d.same = a.bytes == b.bytes;
    return d;
}

} // namespace zm
