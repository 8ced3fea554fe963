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
        QTest::newRow("odd length gets a leading 0") << "abc" << 0xABCu << -1 << QByteArray::fromHex("0ABC");
        QTest::newRow("ninth digit: number drops it") << "123456789" << 0x23456789u << -1 << QByteArray::fromHex("0123456789");
        QTest::newRow("blanks skipped") << " 1 A10 " << 0x1A10u << -1 << QByteArray::fromHex("1A10");
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

    // Typing into a real line edit (at most 4 characters): a change the rule refuses is undone
    // and told, and the caret stays where it was.
    void filterUndoesTyping_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("result");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QStringList>("refused");
        QTest::newRow("blank passes") << "1" << 1 << " 2" << "1 2" << 3 << QStringList();
        QTest::newRow("fifth digit undone") << "1234" << 4 << "5" << "1234" << 4 << QStringList{"12345"};
        QTest::newRow("in the middle") << "13" << 1 << "q2" << "123" << 2 << QStringList{"1q3"};
        QTest::newRow("digits around refused ones") << "" << 0 << "1z2aF" << "12aF" << 4 << QStringList{"1z"};
    }
    void filterUndoesTyping()
    {
        QFETCH(QString, start);
        QFETCH(int, cursor);
        QFETCH(QString, typed);
        QFETCH(QString, result);
        QFETCH(int, caret);
        QFETCH(QStringList, refused);
        QLineEdit edit;
        EditFilter filter(&edit, EditFilter::hexRule([] { return 4; }));
        QSignalSpy rejected(&filter, &EditFilter::rejected);
        filter.setText(start);
        edit.setCursorPosition(cursor);
        QTest::keyClicks(&edit, typed);
        QCOMPARE(edit.text(), result);
        QCOMPARE(filter.text(), result);
        QCOMPARE(edit.cursorPosition(), caret);
        QStringList seen;
        for (const QList<QVariant> &args : rejected)
            seen << args.at(0).toString();
        QCOMPARE(seen, refused);
    }

    // Texts the window sets itself are not judged, even by a rule that refuses everything
    // (like the value box in Read mode).
    void setTextBypassesRule()
    {
        QLineEdit edit;
        EditFilter filter(&edit, [](const QString &before, const QString &) { return before; });
        filter.setText("ABCDEF");
        QCOMPARE(edit.text(), QString("ABCDEF"));
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QCOMPARE(edit.text(), QString("ABCDEF"));
    }
};

QTEST_MAIN(TestHexField)
#include "tst_hex_field.moc"
