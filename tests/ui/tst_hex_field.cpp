// Hex field conversions and the typing filter that undoes a change.

#include "ui/edit_filter.h"
#include "link/hex_text.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

using namespace zm;

class TestHexField : public QObject
{
    Q_OBJECT

private slots:
    // A field's text as a number and as bytes (at most `max` from the front; -1: all).
    void conversions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint>("value");
        QTest::addColumn<int>("max");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << "" << 0u << -1 << QByteArray();
        QTest::newRow("lower case") << "abcd" << 0xABCDu << -1 << QByteArray::fromHex("ABCD");
        QTest::newRow("odd length gets a leading 0") << "ABC" << 0xABCu << -1 << QByteArray::fromHex("0ABC");
        QTest::newRow("eight digits") << "FFFFFFFF" << 0xFFFFFFFFu << -1 << QByteArray::fromHex("FFFFFFFF");
        QTest::newRow("ninth digit: number drops it") << "123456789" << 0x23456789u << -1 << QByteArray::fromHex("0123456789");
        QTest::newRow("blanks skipped") << " 1 A10 " << 0x1A10u << -1 << QByteArray::fromHex("1A10");
        QTest::newRow("blank inside a pair") << "1 2" << 0x12u << -1 << QByteArray::fromHex("12");
        QTest::newRow("odd after blanks dropped") << "1 23" << 0x123u << -1 << QByteArray::fromHex("0123");
        QTest::newRow("bytes limited from the front") << "11223344" << 0x11223344u << 3 << QByteArray::fromHex("112233");
    }
    void conversions()
    {
        QFETCH(QString, text);
        QFETCH(uint, value);
        QFETCH(int, max);
        QFETCH(QByteArray, bytes);
        QCOMPARE(hexFieldNumber(text), uint32_t(value));
        QCOMPARE(hexFieldBytes(text, max), bytes);
    }

    void formatting()
    {
        QCOMPARE(padHexLeft("1 A", 4), QString("001A"));
        QCOMPARE(padHexLeft("123456", 4), QString("123456"));
        QCOMPARE(formatHex(0xa, 4), QString("000A"));
        QCOMPARE(toHexText(QByteArray::fromHex("000FA0FF"), QString()), QString("000FA0FF"));
    }

    // Typing into a real line edit: a change the rule refuses is undone, the caret stays where
    // it was, and texts the window sets itself are not judged.
    void filterUndoesTyping_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("result");
        QTest::newRow("blank passes") << "1" << 1 << " 2" << "1 2";
        QTest::newRow("non-hex undone") << "12" << 2 << "G" << "12";
        QTest::newRow("fifth digit undone") << "1234" << 4 << "5" << "1234";
        QTest::newRow("digits around a refused one") << "" << 0 << "1z2aF" << "12aF";
    }
    void filterUndoesTyping()
    {
        QFETCH(QString, start);
        QFETCH(int, cursor);
        QFETCH(QString, typed);
        QFETCH(QString, result);
        QLineEdit edit;
        EditFilter filter(&edit, EditFilter::hexRule([] { return 4; }));
        filter.setText(start);
        edit.setCursorPosition(cursor);
        QTest::keyClicks(&edit, typed);
        QCOMPARE(edit.text(), result);
        QCOMPARE(filter.text(), result);
    }

    void filterKeepsCaretOnUndo()
    {
        QLineEdit edit;
        EditFilter filter(&edit, EditFilter::hexRule([] { return 8; }));
        filter.setText("1234");
        edit.setCursorPosition(2);
        QSignalSpy rejected(&filter, &EditFilter::rejected);
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
        EditFilter filter(&edit, [](const QString &before, const QString &) { return before; });
        filter.setText("ABCDEF");
        QCOMPARE(edit.text(), QString("ABCDEF"));
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QCOMPARE(edit.text(), QString("ABCDEF"));
    }
};

QTEST_MAIN(TestHexField)
#include "tst_hex_field.moc"
