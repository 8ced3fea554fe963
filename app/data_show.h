#pragma once
// What the chip sent outside any command, since the last clear, and its two forms: hex (each byte
// as "%02X ") and characters (each byte as the character it codes, a zero byte adding nothing).
//
// The bytes are stored once, in fixed blocks, and either form is made on demand for the lines
// that are looked at, so the cost of an append and of a look does not grow with the amount kept.
// The hex form wraps at a fixed number of bytes a line and needs no index. The character form
// breaks after a line feed and wraps at a fixed number of characters; the start of each of its
// lines is kept, built as bytes arrive and rebuilt when the width changes.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace zm {

class DataShow
{
public:
    static constexpr qint64 kBlockSize = 64 * 1024;

    void append(const QByteArray &bytes);
    void append(const char *bytes, qint64 n);
    void clear();

    qint64 size() const { return m_size; }
    // The bytes as they came, `n` of them from `from`.
    QByteArray bytes(qint64 from, qint64 n) const;
    uint8_t at(qint64 i) const { return m_blocks[size_t(i / kBlockSize)][size_t(i % kBlockSize)]; }

    // Hex form, `bytesPerLine` bytes a line.
    static qint64 hexLineCount(qint64 bytes, int bytesPerLine);
    qint64 hexLineCount(int bytesPerLine) const { return hexLineCount(m_size, bytesPerLine); }
    QString hexLine(qint64 line, int bytesPerLine) const;

    // Character form, wrapped at `columns` characters.
    void setCharColumns(int columns);
    qint64 charLineCount() const;
    // The line as drawn: line feeds, carriage returns and zero bytes take no place; other control
    // characters show as a middle dot; everything else is read as Latin-1.
    QString charLine(qint64 line) const;

    // The whole forms, as a text box would hold them (tests, copying).
    QString hexText() const;
    QString charText() const;

    // Bytes of memory held for the data (blocks and line index).
    qint64 memoryUsed() const;

private:
    void index(qint64 from);

    std::vector<std::unique_ptr<uint8_t[]>> m_blocks;
    qint64 m_size = 0;

    int m_columns = 64;
    std::vector<qint64> m_lineStarts{0}; // character form: first byte of every line
    int m_cells = 0;                     // characters on the last line so far
};

} // namespace zm
