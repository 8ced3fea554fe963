// Replays the fuzz corpus and a fixed-seed run of 100,000 random streams through the receive
// path's invariants. The streams are built to look like the line: frames of the chip with the
// awaited code, other codes and notifications, broken frames, idle bytes and picture bytes.

#include "answer_stream_check.h"
#include "corpus_replay.h"

#include <QTest>

#include <random>

class TestFuzzReplay : public QObject
{
    Q_OBJECT

private slots:
    void corpus()
    {
        const QString broken = zm::fuzz::replayCorpus(QStringLiteral(CORPUS_DIR), zm::fuzz::checkAnswerStream);
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
            if (!zm::fuzz::checkAnswerStream(reinterpret_cast<const uint8_t *>(b.constData()), size_t(b.size()), &why))
                QFAIL(qPrintable(QStringLiteral("stream %1 (%2): %3").arg(i).arg(QString::fromLatin1(b.toHex()), why)));
        }
    }
};

QTEST_APPLESS_MAIN(TestFuzzReplay)
#include "tst_fuzz_replay.moc"
