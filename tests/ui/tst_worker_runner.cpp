// The worker runner and the tool-dialog base, running real commands against the simulated chip
// over a pseudo-terminal.

#include "ui/tool_dialog.h"

#include <QPushButton>
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

class TestWorkerRunner : public test::ChipTest
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY2(startChip(), qPrintable(m_error));
    }
    void cleanup()
    {
        QVERIFY(stopChip());
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
        QTest::newRow("failed command") << "status=1,cmd=0x11" << false << "Get version failed!:Invalid cmd";
        QTest::newRow("exception") << "delay=300,cmd=0x11" << true << "no memory";
    }
    void givesTheWindowBack()
    {
        QFETCH(QString, fault);
        QFETCH(bool, throws);
        QFETCH(QString, message);
        Window window(*m_layer);
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
        QVERIFY(m_layer->isBusy());
        QTRY_VERIFY_WITH_TIMEOUT(!m_layer->isBusy(), 5000);
        QVERIFY(window.isEnabled());
        QVERIFY(sawDisabled);
        QCOMPARE(order, throws ? QStringList{"before"} : QStringList({"before", "after"}));
        QCOMPARE(m_messages->texts(), QStringList{message});
    }

    // Cancel, Escape and the close box are ignored while a command is in flight.
    void toolDialogStaysWhileBusy()
    {
        Window window(*m_layer);
        auto *cancel = new QPushButton("Cancel", &window);
        connect(cancel, &QPushButton::clicked, &window, &QDialog::reject);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        m_chip->addFault("delay=500,cmd=0x11");
        window.runWorker([](Worker &w) {
            QByteArray text;
            w.commands().getVersion(text);
        }, {.disableWindow = false});
        cancel->click();
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.close());
        QVERIFY(window.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!m_layer->isBusy(), 5000);
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        QCOMPARE(window.result(), int(QDialog::Rejected));
    }

    // The end of the program with a long command chain running: shutdown asks it to stop and
    // joins it; the flag is free, the receive state idle, nothing more is shown, and the layer
    // can go at once (the sanitized run would see a use after free otherwise).
    void shutdownJoinsARunningWorker()
    {
        m_chip->setBaud(9600); // 64 KiB in pieces of 8: minutes
        Window window(*m_layer);
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
        WorkerRunner::shutdown(*m_layer);
        QVERIFY(ended);
        QCOMPARE(WorkerRunner::running(), 0);
        QVERIFY(!m_layer->isBusy());
        QCOMPARE(m_layer->receiveState(), ReceiveState::Idle);
        QVERIFY(int(result) == rc::Stopped || int(result) == rc::Unknown);
        QVERIFY(m_messages->texts().isEmpty());
        QVERIFY(window.isEnabled());
    }
};

QTEST_MAIN(TestWorkerRunner)
#include "tst_worker_runner.moc"
