// The data show's store and its two forms, line by line and whole.

#include "app/data_show.h"
#include "app/data_show_view.h"

#include <QScrollBar>
#include <QTest>

using namespace zm;

class TestDataShow : public QObject
{
    Q_OBJECT

private slots:
    // Appends in pieces that cross the store's block boundaries read back byte for byte, as a
    // whole and line by line; a line past the end is empty.
    void acrossBlocks()
    {
        DataShow show;
        QByteArray all;
        for (int piece : {1000, 65536, 3, 70000, 1}) {
            QByteArray b(piece, Qt::Uninitialized);
            for (int i = 0; i < piece; ++i)
                b[i] = char((all.size() + i) * 7 + 3);
            show.append(b);
            all += b;
        }
        const auto hex = [](const QByteArray &b) { return QString::fromLatin1(b.toHex(' ').toUpper() + ' '); };
        QCOMPARE(show.hexText(), hex(all));
        QCOMPARE(show.hexLine(65536 / 16, 16), hex(all.mid(65536, 16)));
        QCOMPARE(show.hexLineCount(16), qint64((all.size() + 15) / 16));
        QCOMPARE(show.hexLine(all.size() / 16, 16), hex(all.mid(all.size() / 16 * 16)));
        QCOMPARE(show.hexLine((all.size() + 15) / 16, 16), QString());
    }

    // Character lines break after a line feed and wrap at the width; zero bytes and carriage
    // returns take no place; the index follows a change of width.
    void charLines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("wrap") << QByteArray("abcdefg") << 3 << QStringList{"abc", "def", "g"};
        QTest::newRow("exact width") << QByteArray("abcdef") << 3 << QStringList{"abc", "def"};
        QTest::newRow("line feeds") << QByteArray("ab\r\ncd\n\nef") << 10 << QStringList{"ab", "cd", "", "ef"};
        QTest::newRow("zero bytes take no place") << QByteArray("a\0b\0c\0d", 7) << 2 << QStringList{"ab", "cd"};
        QTest::newRow("control characters marked") << QByteArray("a\x01\tb") << 8 << QStringList{QString("a\u00B7 b")};
        QTest::newRow("trailing line feed") << QByteArray("ab\n") << 8 << QStringList{"ab", ""};
        QTest::newRow("latin-1") << QByteArray::fromHex("E9FF") << 8 << QStringList{QString::fromLatin1("\xE9\xFF")};
    }
    void charLines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, columns);
        QFETCH(QStringList, lines);
        // Fed at once, byte by byte, and indexed at another width first: the same lines.
        for (int way = 0; way < 3; ++way) {
            DataShow show;
            show.setCharColumns(way == 2 ? columns + 5 : columns);
            if (way == 1)
                for (char c : bytes)
                    show.append(&c, 1);
            else
                show.append(bytes);
            show.setCharColumns(columns);
            QStringList got;
            for (qint64 i = 0; i < show.charLineCount(); ++i)
                got << show.charLine(i);
            QCOMPARE(got, lines);
        }
    }

    // A long row without a line feed wraps where the box ends: every wrapped row, in both forms
    // and at any width, is drawn whole left of the scroll bar. New bytes scroll the box to its
    // end, even after it was scrolled away.
    void wrappedRowsShowWhole_data()
    {
        QTest::addColumn<int>("width");
        for (int w : {211, 300, 457, 640, 777})
            QTest::newRow(qPrintable(QString::number(w))) << w;
    }
    void wrappedRowsShowWhole()
    {
        QFETCH(int, width);
        DataShowView view;
        view.resize(width, 160);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.appendBytes(QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZ").repeated(7).left(160));
        const QFontMetricsF fm(view.font());
        const qreal room = view.viewport()->width() - 2 * 4;
        for (bool hex : {false, true}) {
            view.setHexShow(hex);
            for (qint64 line = 0; line < view.lineCount(); ++line) {
                const QString text = hex ? view.data().hexLine(line, view.bytesPerHexLine()) : view.data().charLine(line);
                QVERIFY2(fm.horizontalAdvance(text.trimmed()) <= room, qPrintable(text));
            }
        }

        for (int i = 0; i < 200; ++i)
            view.appendBytes(QByteArray(16, char(i)));
        QScrollBar *bar = view.verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        bar->setValue(0);
        view.appendBytes("x");
        QCOMPARE(bar->value(), bar->maximum());
    }
};

QTEST_MAIN(TestDataShow)
#include "tst_data_show.moc"
