// Hex field conversions and the typing filter that undoes a change.

#include "ui/hex_edit_filter.h"
#include "ui/hex_field.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

using namespace zm;

class TestHexField : public QObject
{
    Q_OBJECT

private slots:
    void number_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint>("value");
        QTest::newRow("empty") << "" << 0u;
        QTest::newRow("two digits") << "1A" << 0x1Au;
        QTest::newRow("lower case") << "abcd" << 0xABCDu;
        QTest::newRow("eight digits") << "FFFFFFFF" << 0xFFFFFFFFu;
        QTest::newRow("blanks skipped") << " 1 A10 " << 0x1A10u;
        QTest::newRow("only blanks") << "   " << 0u;
        QTest::newRow("leading zeros") << "0000001" << 1u;
    }
    void number()
    {
        QFETCH(QString, text);
        QFETCH(uint, value);
        QCOMPARE(hexFieldNumber(text), uint32_t(value));
    }

    void bytes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("max");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("pairs") << "1234AB" << -1 << QByteArray::fromHex("1234AB");
        QTest::newRow("odd length gets a leading 0") << "ABC" << -1 << QByteArray::fromHex("0ABC");
        QTest::newRow("single digit") << "5" << -1 << QByteArray::fromHex("05");
        QTest::newRow("blanks between pairs") << "12 34" << -1 << QByteArray::fromHex("1234");
        QTest::newRow("blank inside a pair") << "1 2" << -1 << QByteArray::fromHex("12");
        QTest::newRow("odd after blanks dropped") << "1 23" << -1 << QByteArray::fromHex("0123");
        QTest::newRow("empty") << "" << -1 << QByteArray();
        QTest::newRow("limited from the front") << "11223344" << 3 << QByteArray::fromHex("112233");
    }
    void bytes()
    {
        QFETCH(QString, text);
        QFETCH(int, max);
        QFETCH(QByteArray, bytes);
        QCOMPARE(hexFieldBytes(text, max), bytes);
    }

    void formatting()
    {
        QCOMPARE(padHexLeft("1A", 4), QString("001A"));
        QCOMPARE(padHexLeft("1 A", 4), QString("001A"));
        QCOMPARE(padHexLeft("123456", 4), QString("123456"));
        QCOMPARE(formatHex(0x1A, 2), QString("1A"));
        QCOMPARE(formatHex(0x1A, 8), QString("0000001A"));
        QCOMPARE(formatHex(0xABCDEF12u, 8), QString("ABCDEF12"));
        const uint8_t b[] = {0x00, 0x0F, 0xA0, 0xFF};
        QCOMPARE(hexByteText(b, 4), QString("000FA0FF"));
        QCOMPARE(hexByteText(b, 0), QString());
    }

    // Typing into a real line edit: a change the rule refuses is undone, the caret stays where
    // it was, and texts the window sets itself are not judged.
    void filterUndoesTyping_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("result");
        QTest::newRow("hex digits kept") << "" << 0 << "1aF" << "1aF";
        QTest::newRow("blank passes") << "1" << 1 << " 2" << "1 2";
        QTest::newRow("non-hex undone") << "12" << 2 << "G" << "12";
        QTest::newRow("fifth digit undone") << "1234" << 4 << "5" << "1234";
        QTest::newRow("undone in the middle") << "1234" << 2 << "x" << "1234";
        QTest::newRow("digits around a refused one") << "" << 0 << "1z2" << "12";
    }
    void filterUndoesTyping()
    {
        QFETCH(QString, start);
        QFETCH(int, cursor);
        QFETCH(QString, typed);
        QFETCH(QString, result);
        QLineEdit edit;
        HexEditFilter filter(&edit, HexEditFilter::hexRule([] { return 4; }));
        filter.setText(start);
        edit.setCursorPosition(cursor);
        QTest::keyClicks(&edit, typed);
        QCOMPARE(edit.text(), result);
        QCOMPARE(filter.text(), result);
    }

    void filterKeepsCaretOnUndo()
    {
        QLineEdit edit;
        HexEditFilter filter(&edit, HexEditFilter::hexRule([] { return 8; }));
        filter.setText("1234");
        edit.setCursorPosition(2);
        QSignalSpy rejected(&filter, &HexEditFilter::rejected);
        QTest::keyClicks(&edit, "q");
        QCOMPARE(edit.text(), QString("1234"));
        QCOMPARE(edit.cursorPosition(), 2);
        QCOMPARE(rejected.count(), 1);
        QCOMPARE(rejected.at(0).at(0).toString(), QString("12q34"));
        QTest::keyClicks(&edit, "5");
        QCOMPARE(edit.text(), QString("12534"));
    }

    void setTextBypassesRule()
    {
        QLineEdit edit;
        // A rule that refuses everything, like the value box in Read mode.
        HexEditFilter filter(&edit, [](const QString &before, const QString &) { return before; });
        filter.setText("ABCDEF");
        QCOMPARE(edit.text(), QString("ABCDEF"));
        QTest::keyClicks(&edit, "1");
        QCOMPARE(edit.text(), QString("ABCDEF"));
        edit.selectAll();
        QTest::keyClick(&edit, Qt::Key_Delete);
        QCOMPARE(edit.text(), QString("ABCDEF"));
    }

    void replacementRule()
    {
        QLineEdit edit;
        // Longer than 4: the previous text when it fits, otherwise "00".
        HexEditFilter filter(&edit, [](const QString &before, const QString &after) {
            if (after.size() <= 4)
                return after;
            return before.size() <= 4 ? before : QString("00");
        });
        filter.setText("123456");
        edit.end(false);
        QTest::keyClicks(&edit, "7");
        QCOMPARE(edit.text(), QString("00"));
        QTest::keyClicks(&edit, "11");
        QCOMPARE(edit.text(), QString("0011"));
        QTest::keyClicks(&edit, "2");
        QCOMPARE(edit.text(), QString("0011"));
    }

    // Blanks pass the filter, and the conversions do not read them as digits.
    void blanksPassFilterAndAreIgnored()
    {
        QLineEdit edit;
        HexEditFilter filter(&edit, HexEditFilter::hexRule([] { return 8; }));
        QTest::keyClicks(&edit, "1A 10");
        QCOMPARE(filter.text(), QString("1A 10"));
        QCOMPARE(hexFieldNumber(filter.text()), 0x1A10u);
        QCOMPARE(hexFieldBytes(filter.text()), QByteArray::fromHex("1A10"));
    }
};

QTEST_MAIN(TestHexField)
#include "tst_hex_field.moc"
