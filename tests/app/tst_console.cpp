// The console window, driven offscreen against the simulated chip (or a scripted peer for bytes
// that no command makes), checking what the chip received and the messages shown.

#include "app/comm_tool_dlg.h"
#include "app/data_show_view.h"
#include "app/demo_simulator.h"
#include "app/traffic_log_dlg.h"
#include "link/messages.h"
#include "ui/tool_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>

#include "tests/common/chip_test.h"
#include "tests/common/test_files.h"
#include "tests/common/window_check.h"
#include "tests/link/scripted_peer.h"

using namespace zm;

namespace {

using test::readFile;
using test::writeFile;

const QStringList kCommands{"Config",       "Get Version", "R/W Data",       "Color Ctrl",   "Mirror Ctrl",
                            "Power Ctrl",   "Timer Ctrl",  "AE Ctrl",        "Motion Ctrl",  "OSD Config",
                            "Image Property", "Gamma",     "Spi Flash",      "Other Ctrl",   "Up/Down Load",
                            "System Reset", "Fbuf Ctrl",   "Zoom Ctrl"};
const QStringList kVersion{"Version:\"ZM3386V1.02\""};

} // namespace

class TestConsole : public test::ChipTest
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY2(startChip(false), qPrintable(m_error));
        m_console = std::make_unique<CCommToolDlg>(*m_session);
        m_console->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_console.get()));
    }
    void cleanup()
    {
        QVERIFY(WorkerRunner::waitForAll(20000));
        m_console.reset();
        QVERIFY(stopChip());
    }

    // The console starts closed with its command column in order. Open and Close switch the
    // whole panel with the baud rate chosen; closing shows no message; the port can be
    // reopened. A port that cannot be opened is told with the reason.
    void closedAndOpen()
    {
        QStringList column;
        for (QPushButton *b : m_console->findChild<QWidget *>("commCommandGroup")->findChildren<QPushButton *>())
            column << b->text();
        QCOMPARE(column, kCommands);
        expectState(false);

        m_console->selectPort(m_chip->slavePath());
        for (bool open : {true, false, true, false}) {
            click("openButton");
            expectState(open);
            QCOMPARE(m_session->isOpen(), open);
        }
        QVERIFY(m_messages->texts().isEmpty());

        m_console->selectPort("/dev/zm-no-such-port");
        click("openButton");
        expectState(false);
        QCOMPARE(m_messages->count(), 1);
        const QString text = m_messages->at(0).text;
        QVERIFY2(text.startsWith(QString(msg::kOpenPortFailed) + "\n") && text.contains("/dev/zm-no-such-port"), qPrintable(text));
    }

    // Tools > Image Convert: a converter that cannot start is told, one that can is not waited for.
    void imageConvert()
    {
        QTemporaryDir dir;
        const QString program = dir.filePath("zmimgconv");
        QAction *convert = m_console->menuBar()->actions().at(0)->menu()->actions().at(0);
        m_console->setConverterPath(program);
        convert->trigger();
        QCOMPARE(m_messages->count(), 1);
        QVERIFY(m_messages->at(0).text.startsWith(msg::kConverterNotStarted) && m_messages->at(0).text.contains(program));
        QVERIFY(writeFile(program, QStringLiteral("#!/bin/sh\ntouch '%1'\n").arg(dir.filePath("started")).toUtf8()));
        QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
        convert->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath("started")), 5000);
        QCOMPARE(m_messages->count(), 1);
    }

    // Bytes outside any command appear in both forms (a zero byte adds no character, line ends
    // stay); Hex Show picks one, Clear Show empties both. Then the other end goes away while nothing runs: closed, one message.
    void dataShowAndIdleHangUp()
    {
        test::ScriptedPeer peer; // a line on which the test alone decides what arrives
        openPort(peer.path());
        DataShowView *show = m_console->dataShow();
        peer.send(QByteArray::fromHex("4100420D0A"));
        QTRY_COMPARE_WITH_TIMEOUT(show->shownText(), QString("AB\r\n"), 5000);
        m_console->findChild<QCheckBox *>("hexShowCheck")->click();
        QCOMPARE(show->shownText(), QString("41 00 42 0D 0A "));
        click("clearShowButton");
        QCOMPARE(show->shownText(), QString());
        QVERIFY(m_messages->texts().isEmpty());

        peer.hangUp();
        QTRY_VERIFY_WITH_TIMEOUT(!m_console->isPortOpen(), 5000);
        expectState(false);
        QTest::qWait(200); // nothing more comes
        QCOMPARE(m_messages->count(), 1);
        QVERIFY(m_messages->at(0).text.startsWith(msg::kPortLost));
    }

    // "Save..." writes the bytes shown, as they came; "Log to file" appends each batch after a
    // line with its time and size, flushed at once: both hold exactly what the peer sent.
    void captureToFile()
    {
        test::ScriptedPeer peer;
        openPort(peer.path());
        QTemporaryDir dir;
        const QString log = dir.filePath("show.log");
        const QByteArray earlier = "--- earlier 1 byte\nE\n";
        QVERIFY(writeFile(log, earlier));
        QString next = log;
        m_console->setFileChooser([&](const QString &, const QString &) { return next; });
        auto *logToFile = m_console->findChild<QCheckBox *>("logToFileCheck");
        logToFile->setChecked(true);
        QByteArray sent;
        for (int i = 0; i < 20; ++i) {
            QByteArray batch;
            for (int k = 0; k <= i; ++k)
                batch.append(char((i * 31 + k * 7) & 0xFF)); // zeros and line feeds among them
            peer.send(batch);
            sent += batch;
            QTest::qWait(5);
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_console->dataShow()->data().size(), qint64(sent.size()), 5000);
        // Read back while still logging: everything is on disk already.
        const QByteArray content = readFile(log);
        QVERIFY(content.startsWith(earlier));
        QByteArray logged;
        for (qsizetype at = earlier.size(); at < content.size();) {
            const qsizetype eol = content.indexOf('\n', at);
            const QList<QByteArray> header = content.mid(at, eol - at).split(' ');
            QVERIFY2(header.size() == 5 && header[0] == "---" && header[4].startsWith("byte"), content.mid(at, eol - at).constData());
            const int n = header[3].toInt();
            logged += content.mid(eol + 1, n);
            QCOMPARE(content.at(eol + 1 + n), '\n');
            at = eol + 2 + n;
        }
        QCOMPARE(logged, sent);
        logToFile->setChecked(false);

        next = dir.filePath("show.bin");
        click("saveShowButton");
        QCOMPARE(readFile(next), sent);

        // A folder that cannot be written: said, and the box does not stay checked.
        next = "/nonexistent/show.log";
        logToFile->setChecked(true);
        QVERIFY(!logToFile->isChecked());
        QCOMPARE(m_messages->count(), 1);
        QVERIFY(m_messages->at(0).text.contains("does not exist"));
    }

    // System Reset leaves the console enabled; a press meanwhile is refused and sends nothing,
    // and so is closing the port under the command.
    void systemResetAndBusyRefusal()
    {
        openPort();
        QVERIFY(m_chip->addFault("delay=600,cmd=0x26"));
        pressCommand("System Reset");
        QVERIFY(m_session->isBusy());
        QVERIFY(m_console->isEnabled());
        pressCommand("Get Version");
        QCOMPARE(m_messages->headlines(), QStringList{msg::kBusy});
        click("openButton");
        QCOMPARE(m_messages->count(), 2);
        QVERIFY(m_console->isPortOpen());
        QTRY_VERIFY_WITH_TIMEOUT(!m_session->isBusy(), 5000);
        QCOMPARE(m_chip->frames(), QList<QByteArray>{QByteArray::fromHex("56002600")});
        // The reset itself shows no message box; the status line tells that it went.
        QCOMPARE(m_messages->count(), 2);
        QTRY_VERIFY(m_console->findChild<QLabel *>("statusLine")->text().startsWith("System Reset: done at "));
    }

    // The buttons are disabled while the port is closed; their handler checks again. "Motion
    // Ctrl" has no check: its window opens, and its commands say the port is closed.
    void buttonsCheckThePort()
    {
        emit m_console->commandButton("Get Version")->clicked();
        emit m_console->commandButton("R/W Data")->clicked();
        QString title;
        inModal([&] { emit m_console->commandButton("Motion Ctrl")->clicked(); },
                [&](QWidget *window) {
                    title = window->windowTitle();
                    QTest::mouseClick(window->findChild<QPushButton *>("detectGetButton"), Qt::LeftButton);
                });
        QCOMPARE(title, QString("Motion Ctrl"));
        QCOMPARE(m_messages->headlines(), QStringList({msg::kPortNotOpened, msg::kPortNotOpened, msg::kPortNotOpened}));
        QVERIFY(m_chip->frames().isEmpty());
    }

    // The chip goes away and comes back on the same path (zmsim restarted with the same
    // --link): a tool window in front offers Reopen, and its buttons come back with the port,
    // at the baud rate it had. Lost again mid-command with the console in front: the command
    // ends, the console is closed with one message that says what happened in words (the
    // command's own failure folded into it), waits, and offers Reopen itself.
    void reconnect()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("zm");
        QVERIFY(QFile::link(m_chip->slavePath(), link));
        const auto restartChip = [&] {
            const QString fresh = m_chip->reopen();
            QFile::remove(link);
            return QFile::link(fresh, link);
        };
        combo("baudRateCombo")->setCurrentText("57600");
        openPort(link);
        auto *reopen = m_console->findChild<QPushButton *>("reopenButton");
        auto *status = m_console->findChild<QLabel *>("portStatusLabel");
        QVERIFY(!reopen->isVisible());

        QVERIFY(m_chip->addFault("hangup,cmd=0x30,times=1"));
        bool toolBarSeen = false, toolButtonsBack = false;
        inModal([&] { pressCommand("R/W Data"); },
                [&](QWidget *tool) {
                    const auto button = [tool](const char *name) { return tool->findChild<QPushButton *>(name); };
                    QTest::mouseClick(button("sendButton"), Qt::LeftButton);
                    QTRY_VERIFY_WITH_TIMEOUT(!m_session->isOpen() && !m_session->isBusy(), 5000);
                    QTRY_VERIFY_WITH_TIMEOUT(!button("sendButton")->isEnabled(), 5000);
                    QVERIFY(restartChip());
                    QTRY_VERIFY_WITH_TIMEOUT(button("portBarReopen") && button("portBarReopen")->isVisible(), 5000);
                    toolBarSeen = true;
                    QTest::mouseClick(button("portBarReopen"), Qt::LeftButton);
                    toolButtonsBack = m_session->isOpen() && button("sendButton")->isEnabled()
                        && !tool->findChild<QWidget *>("portBar")->isVisible();
                });
        QVERIFY(toolBarSeen);
        QVERIFY(toolButtonsBack);
        expectState(true);
        QCOMPARE(m_console->portSettings().settingsString(), QString("57600,n,8,1"));
        QVERIFY(!reopen->isVisible() && !status->isVisible());
        QCOMPARE(m_messages->count(), 1); // the loss, once

        QVERIFY(m_chip->addFault("hangup,cmd=0x11,times=1"));
        m_messages->clear();
        pressCommand("Get Version");
        QTRY_VERIFY_WITH_TIMEOUT(!m_console->isPortOpen() && !m_session->isBusy(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->count(), 1, 5000);
        QTest::qWait(300); // nothing more comes
        QCOMPARE(m_messages->count(), 1);
        const QString text = m_messages->at(0).text;
        QVERIFY2(text.startsWith(msg::kPortLost) && (text.contains("hung up") || text.contains("no longer there"))
                     && !text.contains("ioctl"), qPrintable(text));
        expectState(false);
        QVERIFY(m_console->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(status->isVisible() && status->text().startsWith("Waiting for"), 5000);
        QVERIFY(!reopen->isVisible());
        QVERIFY(restartChip());
        QTRY_VERIFY_WITH_TIMEOUT(reopen->isVisible(), 5000);
        QCOMPARE(status->text(), link + " is back.");
        reopen->click();
        expectState(true);
        QVERIFY(!reopen->isVisible());
        m_messages->clear();
        pressCommand("Get Version");
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->headlines(), kVersion, 5000);
    }

    // The chip's MCU UART is given a new rate from Config: the console follows when asked, on
    // the same port, and the chip answers at once.
    void consoleFollowsANewRate()
    {
        openPort();
        bool switched = false;
        inModal([&] { pressCommand("Config"); },
                [&](QWidget *config) {
                    config->findChild<QComboBox *>("mcuBaudCombo")->setCurrentText("115200");
                    QTest::mouseClick(config->findChild<QPushButton *>("mcuSetButton"), Qt::LeftButton);
                    QTRY_VERIFY_WITH_TIMEOUT(!m_session->isBusy(), 5000);
                    QTest::mouseClick(config->findChild<QPushButton *>("followButton"), Qt::LeftButton);
                    switched = config->findChild<QLabel *>("followLabel")->text().contains("now runs at 115200");
                });
        QVERIFY(switched);
        QCOMPARE(m_console->portSettings().settingsString(), QString("115200,n,8,1"));
        expectState(true);
        pressCommand("Get Version");
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->headlines(), kVersion, 5000);
    }

    // The port-lost bar in the narrowest window: its text wraps whole inside the window, with
    // room around it; the window does not grow as the bar changes from lost to back, and takes
    // its size back when the port is reopened.
    void portBarInANarrowWindow()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("zm");
        QVERIFY(QFile::link(m_chip->slavePath(), link));
        openPort(link);
        QStringList problems;
        inModal([&] { pressCommand("Mirror Ctrl"); },
                [&](QWidget *tool) {
                    QTRY_VERIFY_WITH_TIMEOUT(!m_session->isBusy(), 5000);
                    const QSize before = tool->size();
                    const QString fresh = m_chip->reopen();
                    QTRY_VERIFY_WITH_TIMEOUT(!m_console->isPortOpen(), 5000);
                    auto *bar = tool->findChild<QWidget *>("portBar");
                    auto *text = tool->findChild<QLabel *>("portBarText");
                    QTRY_VERIFY_WITH_TIMEOUT(bar && bar->isVisible(), 5000);
                    QApplication::processEvents();
                    const bool cut = text->wordWrap() ? text->height() < text->heightForWidth(text->width())
                                                      : text->sizeHint().width() > text->width();
                    if (cut || text->width() > tool->width())
                        problems << QStringLiteral("the text shows %1x%2 of \"%3\"")
                                        .arg(text->width()).arg(text->height()).arg(text->text());
                    if (text->geometry().left() < 4 || bar->layout()->contentsMargins().top() < 4)
                        problems << "no margin around the text";
                    const QSize lost = tool->size();
                    QFile::remove(link);
                    QVERIFY(QFile::link(fresh, link));
                    QTRY_VERIFY_WITH_TIMEOUT(tool->findChild<QPushButton *>("portBarReopen")->isVisible(), 5000);
                    QApplication::processEvents();
                    if (tool->size() != lost)
                        problems << QStringLiteral("grew from %1 to %2 px high when the port came back")
                                        .arg(lost.height()).arg(tool->height());
                    test::saveScreenshot(tool, "port-bar-mirror");
                    QTest::mouseClick(tool->findChild<QPushButton *>("portBarReopen"), Qt::LeftButton);
                    QApplication::processEvents();
                    if (tool->size() != before)
                        problems << QStringLiteral("%1x%2 after Reopen, %3x%4 before")
                                        .arg(tool->width()).arg(tool->height()).arg(before.width()).arg(before.height());
                });
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        expectState(true);
    }

    // The demo: the zmsim program beside the console, its port preselected, ended on stop.
    void demoSimulator()
    {
        DemoSimulator sim;
        QString error;
        QVERIFY2(sim.start(&error, QStringLiteral(ZMSIM_PATH)), qPrintable(error));
        openPort(sim.port());
        pressCommand("Get Version");
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->headlines(), kVersion, 5000);
        sim.stop();
        QTRY_VERIFY_WITH_TIMEOUT(!m_console->isPortOpen(), 5000);

        DemoSimulator missing;
        QVERIFY(!missing.start(&error, "/nonexistent/zmsim"));
        QVERIFY(error.contains("/nonexistent/zmsim"));
    }

    // The demo's simulated chip dies: the console offers to start it again instead of waiting
    // for a port that will not come back, and the new chip answers on its new port.
    void demoChipRestarts()
    {
        DemoSimulator sim;
        QString error;
        QVERIFY2(sim.start(&error, QStringLiteral(ZMSIM_PATH)), qPrintable(error));
        m_console->setDemoSimulator(&sim);
        openPort(sim.port());
        auto *restart = m_console->findChild<QPushButton *>("restartDemoButton");
        QVERIFY(restart && !restart->isVisible());
        ::kill(pid_t(sim.processId()), SIGKILL);
        QTRY_VERIFY_WITH_TIMEOUT(restart->isVisible(), 5000);
        QVERIFY(m_console->findChild<QLabel *>("portStatusLabel")->text().contains("simulated chip"));
        m_messages->clear();
        restart->click();
        expectState(true);
        QVERIFY(!restart->isVisible());
        pressCommand("Get Version");
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->headlines(), kVersion, 5000);
        m_console->setDemoSimulator(nullptr);
    }

    // A command's success shows its answer, a failure the result text alone, and the console
    // is back. Tools > "Traffic Log": the frames of the session, decoded; filters; saved as
    // CSV; usable while a tool window is open.
    void commandsAndTrafficLog()
    {
        openPort();
        CTrafficLogDlg *log = m_console->showTrafficLog();
        QVERIFY(QTest::qWaitForWindowExposed(log));
        // At its 1100 px every column in view (where it opens is the placement's test).
        log->resize(1100, 560);
        QApplication::processEvents();
        auto *table = log->findChild<QTableView *>("table");
        for (int c = 0; c < table->model()->columnCount(); ++c)
            QVERIFY2(table->horizontalHeader()->sectionViewportPosition(c) + table->horizontalHeader()->sectionSize(c)
                         <= table->viewport()->width(),
                     qPrintable(table->model()->headerData(c, Qt::Horizontal).toString()));
        pressCommand("Get Version");
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->headlines(), kVersion, 5000);
        // The message comes before the worker has given the window and the busy flag back.
        QTRY_VERIFY(m_console->isEnabled() && !m_session->isBusy());
        QVERIFY(m_chip->addFault("status=5,cmd=0x26,times=1"));
        pressCommand("System Reset");
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->count(), 2, 5000);
        // The result text as the chip's table has it, then which command failed.
        QCOMPARE(m_messages->at(1).text, QString("Cmd recept, but execute failed\nsystem-reset: the chip took it but could "
                                                 "not carry it out"));
        QTRY_VERIFY_WITH_TIMEOUT(!m_session->isBusy() && m_console->isEnabled(), 5000);
        QCOMPARE(m_chip->frames(), (QList<QByteArray>{QByteArray::fromHex("56001100"), QByteArray::fromHex("56002600")}));
        log->refresh();
        TrafficTableModel &model = log->model();
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.shownRow(3).status, QString("5 Cmd recept, but execute failed"));
        log->findChild<QCheckBox *>("failuresCheck")->setChecked(true);
        QCOMPARE(model.rowCount(), 1);

        QTemporaryDir dir;
        const QString csv = dir.filePath("traffic.csv");
        log->setFileChooser([&](const QString &) { return csv; });
        log->findChild<QPushButton *>("saveButton")->click();
        const QStringList lines = QString::fromUtf8(readFile(csv)).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5); // the header and all four rows, whatever the filter shows
        QVERIFY(lines[2].contains("\"\"\"ZM3386V1.02\"\"\"")); // quotes doubled inside a quoted field

        bool cleared = false;
        inModal([&] { pressCommand("R/W Data"); },
                [&](QWidget *) {
                    QTest::mouseClick(log->findChild<QPushButton *>("clearButton"), Qt::LeftButton);
                    cleared = log->model().rows().size() == 0;
                });
        QVERIFY(cleared);
        test::saveScreenshot(log, "traffic-log");
    }

    // Every window of the program, opened as a user opens it with the port open: each button or
    // menu item opens its own window, which fits a 1366x768 screen with a title bar and shows
    // every label, button, check box and radio button whole.
    void allWindowsFit_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("window");
        QTest::newRow("console and traffic log") << QString() << QString();
        windowRows();
    }
    void allWindowsFit()
    {
        QFETCH(QString, label);
        QFETCH(QString, window);
        m_console->resize(m_console->sizeHint());
        openPort();
        QStringList problems;
        if (label.isEmpty()) {
            problems = test::windowFitProblems(m_console.get());
            test::saveScreenshot(m_console.get(), QStringLiteral("window-console"));
            QWidget *log = m_console->showTrafficLog();
            QVERIFY(QTest::qWaitForWindowExposed(log));
            problems += test::windowFitProblems(log);
        }
        bool seen = label.isEmpty();
        if (!seen)
            inModal([&] { openWindow(label); },
                    [&](QWidget *w) {
                        seen = w->objectName() == window;
                        QTRY_VERIFY_WITH_TIMEOUT(!m_session->isBusy(), 10000);
                        problems += test::windowFitProblems(w);
                        test::saveScreenshot(w, QStringLiteral("window-") + w->objectName());
                    });
        QVERIFY(seen);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        QVERIFY(!m_messages->texts().join(' ').contains("failed"));
    }

    // The chip goes away (the simulator ended) while a window is open: the window's Cancel or
    // Close still closes it, in every window alike; only a command in flight holds a window.
    void cancelAfterPortLoss_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("window");
        windowRows();
    }
    void cancelAfterPortLoss()
    {
        QFETCH(QString, label);
        openPort();
        QString seen; // what the window did; the checks come once it is gone
        QTimer::singleShot(0, this, [&] {
            QWidget *window = QApplication::activeModalWidget();
            if (!window)
                return;
            (void)QTest::qWaitFor([&] { return !m_session->isBusy(); }, 10000);
            m_chip->reopen(); // the old line is gone for good
            (void)QTest::qWaitFor([&] { return !m_console->isPortOpen(); }, 5000);
            QAbstractButton *cancel = nullptr;
            for (const char *name : {"cancelButton", "closeButton", "okButton"})
                cancel = cancel ? cancel : window->findChild<QAbstractButton *>(name);
            if (cancel && !cancel->isEnabled())
                seen = cancel->text() + " disabled";
            else if (cancel)
                QTest::mouseClick(cancel, Qt::LeftButton);
            else
                window->close(); // a window without one: its close box
            if (window->isVisible()) {
                seen += " stays open";
                QMetaObject::invokeMethod(window, "done", Q_ARG(int, 0));
            } else if (seen.isEmpty()) {
                seen = "closed";
            }
        });
        openWindow(label);
        QCOMPARE(seen, QString("closed"));
    }

    // The program's help and a wrong option need no display; the window says that it does.
    void commandLineWithoutADisplay()
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("QT_QPA_PLATFORM", "xcb");
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(ZMCOMM_PATH), {"--help"});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 0);
        const QString help = QString::fromLocal8Bit(p.readAllStandardOutput());
        QVERIFY2(help.contains("--demo") && help.contains("--port"), qPrintable(help));
        p.start(QStringLiteral(ZMCOMM_PATH), {"--colour"});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(QString::fromLocal8Bit(p.readAllStandardError()).contains("colour"));
        // The window itself needs one: said in a line, with the way round it.
        p.start(QStringLiteral(ZMCOMM_PATH), {});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 1);
        const QString said = QString::fromLocal8Bit(p.readAllStandardError());
        QVERIFY2(said.count('\n') == 1 && said.startsWith("zmcomm: ") && said.contains("xvfb-run"), qPrintable(said));
    }

private:
    QComboBox *combo(const char *name) const { return m_console->findChild<QComboBox *>(name); }
    void click(const char *name) { QTest::mouseClick(m_console->findChild<QPushButton *>(name), Qt::LeftButton); }
    void pressCommand(const QString &label) { QTest::mouseClick(m_console->commandButton(label), Qt::LeftButton); }

    // Every window of the program as a row: the label of its button or menu item, its class.
    static void windowRows()
    {
        const QMap<QString, QString> windows{
            {"Config", "CConfigurationDlg"}, {"R/W Data", "CReadWriteDataDlg"}, {"Color Ctrl", "CColorCtrlDlg"},
            {"Mirror Ctrl", "CMirrorCtrlDlg"}, {"Power Ctrl", "CPowerCtrlDlg"}, {"Timer Ctrl", "CRtcTimeDlg"},
            {"AE Ctrl", "CAeCtrlDlg"}, {"Motion Ctrl", "CMotionCtrlDlg"}, {"OSD Config", "COsdConfigDlg"},
            {"Image Property", "CImagePropertyDlg"}, {"Gamma", "CGammaDlg"}, {"Spi Flash", "CFlashOperationDlg"},
            {"Other Ctrl", "COtherCtrlDlg"}, {"Up/Down Load", "CUploadDownloadDlg"}, {"Fbuf Ctrl", "CFbufDlg"},
            {"Zoom Ctrl", "CZoomDlg"}, {"OSD Char List", "COsdCharListDlg"}, {"About", "CAboutDlg"}};
        for (const QString &label : kCommands) {
            if (label != "Get Version" && label != "System Reset")
                QTest::newRow(qPrintable(label)) << label << windows.value(label);
        }
        // The windows of the menus (a program started from them is not a window of this one).
        for (const char *item : {"OSD Char List", "About"})
            QTest::newRow(item) << QString(item) << windows.value(item);
    }

    // Opens the window of a console button or a menu item, as a click does.
    void openWindow(const QString &label)
    {
        QAction *item = nullptr;
        for (QAction *menu : m_console->menuBar()->actions())
            for (QAction *a : menu->menu()->actions())
                item = a->text() == label ? a : item;
        item ? item->trigger() : m_console->commandButton(label)->click();
    }

    // Runs `inside` on the modal window that `open` opens, then closes that window.
    void inModal(const std::function<void()> &open, const std::function<void(QWidget *)> &inside)
    {
        QTimer::singleShot(0, this, [&] {
            if (QWidget *w = QApplication::activeModalWidget()) {
                inside(w);
                QMetaObject::invokeMethod(w, "reject");
            }
        });
        open();
    }

    void openPort(const QString &port = {})
    {
        m_console->selectPort(port.isEmpty() ? m_chip->slavePath() : port);
        click("openButton");
        expectState(true);
    }

    void expectState(bool open)
    {
        QCOMPARE(m_console->isPortOpen(), open);
        QCOMPARE(combo("comPortCombo")->isEnabled(), !open);
        QCOMPARE(combo("baudRateCombo")->isEnabled(), !open);
        for (const QString &label : kCommands)
            QCOMPARE(m_console->commandButton(label)->isEnabled(), open);
        QCOMPARE(m_console->findChild<QPushButton *>("openButton")->text(), open ? QString("Close") : QString("Open"));
    }

    std::unique_ptr<CCommToolDlg> m_console;
};

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
