// Every window of the program, opened from the console as a user opens it, against the
// simulated chip: each fits a 1366x768 screen with a title bar and shows every label, button,
// check box and radio button whole.

#include "app/comm_tool_dlg.h"
#include "link/command_layer.h"
#include "sim/pty_chip.h"
#include "ui/worker_runner.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "tests/common/chip_test.h"
#include "tests/common/window_check.h"

using namespace zm;

class TestAllWindows : public test::ChipTest
{
    Q_OBJECT

    // Opens a modal window with `open`, checks it once its opening commands are done, closes it.
    QStringList checkModal(const std::function<void()> &open, QString *title)
    {
        QStringList problems;
        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            QWidget *w = QApplication::activeModalWidget();
            if (!w || w == m_console.get())
                return;
            seen = true;
            QTRY_VERIFY_WITH_TIMEOUT(!m_layer->isBusy(), 10000);
            *title = w->windowTitle();
            problems = test::windowFitProblems(w);
            test::saveScreenshot(w, QStringLiteral("window-") + w->objectName());
            QMetaObject::invokeMethod(w, "reject");
        });
        open();
        if (!seen)
            problems << QStringLiteral("no window opened");
        return problems;
    }

private slots:
    void init()
    {
        QVERIFY2(startChip(false), qPrintable(m_error));
        m_console = std::make_unique<CCommToolDlg>(*m_layer);
        m_console->resize(m_console->sizeHint());
        m_console->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_console.get()));
        m_console->selectPort(m_chip->slavePath());
        m_console->findChild<QPushButton *>("openButton")->click();
        QVERIFY(m_console->isPortOpen());
    }
    void cleanup()
    {
        QVERIFY(WorkerRunner::waitForAll(20000));
        m_console.reset();
        QVERIFY(stopChip());
    }

    void console()
    {
        const QStringList problems = test::windowFitProblems(m_console.get());
        test::saveScreenshot(m_console.get(), QStringLiteral("window-console"));
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    // Every button of the command column that opens a window.
    void commandWindows_data()
    {
        QTest::addColumn<QString>("label");
        CommandLayer layer;
        CCommToolDlg probe(layer);
        for (QPushButton *b : probe.findChild<QWidget *>("commCommandGroup")->findChildren<QPushButton *>()) {
            if (b->text() != "Get Version" && b->text() != "System Reset")
                QTest::newRow(qPrintable(b->text())) << b->text();
        }
    }
    void commandWindows()
    {
        QFETCH(QString, label);
        QString title;
        const QStringList problems = checkModal([&] { m_console->commandButton(label)->click(); }, &title);
        QVERIFY2(problems.isEmpty(), qPrintable(title + ": " + problems.join('\n')));
        QVERIFY(m_messages->texts().isEmpty() || !m_messages->texts().join(' ').contains("failed"));
    }

    // The windows of the menus (a program started from them is not a window of this one).
    void menuWindows()
    {
        for (QAction *menu : m_console->menuBar()->actions()) {
            for (QAction *item : menu->menu()->actions()) {
                if (item->isSeparator() || item->text() == "Image Convert")
                    continue;
                QString title;
                const QStringList problems = checkModal([&] { item->trigger(); }, &title);
                QVERIFY2(problems.isEmpty(), qPrintable(item->text() + " " + title + ": " + problems.join('\n')));
            }
        }
    }

private:
    std::unique_ptr<CCommToolDlg> m_console;
};

QTEST_MAIN(TestAllWindows)
#include "tst_all_windows.moc"
