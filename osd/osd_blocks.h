#pragma once
// The register blocks of the on-screen display as values: each is read and written as runs of
// chip registers and converts to and from the bytes of those runs. Fields hold what the
// registers hold, so a value that no control of a window can show is written back as it was
// read.
//
//     QByteArray bytes;                                    // from readRuns(c, OsdControl::kRuns, bytes)
//     OsdControl control = OsdControl::fromBytes(bytes);
//     control.palette[0] = 0x0210;
//     writeRuns(c, OsdControl::kRuns, control.toBytes());

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace zm::osd {

struct RegisterRun {
    uint16_t address = 0;
    int count = 0;
};

// Bytes in all runs together.
int runBytes(std::span<const RegisterRun> runs);

// The OSD control registers shared by every overlay: which character channels are on and how
// they are fed, the logo format, and the palette.
struct OsdControl {
    static constexpr std::array<RegisterRun, 5> kRuns{
        {{0x2500, 3}, {0x2503, 8}, {0x250B, 8}, {0x2580, 8}, {0x2588, 6}}};
    static constexpr int kPaletteSize = 15;

    std::array<bool, 4> enabled{};
    std::array<bool, 4> fieldMode{};   // input mode: "Field Mode" rather than "Frame Mode"
    std::array<bool, 4> flicker{};     // channel 3 has no flicker; its bit is always written 0
    std::array<bool, 4> afterScalar{}; // location: "After Scalar" rather than "After ISP"
    int logoResolution = 0;            // 0 "1*1", 1 "2*2", 2 "4*4" (two bits)
    int logoBitWidth = 3;              // 2 "4 Bits", 3 "16 Bits" (two bits)
    bool charFoil = true;
    std::array<uint16_t, kPaletteSize> palette{};

    static OsdControl fromBytes(const QByteArray &bytes);
    QByteArray toBytes() const;
};

struct CharLine {
    int posX = 0;       // drop-down index, one byte
    int posY = 0;       // drop-down index, one byte
    int horStep = 0;    // 0, 4, 8 or 12 pixels (two bits)
    int charSize = 0;   // 0 "16*16", 1 "32*32"
    int charNumber = 0; // characters shown, seven bits
    uint16_t color = 0;
    bool display = false;
    bool flicker = false;
};

// The four character channels: place, spacing, size, number and colour of each line, and the
// alpha, flicker frequency, background and foil colour they share.
struct CharChannel {
    static constexpr std::array<RegisterRun, 5> kRuns{
        {{0x2520, 8}, {0x2528, 8}, {0x2530, 4}, {0x2535, 6}, {0x253E, 2}}};
    static constexpr int kLines = 4;
    static constexpr int kMaxChars = 32;

    std::array<CharLine, kLines> lines{};
    int alpha = 0;
    int flickerFrequency = 0;
    uint16_t background = 0;
    uint16_t foil = 0;

    // What the window shows before its first Get.
    static CharChannel opening();
    static CharChannel fromBytes(const QByteArray &bytes);
    QByteArray toBytes() const;

    // Labels of the drop-downs; the register holds the item index.
    static QStringList posXLabels();
    static QStringList posYLabels();
    static QStringList alphaLabels(); // also the flicker frequency's
    static QStringList charNumberLabels();
};

// A run of character indexes for one command: at most 14, from cell `start` on.
struct CharPiece {
    uint8_t start = 0;
    QByteArray indexes;
    friend bool operator==(const CharPiece &, const CharPiece &) = default;
};

inline constexpr int kMaxPiece = 14;

// The commands that put a line's text (at most 32 indexes) into the character memory: pieces
// of 14 from the line's first cell. An empty text gives none.
std::vector<CharPiece> linePieces(int line, const QByteArray &indexes);
// The commands that fill a line with spaces: four pieces of 8.
std::vector<CharPiece> clearPieces(int line);

// The OSD bitmap overlay: format, colours, place, alpha, flicker and threshold.
struct BitmapBlock {
    static constexpr std::array<RegisterRun, 1> kRuns{{{0x2570, 11}}};

    int bitWidth = 2;   // 0 "1 pp", 1 "2 pp", 2 "4 pp" (two bits)
    int resolution = 4; // 0 "(W*H) 1*1" .. 4 "(W*H) 4*4" (three bits)
    std::array<int, 4> colorIndex{0, 1, 2, 3};
    uint8_t posX = 0x00;
    uint8_t posY = 0x00;
    uint8_t width = 0xA0;
    uint8_t height = 0x78;
    uint8_t alpha = 0x00;
    uint8_t flickFreq = 0x00;
    uint16_t threshold = 0xFFFF; // high byte first

    static BitmapBlock fromBytes(const QByteArray &bytes);
    QByteArray toBytes() const;
};

// The logo and mosaic blocks are one byte a field, in register order; what the windows show
// before their first Get.
struct LogoBlock {
    static constexpr std::array<RegisterRun, 1> kRuns{{{0x2540, 6}}};
    enum Field { PosX, PosY, Width, Height, Alpha, FlickerFreq };
    static QByteArray opening() { return QByteArray::fromHex("000006060000"); }
};

struct MosaicBlock {
    static constexpr std::array<RegisterRun, 1> kRuns{{{0x2561, 6}}};
    enum Field { PosX, PosY, Width, Height, SubbWidth, SubbHeight };
    static QByteArray opening() { return QByteArray::fromHex("0000281E0808"); }
};

// A typing rule of the address, length and colour fields: a character that is not a hex digit
// turns the field into "0000"; a text longer than `maxLength` is refused.
QString hexOrZeros(const QString &before, const QString &after, int maxLength);

} // namespace zm::osd
