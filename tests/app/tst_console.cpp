// The console window, driven offscreen against the simulated chip (or a bare pseudo-terminal for
// bytes that no command makes), checking what the chip received and the messages shown.

#include "app/comm_tool_dlg.h"
#include "app/data_show_view.h"
#include "app/demo_simulator.h"
#include "app/traffic_log_dlg.h"
#include "link/command_layer.h"
#include "link/messages.h"
#include "sim/pty_chip.h"
#include "ui/message_recorder.h"
#include "ui/resources.h"
#include "ui/tool_dialog.h"
#include "ui/worker_runner.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "tests/common/chip_test.h"
#include "tests/common/window_check.h"
#include <QTimer>

#include <pty.h>
#include <unistd.h>

using namespace zm;

namespace {

const QStringList kCommands{"Config",       "Get Version", "R/W Data",       "Color Ctrl",   "Mirror Ctrl",
                            "Power Ctrl",   "Timer Ctrl",  "AE Ctrl",        "Motion Ctrl",  "OSD Config",
                            "Image Property", "Gamma",     "Spi Flash",      "Other Ctrl",   "Up/Down Load",
                            "System Reset", "Fbuf Ctrl",   "Zoom Ctrl"};
const QStringList kVersion{"Version:\"ZM3386V1.02\""};

// A bare pseudo-terminal: the test writes to the master side, the console reads the slave side
// like any serial port. Closing the master makes the port go away under the console.
class RawPty
{
public:
    RawPty()
    {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&m_master, &slave, name, nullptr, nullptr) == 0) {
            ::close(slave); // the port opens the slave itself (raw); keeping ours open would hide the hang-up
            m_path = QString::fromLocal8Bit(name);
        }
    }
    ~RawPty() { closeMaster(); }
    QString path() const { return m_path; }
    bool write(const QByteArray &b) { return m_master >= 0 && ::write(m_master, b.constData(), size_t(b.size())) == b.size(); }
    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QString m_path;
};

} // namespace

class TestConsole : public test::ChipTest
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY2(startChip(false), qPrintable(m_error));
        m_console = std::make_unique<CCommToolDlg>(*m_layer);
        m_console->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_console.get()));
    }
    void cleanup()
    {
        QVERIFY(WorkerRunner::waitForAll(20000));
        m_console.reset();
        QVERIFY(stopChip());
    }

    // The closed state, the port list, the command column in its order and the menus.
    void startsClosed()
    {
        QCOMPARE(CCommToolDlg::console(), m_console.get());
        auto *ports = combo("comPortCombo");
        QVERIFY(ports->isEditable());
        QCOMPARE(ports->currentText(), QString("COM1"));
        QCOMPARE(ports->itemText(19), QString("COM20"));
        QCOMPARE(m_console->portSettings().settingsString(), QString("38400,n,8,1"));
        QStringList column;
        for (QPushButton *b : m_console->findChild<QWidget *>("commCommandGroup")->findChildren<QPushButton *>())
            column << b->text();
        QCOMPARE(column, kCommands);
        QStringList menus;
        for (QAction *a : m_console->menuBar()->actions()) {
            QStringList items;
            for (QAction *item : a->menu()->actions())
                if (!item->isSeparator())
                    items << item->text();
            menus << a->text() + ":" + items.join(',');
        }
        QCOMPARE(menus, QStringList({"&Tools:Image Convert,OSD Char List,Traffic Log", "&Help:About"}));
        expectState(false);
    }

    // Open and Close switch the whole panel; closing shows no message; the port can be reopened.
    // A port that cannot be opened is told with the reason.
    void openAndClose()
    {
        combo("baudRateCombo")->setCurrentText("115200");
        m_console->selectPort(m_chip->slavePath());
        QCOMPARE(m_console->portSettings().settingsString(), QString("115200,n,8,1"));
        for (bool open : {true, false, true, false}) {
            click("openButton");
            expectState(open);
            QCOMPARE(m_layer->isOpen(), open);
        }
        QVERIFY(m_messages->texts().isEmpty());

        m_console->selectPort("/dev/zm-no-such-port");
        click("openButton");
        expectState(false);
        QCOMPARE(m_messages->count(), 1);
        const QString text = m_messages->at(0).text;
        QVERIFY2(text.startsWith(QString(msg::kOpenPortFailed) + "\n") && text.contains("/dev/zm-no-such-port"), qPrintable(text));
    }

    // Bytes outside any command appear in both forms; Hex Show picks one, Clear Show empties
    // both. Then the other end goes away while nothing runs: closed, one message.
    void dataShowAndIdleHangUp()
    {
        RawPty pty;
        QVERIFY(!pty.path().isEmpty());
        openPort(pty.path());
        DataShowView *show = m_console->dataShow();
        QVERIFY(pty.write(QByteArray::fromHex("410042")));
        QTRY_COMPARE_WITH_TIMEOUT(show->shownText(), QString("AB"), 5000);
        m_console->findChild<QCheckBox *>("hexShowCheck")->click();
        QCOMPARE(show->shownText(), QString("41 00 42 "));
        click("clearShowButton");
        QCOMPARE(show->shownText(), QString());
        QVERIFY(pty.write("C"));
        QTRY_COMPARE_WITH_TIMEOUT(show->shownText(), QString("43 "), 5000);
        QVERIFY(m_messages->texts().isEmpty());

        pty.closeMaster();
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
        RawPty pty;
        openPort(pty.path());
        QTemporaryDir dir;
        const QString log = dir.filePath("show.log");
        QFile earlier(log);
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("--- earlier 1 byte\nE\n") > 0);
        earlier.close();
        QString next = log;
        m_console->setFileChooser([&](const QString &, const QString &) { return next; });
        m_console->findChild<QCheckBox *>("logToFileCheck")->setChecked(true);
        QByteArray sent;
        for (int i = 0; i < 20; ++i) {
            QByteArray batch;
            for (int k = 0; k <= i; ++k)
                batch.append(char((i * 31 + k * 7) & 0xFF)); // zeros and line feeds among them
            QVERIFY(pty.write(batch));
            sent += batch;
            QTest::qWait(5);
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_console->dataShow()->data().size(), qint64(sent.size()), 5000);
        // Read back while still logging: everything is on disk already.
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray content = f.readAll();
        QVERIFY(content.startsWith("--- earlier 1 byte\nE\n"));
        content = content.mid(int(qstrlen("--- earlier 1 byte\nE\n")));
        QByteArray logged;
        while (!content.isEmpty()) {
            const int eol = int(content.indexOf('\n'));
            const QList<QByteArray> header = content.left(eol).split(' ');
            QVERIFY2(header.size() == 5 && header[0] == "---" && header[4].startsWith("byte"), content.left(eol).constData());
            const int n = header[3].toInt();
            logged += content.mid(eol + 1, n);
            QCOMPARE(content.at(eol + 1 + n), '\n');
            content = content.mid(eol + 2 + n);
        }
        QCOMPARE(logged, sent);
        m_console->findChild<QCheckBox *>("logToFileCheck")->setChecked(false);

        next = dir.filePath("show.bin");
        m_console->findChild<QPushButton *>("saveShowButton")->click();
        QFile saved(next);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), sent);

        // A folder that cannot be written: said, and the box does not stay checked.
        next = "/nonexistent/show.log";
        m_console->findChild<QCheckBox *>("logToFileCheck")->setChecked(true);
        QVERIFY(!m_console->findChild<QCheckBox *>("logToFileCheck")->isChecked());
        QCOMPARE(m_messages->count(), 1);
        QVERIFY(m_messages->at(0).text.contains("does not exist"));
    }

    // A success shows its answer, a failure the result text alone, for both workers.
    void commands_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("version") << "Get Version" << "" << kVersion.at(0) << QByteArray::fromHex("56001100");
        QTest::newRow("version fails") << "Get Version" << "status=5,cmd=0x11" << "Cmd recept, but execute failed" << QByteArray::fromHex("56001100");
        QTest::newRow("reset fails") << "System Reset" << "status=4,cmd=0x26" << "Cmd can't run in current status" << QByteArray::fromHex("56002600");
    }
    void commands()
    {
        QFETCH(QString, button);
        QFETCH(QString, fault);
        QFETCH(QString, text);
        QFETCH(QByteArray, frame);
        openPort();
        QVERIFY(fault.isEmpty() || m_chip->addFault(fault));
        QTest::mouseClick(m_console->commandButton(button), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->texts(), QStringList{text}, 5000);
        QCOMPARE(m_messages->at(0).icon, fault.isEmpty() ? QMessageBox::Information : QMessageBox::Warning);
        QCOMPARE(m_chip->frames(), QList<QByteArray>{frame});
        QTRY_VERIFY_WITH_TIMEOUT(!m_layer->isBusy() && m_console->isEnabled(), 5000);
    }

    // System Reset leaves the console enabled; a press meanwhile is refused and sends nothing,
    // and so is closing the port under the command.
    void systemResetAndBusyRefusal()
    {
        openPort();
        QVERIFY(m_chip->addFault("delay=600,cmd=0x26"));
        QTest::mouseClick(m_console->commandButton("System Reset"), Qt::LeftButton);
        QVERIFY(m_layer->isBusy());
        QVERIFY(m_console->isEnabled());
        QTest::mouseClick(m_console->commandButton("Get Version"), Qt::LeftButton);
        QCOMPARE(m_messages->texts(), QStringList{msg::kBusy});
        QCOMPARE(m_messages->at(0).icon, QMessageBox::Warning);
        click("openButton");
        QCOMPARE(m_messages->count(), 2);
        QVERIFY(m_console->isPortOpen());
        QTRY_VERIFY_WITH_TIMEOUT(!m_layer->isBusy(), 5000);
        QCOMPARE(m_chip->frames(), QList<QByteArray>{QByteArray::fromHex("56002600")});
        QCOMPARE(m_messages->count(), 2); // the reset itself succeeded silently
    }

    // The buttons are disabled while the port is closed; their handler checks again.
    void buttonsCheckThePort()
    {
        emit m_console->commandButton("Get Version")->clicked();
        emit m_console->commandButton("R/W Data")->clicked();
        QCOMPARE(m_messages->texts(), QStringList({msg::kPortNotOpened, msg::kPortNotOpened}));
        QVERIFY(m_chip->frames().isEmpty());

        // "Motion Ctrl" has no check: its window opens, and its commands say the port is closed.
        QString title;
        QTimer::singleShot(0, this, [&] {
            QWidget *window = QApplication::activeModalWidget();
            if (!window)
                return;
            title = window->windowTitle();
            QTest::mouseClick(window->findChild<QPushButton *>("detectGetButton"), Qt::LeftButton);
            QMetaObject::invokeMethod(window, "reject");
        });
        emit m_console->commandButton("Motion Ctrl")->clicked();
        QCOMPARE(title, QString("Motion Ctrl"));
        QCOMPARE(m_messages->texts(), QStringList({msg::kPortNotOpened, msg::kPortNotOpened, msg::kPortNotOpened}));
        QVERIFY(m_chip->frames().isEmpty());
    }

    // The chip hangs up instead of answering: the command ends, the console goes back to the
    // closed state with one message that says what happened in words (the command's own
    // failure is folded into it), and works again on the chip's new line.
    void portVanishesMidCommand()
    {
        openPort();
        QVERIFY(m_chip->addFault("hangup,cmd=0x11,times=1"));
        QTest::mouseClick(m_console->commandButton("Get Version"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!m_console->isPortOpen() && !m_layer->isBusy(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->count(), 1, 5000);
        QTest::qWait(300); // nothing more comes
        const QStringList texts = m_messages->texts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts[0].startsWith(msg::kPortLost) && (texts[0].contains("hung up") || texts[0].contains("no longer there"))
                     && !texts[0].contains("ioctl"), qPrintable(texts[0]));
        expectState(false);
        QVERIFY(m_console->isEnabled());

        const QString path = m_chip->reopen();
        QVERIFY(!path.isEmpty());
        openPort(path);
        m_messages->clear();
        QTest::mouseClick(m_console->commandButton("Get Version"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->texts(), kVersion, 5000);
    }

    // The chip goes away and comes back on the same path (zmsim restarted with the same
    // --link): the console says so and offers Reopen, with the baud rate it had; a tool window
    // open meanwhile offers it too, and its buttons come back with the port.
    void reconnect()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("zm");
        QVERIFY(QFile::link(m_chip->slavePath(), link));
        combo("baudRateCombo")->setCurrentText("57600");
        openPort(link);
        auto *reopen = m_console->findChild<QPushButton *>("reopenButton");
        auto *status = m_console->findChild<QLabel *>("portStatusLabel");
        QVERIFY(!reopen->isVisible());

        QVERIFY(m_chip->addFault("hangup,cmd=0x30,times=1"));
        bool toolBarSeen = false, toolButtonsBack = false;
        QTimer::singleShot(0, this, [&] {
            auto *tool = qobject_cast<ToolDialog *>(QApplication::activeModalWidget());
            if (!tool)
                return;
            // The chip hangs up while the R/W Data window is in front.
            QTest::mouseClick(tool->findChild<QPushButton *>("sendButton"), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!m_layer->isOpen() && !m_layer->isBusy(), 5000);
            QTRY_VERIFY_WITH_TIMEOUT(!tool->findChild<QPushButton *>("sendButton")->isEnabled(), 5000);
            // zmsim started again on the same link.
            const QString fresh = m_chip->reopen();
            QFile::remove(link);
            QFile::link(fresh, link);
            QTRY_VERIFY_WITH_TIMEOUT(tool->findChild<QPushButton *>("portBarReopen") != nullptr
                                         && tool->findChild<QPushButton *>("portBarReopen")->isVisible(),
                                     5000);
            toolBarSeen = true;
            QTest::mouseClick(tool->findChild<QPushButton *>("portBarReopen"), Qt::LeftButton);
            toolButtonsBack = m_layer->isOpen() && tool->findChild<QPushButton *>("sendButton")->isEnabled()
                && !tool->findChild<QWidget *>("portBar")->isVisible();
            QMetaObject::invokeMethod(tool, "reject");
        });
        QTest::mouseClick(m_console->commandButton("R/W Data"), Qt::LeftButton);
        QVERIFY(toolBarSeen);
        QVERIFY(toolButtonsBack);
        expectState(true);
        QCOMPARE(m_console->portSettings().settingsString(), QString("57600,n,8,1"));
        QVERIFY(!reopen->isVisible() && !status->isVisible());
        QCOMPARE(m_messages->count(), 1); // the loss, once
        m_messages->clear();
        QTest::mouseClick(m_console->commandButton("Get Version"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->texts(), kVersion, 5000);

        // Lost again, with the console in front: it waits, then offers Reopen itself.
        QVERIFY(m_chip->addFault("hangup,cmd=0x26,times=1"));
        m_messages->clear();
        QTest::mouseClick(m_console->commandButton("System Reset"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!m_console->isPortOpen(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(status->isVisible() && status->text().startsWith("Waiting for"), 5000);
        QVERIFY(!reopen->isVisible());
        const QString again = m_chip->reopen();
        QFile::remove(link);
        QVERIFY(QFile::link(again, link));
        QTRY_VERIFY_WITH_TIMEOUT(reopen->isVisible(), 5000);
        QCOMPARE(status->text(), link + " is back.");
        reopen->click();
        expectState(true);
        QVERIFY(!reopen->isVisible());
    }

    // Tools > Image Convert: a converter that cannot start is told; one that can is not waited for.
    void imageConvert()
    {
        QTemporaryDir dir;
        const QString program = dir.filePath("zmimgconv");
        QAction *convert = m_console->menuBar()->actions().at(0)->menu()->actions().at(0);
        m_console->setConverterPath(program);
        convert->trigger();
        QCOMPARE(m_messages->count(), 1);
        QVERIFY(m_messages->at(0).text.startsWith(msg::kConverterNotStarted) && m_messages->at(0).text.contains(program));

        QFile script(program);
        QVERIFY(script.open(QIODevice::WriteOnly) && script.write(QStringLiteral("#!/bin/sh\ntouch '%1'\n").arg(dir.filePath("started")).toUtf8()) > 0);
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFile::ExeOwner));
        convert->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath("started")), 5000);
        QCOMPARE(m_messages->count(), 1);
    }

    void aboutBox()
    {
        QString title, text;
        QTimer::singleShot(0, this, [&] {
            QWidget *box = QApplication::activeModalWidget();
            if (!box)
                return;
            title = box->windowTitle();
            for (QLabel *l : box->findChildren<QLabel *>())
                text += l->text();
            QMetaObject::invokeMethod(box, "accept");
        });
        m_console->menuBar()->actions().at(1)->menu()->actions().at(0)->trigger();
        QCOMPARE(title, QString("About Comm Tool"));
        QCOMPARE(text, QString("ZM3386 Comm Tool V1.00"));
    }

    // The demo: the zmsim program beside the console, its port preselected, ended on stop.
    void demoSimulator()
    {
        DemoSimulator sim;
        QString error;
        QVERIFY2(sim.start(&error, QStringLiteral(ZMSIM_PATH)), qPrintable(error));
        openPort(sim.port());
        QTest::mouseClick(m_console->commandButton("Get Version"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->texts(), kVersion, 5000);
        sim.stop();
        QTRY_VERIFY_WITH_TIMEOUT(!m_console->isPortOpen(), 5000);

        DemoSimulator missing;
        QVERIFY(!missing.start(&error, "/nonexistent/zmsim"));
        QVERIFY(error.contains("/nonexistent/zmsim"));
    }

    // Tools > "Traffic Log": the frames of a session, decoded; filters; saved as CSV; usable
    // while a tool window is open.
    void trafficLog()
    {
        openPort();
        CTrafficLogDlg *log = m_console->showTrafficLog();
        QVERIFY(QTest::qWaitForWindowExposed(log));
        QTest::mouseClick(m_console->commandButton("Get Version"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->texts(), kVersion, 5000);
        // The message comes before the worker has given the window and the busy flag back.
        QTRY_VERIFY(m_console->isEnabled() && !m_layer->isBusy());
        QVERIFY(m_chip->addFault("status=5,cmd=0x26,times=1"));
        QTest::mouseClick(m_console->commandButton("System Reset"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->count(), 2, 5000);
        log->refresh();
        TrafficTableModel &model = log->model();
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.shownRow(0).command, QString("get-version (0x11)"));
        QCOMPARE(model.shownRow(1).fields, QString("\"ZM3386V1.02\""));
        QVERIFY(model.shownRow(1).roundTripMs.has_value());
        QCOMPARE(model.shownRow(3).status, QString("5 Cmd recept, but execute failed"));
        log->findChild<QCheckBox *>("failuresCheck")->setChecked(true);
        QCOMPARE(model.rowCount(), 1);

        QTemporaryDir dir;
        const QString csv = dir.filePath("traffic.csv");
        log->setFileChooser([&](const QString &) { return csv; });
        log->findChild<QPushButton *>("saveButton")->click();
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5); // the header and all four rows, whatever the filter shows
        QVERIFY(lines[2].contains("\"\"\"ZM3386V1.02\"\"\"")); // quotes doubled inside a quoted field

        // A tool window is open, modal to the console; the log still takes clicks.
        bool cleared = false;
        QTimer::singleShot(0, this, [&] {
            QWidget *tool = QApplication::activeModalWidget();
            QTest::mouseClick(log->findChild<QPushButton *>("clearButton"), Qt::LeftButton);
            cleared = log->model().rows().size() == 0;
            QMetaObject::invokeMethod(tool, "reject");
        });
        QTest::mouseClick(m_console->commandButton("R/W Data"), Qt::LeftButton);
        QVERIFY(cleared);
        test::saveScreenshot(log, "traffic-log");
    }

    // The program's help and a wrong option need no display.
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
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        const QString help = QString::fromLocal8Bit(p.readAllStandardOutput());
        QVERIFY2(help.contains("--demo") && help.contains("--port"), qPrintable(help));
        p.start(QStringLiteral(ZMCOMM_PATH), {"--colour"});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(QString::fromLocal8Bit(p.readAllStandardError()).contains("colour"));
    }

private:
    QComboBox *combo(const char *name) const { return m_console->findChild<QComboBox *>(name); }
    void click(const char *name) { QTest::mouseClick(m_console->findChild<QPushButton *>(name), Qt::LeftButton); }

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
        for (const char *fixed : {"dataBitCombo", "parityBitCombo", "stopBitCombo"})
            QVERIFY(!combo(fixed)->isEnabled());
        for (const QString &label : kCommands)
            QCOMPARE(m_console->commandButton(label)->isEnabled(), open);
        QCOMPARE(m_console->findChild<QPushButton *>("openButton")->text(), open ? QString("Close") : QString("Open"));
        const auto image = [](const QPixmap &p) { return p.toImage().convertToFormat(QImage::Format_ARGB32); };
        QCOMPARE(image(m_console->findChild<QLabel *>("stateIcon")->pixmap()), image(portStateIcon(open).pixmap(32, 32)));
    }

    std::unique_ptr<CCommToolDlg> m_console;
};

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
