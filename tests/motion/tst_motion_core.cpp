// Motion detection without a line: the threshold register map, the window selectors, the time
// text and the run's log. (The boundary lists are checked in the window that shows them.)

#include "link/hex_text.h"
#include "motion/motion_log.h"
#include "motion/motion_settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace zm;

class TestMotionCore : public QObject
{
    Q_OBJECT

private slots:
    // Each field lands in its registers, low byte first; the 15 registers follow one fixed order.
    void thresholdBytes_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QByteArray>("bytes");
        QStringList defaults;
        for (const ThresholdField &f : thresholdFields())
            defaults << f.defaultText;
        QTest::newRow("defaults") << defaults << QByteArray::fromHex("400003" "300003" "24" "FFFFFFFF" "0202" "0100");
        QStringList shortTexts = defaults;
        shortTexts[1] = "3";     // an 8-bit field: 0x03
        shortTexts[2] = "1A";    // a 16-bit field: 0x001A
        shortTexts[5] = "12 34"; // blanks are skipped: 0x00001234
        shortTexts[8] = "";      // empty is 0
        QTest::newRow("short, blank, empty") << shortTexts << QByteArray::fromHex("400003" "1A0003" "24" "34120000" "0202" "0000");
        QStringList full = defaults;
        full[0] = "ABCD";
        full[5] = "01234567";
        QTest::newRow("full width") << full << QByteArray::fromHex("CDAB03" "300003" "24" "67452301" "0202" "0100");
    }
    void thresholdBytes()
    {
        QFETCH(QStringList, texts);
        QFETCH(QByteArray, bytes);
        const ThresholdBytes b = zm::thresholdBytes(texts);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(b.data()), int(b.size())), bytes);
        // Read back, every field shows its full width.
        QStringList padded;
        for (int i = 0; i < kThresholdFieldCount; ++i)
            padded << padHexLeft(texts[i], thresholdFields()[i].digits).toUpper();
        QCOMPARE(thresholdTexts(b), padded);
    }

    void thresholdRegisterOrder()
    {
        const std::array<uint16_t, 15> expected{0x1A1D, 0x1A1E, 0x1A1F, 0x1A50, 0x1A51, 0x1A52, 0x1A53, 0x1A54,
                                                0x1A55, 0x1A56, 0x1A57, 0x1A58, 0x1A59, 0x1A6E, 0x1A6F};
        QCOMPARE(thresholdRegisters(), expected);
    }

    void windowSelector_data()
    {
        QTest::addColumn<int>("window");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("selector");
        QTest::newRow("row sum 0") << 0 << int(WindowValue::RowSum) << 0x00;
        QTest::newRow("row line 0") << 0 << int(WindowValue::RowLine) << 0x01;
        QTest::newRow("row line 7") << 7 << int(WindowValue::RowLine) << 0x0F;
        QTest::newRow("col sum 5") << 5 << int(WindowValue::ColSum) << 0x2A;
        QTest::newRow("col line 15") << 15 << int(WindowValue::ColLine) << 0x3F;
    }
    void windowSelector()
    {
        QFETCH(int, window);
        QFETCH(int, value);
        QFETCH(int, selector);
        QCOMPARE(int(zm::windowSelector(window, WindowValue(value))), selector);
    }

    void timeText()
    {
        const QDateTime t(QDate(2024, 2, 9), QTime(7, 5, 3, 45), Qt::UTC);
        QCOMPARE(motionTimeText(t), QString("2024-02-09 07:05:03:045"));
        QCOMPARE(motionTimeText(QDateTime()), QString());
    }

    // The log keeps rows up to its capacity and saves them as CSV; a failed save says why and
    // leaves an earlier file as it was.
    void logCapacityAndCsv()
    {
        MotionLog log(2);
        const QDateTime t0(QDate(2024, 5, 1), QTime(10, 0, 0, 5), Qt::UTC);
        QVERIFY(log.append({1, t0, 0}));
        QVERIFY(log.append({2, t0.addMSecs(1500), 1500}));
        QVERIFY(!log.append({3, t0.addMSecs(3000), 1500}));
        QCOMPARE(log.size(), 2);
        const QByteArray csv = "count,time,interval_ms\n"
                               "1,2024-05-01 10:00:00:005,0\n"
                               "2,2024-05-01 10:00:01:505,1500\n";
        QCOMPARE(log.csv(), csv);

        QTemporaryDir dir;
        const QString path = dir.filePath("log.csv");
        QVERIFY(log.save(path));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), csv);
        QString error;
        QVERIFY(!log.save(dir.filePath("no/such/folder/log.csv"), &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMotionCore)
#include "tst_motion_core.moc"
