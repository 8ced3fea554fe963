#include "app/data_show.h"

#include <algorithm>

namespace zm {

namespace {

const char kHexDigits[] = "0123456789ABCDEF";
constexpr char16_t kControlMark = 0x00B7;

// What a byte takes in a drawn character line: nothing, or one cell.
bool takesCell(uint8_t b)
{
    return b != 0 && b != '\n' && b != '\r';
}

QChar cellChar(uint8_t b)
{
    if (b == '\t')
        return QChar(' ');
    if (b < 0x20 || (b >= 0x7F && b < 0xA0))
        return QChar(kControlMark);
    return QChar(char16_t(b));
}

} // namespace

void DataShow::append(const QByteArray &bytes)
{
    append(bytes.constData(), bytes.size());
}

void DataShow::append(const char *bytes, qint64 n)
{
    const qint64 from = m_size;
    while (n > 0) {
        const qint64 offset = m_size % kBlockSize;
        if (offset == 0 && size_t(m_size / kBlockSize) == m_blocks.size())
            m_blocks.push_back(std::make_unique<uint8_t[]>(size_t(kBlockSize)));
        const qint64 k = std::min(n, kBlockSize - offset);
        std::copy(bytes, bytes + k, m_blocks[size_t(m_size / kBlockSize)].get() + offset);
        bytes += k;
        n -= k;
        m_size += k;
    }
    index(from);
}

QByteArray DataShow::bytes(qint64 from, qint64 n) const
{
    from = std::clamp<qint64>(from, 0, m_size);
    n = std::clamp<qint64>(n, 0, m_size - from);
    QByteArray out;
    out.reserve(n);
    while (n > 0) {
        const qint64 offset = from % kBlockSize;
        const qint64 k = std::min(n, kBlockSize - offset);
        out.append(reinterpret_cast<const char *>(m_blocks[size_t(from / kBlockSize)].get() + offset), k);
        from += k;
        n -= k;
    }
    return out;
}

void DataShow::clear()
{
    m_blocks.clear();
    m_size = 0;
    m_lineStarts.assign(1, 0);
    m_lineStarts.shrink_to_fit();
    m_cells = 0;
}

void DataShow::index(qint64 from)
{
    for (qint64 i = from; i < m_size; ++i) {
        const uint8_t b = at(i);
        if (b == '\n') {
            m_lineStarts.push_back(i + 1);
            m_cells = 0;
        } else if (takesCell(b)) {
            if (m_cells == m_columns) {
                m_lineStarts.push_back(i);
                m_cells = 0;
            }
            ++m_cells;
        }
    }
}

void DataShow::setCharColumns(int columns)
{
    columns = std::max(1, columns);
    if (columns == m_columns)
        return;
    m_columns = columns;
    m_lineStarts.assign(1, 0);
    m_cells = 0;
    index(0);
}

qint64 DataShow::hexLineCount(qint64 bytes, int bytesPerLine)
{
    bytesPerLine = std::max(1, bytesPerLine);
    return (bytes + bytesPerLine - 1) / bytesPerLine;
}

QString DataShow::hexLine(qint64 line, int bytesPerLine) const
{
    bytesPerLine = std::max(1, bytesPerLine);
    const qint64 from = line * bytesPerLine;
    const qint64 to = std::min(m_size, from + bytesPerLine);
    if (line < 0 || from >= to)
        return {};
    QString out(3 * (to - from), Qt::Uninitialized);
    QChar *p = out.data();
    for (qint64 i = from; i < to; ++i) {
        const uint8_t b = at(i);
        *p++ = QChar(kHexDigits[b >> 4]);
        *p++ = QChar(kHexDigits[b & 15]);
        *p++ = QChar(' ');
    }
    return out;
}

qint64 DataShow::charLineCount() const
{
    // The last line exists once something visible or a line feed is in it.
    const qint64 lines = qint64(m_lineStarts.size());
    return m_size == 0 ? 0 : lines;
}

QString DataShow::charLine(qint64 line) const
{
    if (line < 0 || line >= charLineCount())
        return {};
    const qint64 from = m_lineStarts[size_t(line)];
    const qint64 to = line + 1 < qint64(m_lineStarts.size()) ? m_lineStarts[size_t(line + 1)] : m_size;
    QString out;
    out.reserve(m_columns);
    for (qint64 i = from; i < to; ++i) {
        const uint8_t b = at(i);
        if (takesCell(b))
            out.append(cellChar(b));
    }
    return out;
}

QString DataShow::hexText() const
{
    QString out;
    out.reserve(3 * m_size);
    for (qint64 i = 0; i < m_size; ++i) {
        const uint8_t b = at(i);
        out.append(QChar(kHexDigits[b >> 4]));
        out.append(QChar(kHexDigits[b & 15]));
        out.append(QChar(' '));
    }
    return out;
}

QString DataShow::charText() const
{
    QString out;
    out.reserve(m_size);
    for (qint64 i = 0; i < m_size; ++i)
        if (const uint8_t b = at(i))
            out.append(QChar(char16_t(b)));
    return out;
}

qint64 DataShow::memoryUsed() const
{
    return qint64(m_blocks.size()) * kBlockSize + qint64(m_lineStarts.capacity() * sizeof(qint64));
}

} // namespace zm
