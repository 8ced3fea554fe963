// The worker runner and the tool-dialog base, running real commands against the simulated chip
// over a pseudo-terminal.

#include "link/command_layer.h"
#include "res/messages.h"
#include "sim/pty_chip.h"
#include "ui/message_box.h"
#include "ui/message_recorder.h"
#include "ui/tool_dialog.h"
#include "ui/worker_runner.h"

#include <QPushButton>
#include <QTest>

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

class TestWorkerRunner : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_chip = std::make_unique<sim::PtyChip>();
        QVERIFY2(m_chip->isOpen(), qPrintable(m_chip->errorString()));
        m_layer = std::make_unique<CommandLayer>();
        QString error;
        QVERIFY2(m_layer->open(m_chip->slavePath(), "38400,n,8,1", &error), qPrintable(error));
        m_messages = std::make_unique<MessageRecorder>();
    }
    void cleanup()
    {
        QVERIFY(WorkerRunner::waitForAll(10000));
        m_messages.reset();
        m_layer.reset();
        m_chip.reset();
    }

    // The window is disabled while the worker runs, its GUI calls and messages arrive in order,
    // and afterwards the window is enabled and the flag is free.
    void runsCommandAndGivesWindowBack()
    {
        Window window(*m_layer);
        window.show();
        m_chip->addFault("delay=300,cmd=0x11");
        QStringList order;
        std::atomic<bool> sawDisabled{false};
        std::atomic<int> result{-1};
        QVERIFY(window.runWorker([&](Worker &w) {
            w.gui([&] { sawDisabled = !window.isEnabled(); order << "gui"; });
            QByteArray text;
            result = w.commands().getVersion(text);
            w.message(QString::fromLatin1(text), QMessageBox::Information);
            w.gui([&] { order << "after message"; });
        }));
        QVERIFY(!window.isEnabled());
        QVERIFY(m_layer->isBusy());
        QTRY_VERIFY_WITH_TIMEOUT(!m_layer->isBusy(), 5000);
        QVERIFY(window.isEnabled());
        QVERIFY(sawDisabled);
        QCOMPARE(result.load(), 0);
        QCOMPARE(order, QStringList({"gui", "after message"}));
        QCOMPARE(m_messages->texts(), QStringList{"ZM3386V1.02"});
        QCOMPARE(m_messages->at(0).icon, QMessageBox::Information);
        QCOMPARE(m_messages->at(0).title, QString("ZM3386 Comm Tool"));
        QCOMPARE(m_chip->frames(), QList<QByteArray>{QByteArray::fromHex("56001100")});
    }

    // A second start while one runs is refused with the busy message and sends nothing.
    void busyRefusal()
    {
        Window window(*m_layer);
        m_chip->addFault("delay=500,cmd=0x26");
        QVERIFY(window.runWorker([](Worker &w) { w.commands().systemReset(); }, {.disableWindow = false}));
        QVERIFY(window.isEnabled());
        bool ran = false;
        QVERIFY(!WorkerRunner::start(&window, *m_layer, [&](Worker &) { ran = true; }));
        QCOMPARE(m_messages->texts(), QStringList{msg::kBusy});
        QCOMPARE(m_messages->at(0).icon, QMessageBox::Warning);
        QTRY_VERIFY_WITH_TIMEOUT(!m_layer->isBusy(), 5000);
        QVERIFY(!ran);
        QCOMPARE(m_chip->frames().size(), 1);
    }

    // Every way out gives the flag and the window back: a failed command, an exception.
    void failurePathsReleaseEverything_data()
    {
        QTest::addColumn<bool>("throws");
        QTest::addColumn<QString>("message");
        QTest::newRow("failed command") << false << "Cmd recept, but execute failed";
        QTest::newRow("exception") << true << "no memory";
    }
    void failurePathsReleaseEverything()
    {
        QFETCH(bool, throws);
        QFETCH(QString, message);
        Window window(*m_layer);
        m_chip->addFault("status=5,cmd=0x26");
        window.runWorker([throws](Worker &w) {
            if (throws)
                throw std::runtime_error("no memory");
            const uint8_t r = w.commands().systemReset();
            if (r != 0)
                w.failure(r);
        });
        QTRY_VERIFY_WITH_TIMEOUT(!m_layer->isBusy(), 5000);
        QVERIFY(window.isEnabled());
        QCOMPARE(m_messages->texts(), QStringList{message});
        // The next command goes through.
        std::atomic<int> next{-1};
        QVERIFY(window.runWorker([&next](Worker &w) {
            QByteArray text;
            next = w.commands().getVersion(text);
        }));
        QTRY_VERIFY_WITH_TIMEOUT(!m_layer->isBusy(), 5000);
        QCOMPARE(next.load(), 0);
    }

    void failureText()
    {
        Window window(*m_layer);
        m_chip->addFault("status=1,cmd=0x26");
        window.runWorker([](Worker &w) {
            const uint8_t r = w.commands().systemReset();
            if (r != 0)
                w.failure(r, "System reset failed!:");
        });
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->texts(), QStringList{"System reset failed!:Invalid cmd"}, 5000);
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

    // Messages from many threads at once all arrive.
    void recorderIsThreadSafe()
    {
        Window window(*m_layer);
        window.runWorker([](Worker &w) {
            for (int i = 0; i < 50; ++i)
                w.message(QString::number(i));
        });
        for (int i = 0; i < 50; ++i)
            showMessage(nullptr, "gui");
        QTRY_VERIFY_WITH_TIMEOUT(!m_layer->isBusy(), 5000);
        QCOMPARE(m_messages->count(), 100);
        QStringList fromWorker = m_messages->texts();
        fromWorker.removeAll("gui");
        QStringList expected;
        for (int i = 0; i < 50; ++i)
            expected << QString::number(i);
        QCOMPARE(fromWorker, expected);
    }

private:
    std::unique_ptr<sim::PtyChip> m_chip;
    std::unique_ptr<CommandLayer> m_layer;
    std::unique_ptr<MessageRecorder> m_messages;
};

QTEST_MAIN(TestWorkerRunner)
#include "tst_worker_runner.moc"
