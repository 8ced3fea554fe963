// Replays each fuzz corpus and fixed-seed random inputs through the invariants of its target.
// The receive path gets 100,000 streams built to look like the line: frames of the chip with the
// awaited code, other codes and notifications, broken frames, idle bytes and picture bytes. The
// control-info inspector gets 20,000 damaged copies of the simulated chip's dump, damaged as a
// bad file is: bytes overwritten, the data length, table address and entries set to values near
// their limits, the signature changed, the file cut short or lengthened.

#include "answer_stream_check.h"
#include "corpus_replay.h"
#include "ctrlinfo_dump_check.h"
#include "protocol/protocol.h"
#include "sim/ctrl_info_image.h"

#include <QTest>

#include <random>
#include <set>

using namespace zm;

class TestFuzzReplay : public QObject
{
    Q_OBJECT

private slots:
    void corpora()
    {
        QString broken = fuzz::replayCorpus(QStringLiteral(CORPUS_DIR "/answer_stream"), fuzz::checkAnswerStream);
        QVERIFY2(broken.isEmpty(), qPrintable(broken));
        broken = fuzz::replayCorpus(QStringLiteral(CORPUS_DIR "/ctrlinfo"), [](const uint8_t *data, size_t size, QString *why) {
            return fuzz::checkCtrlInfoDump(data, size, why);
        });
        QVERIFY2(broken.isEmpty(), qPrintable(broken));
    }

    void randomStreams()
    {
        std::mt19937 random(20261206);
        auto byte = [&] { return char(random() & 0xFF); };
        for (int i = 0; i < 100000; ++i) {
            QByteArray b;
            b.append(byte()).append(byte()).append(byte());
            const int pieces = int(random() % 6);
            for (int p = 0; p < pieces; ++p) {
                switch (random() % 5) {
                case 0: // a frame with the awaited code (as byte 0 chose it) or another
                case 1: {
                    const int length = int(random() % 18);
                    const char code = random() % 2 ? char((uint8_t(b[0]) & 0x3F) + 0x11) : char(0x39);
                    b.append(char(0x76)).append(char(random() % 3 == 0 ? 1 : 0)).append(code)
                        .append(char(random() % 4 == 0 ? 5 : 0)).append(char(length));
                    for (int k = 0; k < length; ++k)
                        b.append(byte());
                    break;
                }
                case 2: // idle or picture bytes
                    for (int k = int(random() % 40); k > 0; --k)
                        b.append(byte());
                    break;
                case 3: // a frame cut short
                    b.append(char(0x76)).append(char(0)).append(byte());
                    break;
                default:
                    b.append(byte());
                    break;
                }
            }
            QString why;
            if (!fuzz::checkAnswerStream(reinterpret_cast<const uint8_t *>(b.constData()), size_t(b.size()), &why))
                QFAIL(qPrintable(QStringLiteral("stream %1 (%2): %3").arg(i).arg(QString::fromLatin1(b.toHex()), why)));
        }
    }

    void damagedCopies()
    {
        const QByteArray image = sim::ctrlInfoImage(sim::CtrlInfoPlace::I2cEeprom);
        std::mt19937 random(20261207);
        std::set<DumpCheck> reached;
        for (int i = 0; i < 20000; ++i) {
            std::vector<uint8_t> b(image.begin(), image.end());
            auto near = [&](uint32_t limit) { return uint16_t(limit + random() % 5 - 2); };
            for (int edits = 1 + int(random() % 3); edits > 0; --edits) {
                const uint16_t table = getBe16(b.data() + kExternTableOffset);
                const uint16_t length = getBe16(b.data() + kDataLengthOffset);
                const uint16_t values[] = {0, near(kBaseInfoLength), near(length), near(uint32_t(b.size())),
                                           near(0x10000), uint16_t(random())};
                const uint16_t value = values[random() % std::size(values)];
                switch (random() % 7) {
                case 0:
                    b[random() % b.size()] = uint8_t(random());
                    break;
                case 1:
                    putBe16(b.data() + kDataLengthOffset, value);
                    break;
                case 2:
                    putBe16(b.data() + kExternTableOffset, value);
                    break;
                case 3: // an entry, when the table is still inside the file
                    if (table != 0 && size_t(table) + kExternTableLength <= b.size())
                        putBe16(b.data() + table + 2 * (random() % kExternTableEntries), value);
                    break;
                case 4:
                    putBe16(b.data(), random() % 2 ? 0xAA56 : uint16_t(random()));
                    break;
                case 5:
                    b.resize(random() % (b.size() + 1));
                    break;
                default:
                    b.resize(b.size() + random() % 300, uint8_t(random()));
                    break;
                }
                if (b.size() < kBaseInfoLength)
                    break;
            }
            QString why;
            DumpCheck outcome = DumpCheck::Passed;
            if (!fuzz::checkCtrlInfoDump(b.data(), b.size(), &why, &outcome))
                QFAIL(qPrintable(QStringLiteral("copy %1 (%2): %3").arg(i).arg(QString::fromLatin1(QByteArray::fromRawData(
                    reinterpret_cast<const char *>(b.data()), qsizetype(b.size())).toHex()), why)));
            reached.insert(outcome);
        }
        // Damage that never reaches a check would leave that check untried.
        for (const DumpCheck c : {DumpCheck::Passed, DumpCheck::Signature, DumpCheck::BaseBlock,
                                  DumpCheck::DataLengthPastFile, DumpCheck::DataLengthShort, DumpCheck::TablePastFile,
                                  DumpCheck::TablePastDataLength, DumpCheck::EntryOutOfRange})
            QVERIFY2(reached.count(c), qPrintable(QStringLiteral("check %1 never reached").arg(int(c))));
    }
};

QTEST_APPLESS_MAIN(TestFuzzReplay)
#include "tst_fuzz_replay.moc"
