// Replays the control-info corpus and a fixed-seed run of 20,000 damaged copies of the simulated
// chip's dump through the inspector's invariants. The damage is what a bad file has: bytes
// overwritten, the data length, table address and entries set to values near their limits, the
// signature changed, the file cut short or lengthened.

#include "corpus_replay.h"
#include "ctrlinfo_dump_check.h"
#include "link/protocol.h"
#include "sim/ctrl_info_image.h"

#include <QTest>

#include <random>
#include <set>

using namespace zm;

class TestFuzzCtrlInfoReplay : public QObject
{
    Q_OBJECT

private slots:
    void corpus()
    {
        const QString broken = fuzz::replayCorpus(QStringLiteral(CORPUS_DIR), [](const uint8_t *data, size_t size, QString *why) {
            return fuzz::checkCtrlInfoDump(data, size, why);
        });
        QVERIFY2(broken.isEmpty(), qPrintable(broken));
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
                QFAIL(qPrintable(QStringLiteral("copy %1 (%2): %3")
                                     .arg(i)
                                     .arg(QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(b.data()),
                                                                         qsizetype(b.size())).toHex()),
                                          why)));
            reached.insert(outcome);
        }
        // Damage that never reaches a check would leave that check untried.
        for (const DumpCheck c : {DumpCheck::Passed, DumpCheck::Signature, DumpCheck::BaseBlock,
                                  DumpCheck::DataLengthPastFile, DumpCheck::DataLengthShort, DumpCheck::TablePastFile,
                                  DumpCheck::TablePastDataLength, DumpCheck::EntryOutOfRange})
            QVERIFY2(reached.count(c), qPrintable(QStringLiteral("check %1 never reached").arg(int(c))));
    }
};

QTEST_APPLESS_MAIN(TestFuzzCtrlInfoReplay)
#include "tst_fuzz_ctrlinfo_replay.moc"
