#pragma once
// The characters the chip's OSD character generator holds, by index:
//   0-9 digits, 10-35 "A"-"Z", 36-61 "a"-"z", 62-77 the marks - _ : . / * ( ) [ ] @ ! + | \ #,
//   78 a block symbol (it cannot be typed, only shown), 79 the space.
// Text becomes a run of indexes; a character outside the set makes the whole text invalid.
//
//     OsdCharSet::toIndexes("Cam-01")   -> {12, 36, 48, 62, 0, 1}
//     OsdCharSet::toIndexes("50%")      -> nothing
//     OsdCharSet::character(78)         -> "\u25A0"

#include <QByteArray>
#include <QChar>
#include <QString>

#include <optional>

namespace zm::osd {

class OsdCharSet
{
public:
    static constexpr int kSize = 80;
    static constexpr int kBlock = 78;
    static constexpr uint8_t kSpace = 79;

    // The index of a character that can be typed; -1 for any other.
    static int indexOf(QChar c);
    static bool canType(QChar c) { return indexOf(c) >= 0; }
    // The indexes of the text's characters, or nothing when one of them is outside the set.
    static std::optional<QByteArray> toIndexes(const QString &text);
    // The character an index stands for; empty for an index outside the set.
    static QString character(int index);

    // The list as the character-list window and zmctl show it: 20 rows of four column pairs,
    // pair k of row r holding index 20k + r as "%02d" and its character as "'%s'".
    static constexpr int kListRows = 20;
    static constexpr int kListPairs = 4;
    static int listIndex(int row, int pair) { return kListRows * pair + row; }
    static QString indexText(int index) { return QString::asprintf("%02d", index); }
    static QString charText(int index) { return QStringLiteral("'%1'").arg(character(index)); }
};

} // namespace zm::osd
