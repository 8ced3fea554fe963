// What every window shares: hex field conversions and the typing filter that undoes a change
// (pure), then the worker runner and the tool-dialog base running real commands against the
// simulated chip over a pseudo-terminal.

#include "ui/edit_filter.h"
#include "ui/placement.h"
#include "ui/tool_dialog.h"
#include "protocol/hex_text.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "tests/common/chip_test.h"

#include <atomic>
#include <stdexcept>

using namespace zm;

namespace {

class Window : public ToolDialog
{
public:
    using ToolDialog::ToolDialog;
    using ToolDialog::runWorker;
};

} // namespace

class TestUi : public test::ChipTest
{
    Q_OBJECT

private slots:
    void init() { QVERIFY2(startChip(), qPrintable(m_error)); }
    void cleanup() { QVERIFY(stopChip()); }

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
        QCOMPARE(edit.cursorPosition(), caret);
        QStringList seen;
        for (const QList<QVariant> &args : rejected)
            seen << args.at(0).toString();
        QCOMPARE(seen, refused);
    }

    // A window opened beside another: right of it where the screen has room, else left of it,
    // else against the screen's edge with more room; never off the screen.
    void besidePlacement_data()
    {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QRect>("anchor");
        QTest::addColumn<QRect>("placed");
        QTest::newRow("room to the right") << QRect(0, 0, 1920, 1080) << QRect(100, 50, 700, 650) << QRect(800, 50, 1100, 560);
        QTest::newRow("room to the left") << QRect(0, 0, 1920, 1080) << QRect(1200, 50, 700, 650) << QRect(100, 50, 1100, 560);
        QTest::newRow("narrower beside") << QRect(0, 0, 1920, 1080) << QRect(0, 0, 900, 650) << QRect(900, 0, 1020, 560);
        QTest::newRow("no room: the wider edge") << QRect(0, 0, 1366, 768) << QRect(0, 0, 690, 650)
                                                 << QRect(266, 0, 1100, 560);
        QTest::newRow("kept on the screen") << QRect(0, 0, 1366, 768) << QRect(0, 500, 300, 200) << QRect(300, 208, 1066, 560);
    }
    void besidePlacement()
    {
        QFETCH(QRect, screen);
        QFETCH(QRect, anchor);
        QFETCH(QRect, placed);
        QCOMPARE(besideRect(screen, anchor, QSize(1100, 560), 900), placed);
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

    // Every way out gives the window and the flag back: the answer shown, a failed command (its
    // message with the caller's prefix), an exception. Meanwhile the window is disabled and the
    // worker's GUI calls run in order.
    void givesTheWindowBack_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("throws");
        QTest::addColumn<QString>("message");
        QTest::newRow("answer") << "delay=300,cmd=0x11" << false << "ZM3386V1.02"; // what the chip answered
        QTest::newRow("failed command") << "status=1,cmd=0x11" << false
                                        << "Get version failed!:Invalid cmd\nget-version: the chip does not know this command";
        QTest::newRow("exception") << "delay=300,cmd=0x11" << true << "no memory";
    }
    void givesTheWindowBack()
    {
        QFETCH(QString, fault);
        QFETCH(bool, throws);
        QFETCH(QString, message);
        Window window(*m_session);
        window.show();
        QVERIFY(m_chip->addFault(fault));
        QStringList order;
        std::atomic<bool> sawDisabled{false};
        QVERIFY(window.runWorker([&](Worker &w) {
            w.gui([&] { sawDisabled = !window.isEnabled(); order << "before"; });
            QByteArray text;
            const uint8_t r = w.commands().getVersion(text);
            if (throws)
                throw std::runtime_error("no memory");
            if (r)
                w.failure(r, "Get version failed!:");
            else
                w.message(QString::fromLatin1(text), QMessageBox::Information);
            w.gui([&] { order << "after"; });
        }));
        QVERIFY(!window.isEnabled());
        QVERIFY(m_session->isBusy());
        QTRY_VERIFY_WITH_TIMEOUT(!m_session->isBusy(), 5000);
        QVERIFY(window.isEnabled());
        QVERIFY(sawDisabled);
        QCOMPARE(order, throws ? QStringList{"before"} : QStringList({"before", "after"}));
        QCOMPARE(m_messages->texts(), QStringList{message});
    }

    // Escape (a reject, as Cancel is) and the close box are ignored while a command is in flight.
    void toolDialogStaysWhileBusy()
    {
        Window window(*m_session);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        m_chip->addFault("delay=500,cmd=0x11");
        window.runWorker([](Worker &w) {
            QByteArray text;
            w.commands().getVersion(text);
        }, {.disableWindow = false});
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.close());
        QVERIFY(window.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!m_session->isBusy(), 5000);
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
    }

    // The end of the program with a long command chain running: shutdown asks it to stop and
    // joins it; the flag is free, the receive state idle, nothing more is shown, and the session
    // can go at once (the sanitized run would see a use after free otherwise).
    void shutdownJoinsARunningWorker()
    {
        m_chip->setBaud(9600); // 64 KiB in pieces of 8: minutes
        Window window(*m_session);
        std::atomic<uint8_t> result{0};
        std::atomic<bool> ended{false};
        QVERIFY(window.runWorker([&](Worker &w) {
            QByteArray bytes(65536, '\0');
            BlockDescriptor d{4, 0, 65535, reinterpret_cast<uint8_t *>(bytes.data())};
            Report report;
            report.stop = w.stopToken();
            result = w.commands().blockRead(&d, 1, &report);
            w.message("not shown once the program closes");
            ended = true;
        }));
        QVERIFY(m_chip->waitForFrames(3, 5000));
        WorkerRunner::shutdown(*m_session);
        QVERIFY(ended);
        QCOMPARE(WorkerRunner::running(), 0);
        QVERIFY(!m_session->isBusy());
        QCOMPARE(m_session->receiveState(), ReceiveState::Idle);
        QVERIFY(int(result) == rc::Stopped || int(result) == rc::Unknown);
        QVERIFY(m_messages->texts().isEmpty());
        QVERIFY(window.isEnabled());
    }
};

QTEST_MAIN(TestUi)
#include "tst_ui.moc"
