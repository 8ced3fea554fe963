// The console window, driven offscreen against the simulated chip (or a bare pseudo-terminal for
// bytes that no command makes), checking what the chip received and the messages shown.

#include "app/comm_tool_dlg.h"
#include "app/data_show_view.h"
#include "app/demo_simulator.h"
#include "link/command_layer.h"
#include "raw_pty.h"
#include "res/messages.h"
#include "sim/pty_chip.h"
#include "ui/message_recorder.h"
#include "ui/resources.h"
#include "ui/worker_runner.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace zm;

namespace {

const QStringList kCommands{"Get Version", "R/W Data", "System Reset", "Fbuf Ctrl"};

QImage pixmapImage(const QPixmap &p)
{
    return p.toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class TestConsole : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_chip = std::make_unique<sim::PtyChip>();
        QVERIFY2(m_chip->isOpen(), qPrintable(m_chip->errorString()));
        m_layer = std::make_unique<CommandLayer>();
        m_console = std::make_unique<CCommToolDlg>(*m_layer);
        m_console->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_console.get()));
        m_messages = std::make_unique<MessageRecorder>();
    }
    void cleanup()
    {
        QVERIFY(WorkerRunner::waitForAll(10000));
        m_messages.reset();
        m_console.reset();
        m_layer.reset();
        m_chip.reset();
    }

    void startsClosedWithDefaults()
    {
        QCOMPARE(m_console->windowTitle(), QString("ZM3386 Comm Tool"));
        QCOMPARE(CCommToolDlg::console(), m_console.get());
        auto *ports = combo("comPortCombo");
        QVERIFY(ports->isEditable());
        QVERIFY(ports->count() >= 20);
        QCOMPARE(ports->itemText(0), QString("COM1"));
        QCOMPARE(ports->itemText(19), QString("COM20"));
        QCOMPARE(ports->currentText(), QString("COM1"));
        const struct {
            const char *name;
            QStringList items;
            QString current;
        } lists[] = {
            {"baudRateCombo", {"9600", "19200", "38400", "57600", "115200"}, "38400"},
            {"dataBitCombo", {"5", "6", "7", "8"}, "8"},
            {"parityBitCombo", {"Odd", "Even", "None"}, "None"},
            {"stopBitCombo", {"1", "2"}, "1"},
        };
        for (const auto &l : lists) {
            QStringList items;
            for (int i = 0; i < combo(l.name)->count(); ++i)
                items << combo(l.name)->itemText(i);
            QCOMPARE(items, l.items);
            QCOMPARE(combo(l.name)->currentText(), l.current);
        }
        QCOMPARE(m_console->portSettings().settingsString(), QString("38400,n,8,1"));
        QVERIFY(!m_console->findChild<QCheckBox *>("hexShowCheck")->isChecked());
        // The command column in its order.
        QStringList column;
        for (QPushButton *b : m_console->findChild<QWidget *>("commCommandGroup")->findChildren<QPushButton *>())
            column << b->text();
        QCOMPARE(column, kCommands);
        QStringList menus;
        for (QAction *a : m_console->menuBar()->actions())
            menus << a->text() + ":" + a->menu()->actions().value(0)->text();
        QCOMPARE(menus, QStringList({"&Tools:Image Convert", "&Help:About"}));
        expectState(false);
    }

    // Open and Close switch the whole panel; closing shows no message.
    void openAndClose()
    {
        combo("baudRateCombo")->setCurrentText("115200");
        m_console->selectPort(m_chip->slavePath());
        QCOMPARE(m_console->portSettings().settingsString(), QString("115200,n,8,1"));
        click("openButton");
        expectState(true);
        QVERIFY(m_layer->isOpen());
        click("openButton");
        expectState(false);
        QVERIFY(!m_layer->isOpen());
        QVERIFY(m_messages->texts().isEmpty());
        // And again: the port can be reopened.
        click("openButton");
        expectState(true);
    }

    void openFailure()
    {
        m_console->selectPort("/dev/zm-no-such-port");
        click("openButton");
        expectState(false);
        QCOMPARE(m_messages->count(), 1);
        QVERIFY2(m_messages->at(0).text.startsWith(QString(msg::kOpenPortFailed) + "\n"), qPrintable(m_messages->at(0).text));
        QVERIFY(m_messages->at(0).text.contains("/dev/zm-no-such-port"));
    }

    // Bytes outside any command appear in both forms; Hex Show picks one, Clear Show empties both.
    void dataShowForms()
    {
        RawPty pty;
        QVERIFY(pty.isOpen());
        m_console->selectPort(pty.path());
        click("openButton");
        expectState(true);
        auto *hex = m_console->findChild<QCheckBox *>("hexShowCheck");
        DataShowView *show = m_console->dataShow();
        QVERIFY(pty.write(QByteArray::fromHex("410042")));
        QTRY_COMPARE_WITH_TIMEOUT(show->shownText(), QString("AB"), 5000);
        hex->click();
        QCOMPARE(show->shownText(), QString("41 00 42 "));
        QVERIFY(pty.write("C"));
        QTRY_COMPARE_WITH_TIMEOUT(show->shownText(), QString("41 00 42 43 "), 5000);
        hex->click();
        QCOMPARE(show->shownText(), QString("ABC"));
        click("clearShowButton");
        QCOMPARE(show->shownText(), QString());
        hex->click();
        QCOMPARE(show->shownText(), QString());
        QVERIFY(pty.write("D"));
        QTRY_COMPARE_WITH_TIMEOUT(show->shownText(), QString("44 "), 5000);
        QVERIFY(m_messages->texts().isEmpty());
    }

    void getVersion()
    {
        openChip();
        QTest::mouseClick(m_console->commandButton("Get Version"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->texts(), QStringList{"Version:\"ZM3386V1.02\""}, 5000);
        QCOMPARE(m_messages->at(0).icon, QMessageBox::Information);
        QCOMPARE(m_chip->frames(), QList<QByteArray>{QByteArray::fromHex("56001100")});
        QTRY_VERIFY_WITH_TIMEOUT(m_console->isEnabled() && !m_layer->isBusy(), 5000);
    }

    // A failure shows the result text alone, for both workers.
    void failuresShowResultText_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("text");
        QTest::newRow("version, status") << "Get Version" << "status=5,cmd=0x11" << "Cmd recept, but execute failed";
        QTest::newRow("version, serial") << "Get Version" << "serial,cmd=0x11" << "Invalid cmd serial number";
        QTest::newRow("reset, status") << "System Reset" << "status=4,cmd=0x26" << "Cmd can't run in current status";
    }
    void failuresShowResultText()
    {
        QFETCH(QString, button);
        QFETCH(QString, fault);
        QFETCH(QString, text);
        openChip();
        QVERIFY(m_chip->addFault(fault));
        QTest::mouseClick(m_console->commandButton(button), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->texts(), QStringList{text}, 5000);
        QCOMPARE(m_messages->at(0).icon, QMessageBox::Warning);
        QTRY_VERIFY_WITH_TIMEOUT(!m_layer->isBusy(), 5000);
        QVERIFY(m_console->isEnabled());
    }

    // System Reset leaves the console enabled; a press meanwhile is refused and sends nothing.
    void systemResetAndBusyRefusal()
    {
        openChip();
        QVERIFY(m_chip->addFault("delay=600,cmd=0x26"));
        QTest::mouseClick(m_console->commandButton("System Reset"), Qt::LeftButton);
        QVERIFY(m_layer->isBusy());
        QVERIFY(m_console->isEnabled());
        QTest::mouseClick(m_console->commandButton("Get Version"), Qt::LeftButton);
        QCOMPARE(m_messages->texts(), QStringList{msg::kBusy});
        QCOMPARE(m_messages->at(0).icon, QMessageBox::Warning);
        // Closing the port under the command is refused the same way.
        click("openButton");
        QCOMPARE(m_messages->count(), 2);
        QVERIFY(m_console->isPortOpen());
        QTRY_VERIFY_WITH_TIMEOUT(!m_layer->isBusy(), 5000);
        QCOMPARE(m_chip->frames(), QList<QByteArray>{QByteArray::fromHex("56002600")});
        QCOMPARE(m_messages->count(), 2); // the reset itself succeeded silently
    }

    void buttonsCheckThePort()
    {
        // The buttons are disabled while the port is closed; their handler checks again.
        QVERIFY(!m_console->commandButton("Get Version")->isEnabled());
        emit m_console->commandButton("Get Version")->clicked();
        emit m_console->commandButton("R/W Data")->clicked();
        QCOMPARE(m_messages->texts(), QStringList({msg::kPortNotOpened, msg::kPortNotOpened}));
        QVERIFY(m_chip->frames().isEmpty());
    }

    // The chip hangs up instead of answering: the command ends with its failure, the console
    // goes back to the closed state with one message, and everything works again afterwards.
    void portVanishesMidCommand()
    {
        openChip();
        QVERIFY(m_chip->addFault("hangup,cmd=0x11,times=1"));
        QTest::mouseClick(m_console->commandButton("Get Version"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!m_console->isPortOpen() && !m_layer->isBusy(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->count(), 2, 5000);
        QTest::qWait(200); // nothing more comes
        const QStringList texts = m_messages->texts();
        QCOMPARE(texts.size(), 2);
        QVERIFY2(texts.contains("Unknow error"), qPrintable(texts.join(" | ")));
        QCOMPARE(texts.filter(msg::kPortLost).size(), 1);
        expectState(false);
        QVERIFY(m_console->isEnabled());

        // The chip comes back on a new line; the console opens it and works.
        const QString path = m_chip->reopen();
        QVERIFY(!path.isEmpty());
        m_console->selectPort(path);
        click("openButton");
        expectState(true);
        m_messages->clear();
        QTest::mouseClick(m_console->commandButton("Get Version"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->texts(), QStringList{"Version:\"ZM3386V1.02\""}, 5000);
    }

    // The other end goes away while nothing runs.
    void portVanishesWhileIdle()
    {
        RawPty pty;
        m_console->selectPort(pty.path());
        click("openButton");
        expectState(true);
        pty.closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(!m_console->isPortOpen(), 5000);
        expectState(false);
        QTest::qWait(200);
        QCOMPARE(m_messages->count(), 1);
        QVERIFY(m_messages->at(0).text.startsWith(msg::kPortLost));
    }

    void imageConvert()
    {
        QTemporaryDir dir;
        QAction *convert = m_console->menuBar()->actions().at(0)->menu()->actions().at(0);

        m_console->setConverterPath(dir.filePath("zmimgconv"));
        convert->trigger();
        QCOMPARE(m_messages->count(), 1);
        QVERIFY(m_messages->at(0).text.startsWith(msg::kConverterNotStarted));
        QVERIFY(m_messages->at(0).text.contains(dir.filePath("zmimgconv")));

        // A stand-in converter that leaves a mark; the console does not wait for it.
        QFile script(dir.filePath("zmimgconv"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\ntouch '%1'\n").arg(dir.filePath("started")).toUtf8());
        script.close();
        script.setPermissions(script.permissions() | QFile::ExeOwner);
        convert->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath("started")), 5000);
        QCOMPARE(m_messages->count(), 1);
    }

    void aboutBox()
    {
        QString title, text;
        bool hasIcon = false;
        QTimer::singleShot(0, this, [&] {
            QWidget *box = QApplication::activeModalWidget();
            if (!box)
                return;
            title = box->windowTitle();
            for (QLabel *l : box->findChildren<QLabel *>()) {
                text += l->text();
                hasIcon = hasIcon || !l->pixmap().isNull();
            }
            for (QPushButton *b : box->findChildren<QPushButton *>())
                if (b->text() == "OK")
                    b->click();
        });
        QAction *about = m_console->menuBar()->actions().at(1)->menu()->actions().at(0);
        about->trigger();
        QCOMPARE(title, QString("About Comm Tool"));
        QCOMPARE(text, QString("ZM3386 Comm Tool V1.00"));
        QVERIFY(hasIcon);
        QVERIFY(!QApplication::activeModalWidget());
    }

    // The demo: the zmsim program beside the console, its port preselected, ended on stop.
    void demoSimulator()
    {
        DemoSimulator sim;
        QString error;
        QVERIFY2(sim.start(&error, QStringLiteral(ZMSIM_PATH)), qPrintable(error));
        QVERIFY(sim.port().startsWith("/dev/"));
        m_console->selectPort(sim.port());
        click("openButton");
        expectState(true);
        QTest::mouseClick(m_console->commandButton("Get Version"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->texts(), QStringList{"Version:\"ZM3386V1.02\""}, 5000);
        sim.stop();
        QVERIFY(!sim.isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!m_console->isPortOpen(), 5000);

        DemoSimulator missing;
        QVERIFY(!missing.start(&error, "/nonexistent/zmsim"));
        QVERIFY(error.contains("/nonexistent/zmsim"));
    }

private:
    QComboBox *combo(const char *name) const { return m_console->findChild<QComboBox *>(name); }
    void click(const char *name) { QTest::mouseClick(m_console->findChild<QPushButton *>(name), Qt::LeftButton); }

    void openChip()
    {
        m_console->selectPort(m_chip->slavePath());
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
        const QLabel *icon = m_console->findChild<QLabel *>("stateIcon");
        QCOMPARE(pixmapImage(icon->pixmap()), pixmapImage(portStateIcon(open).pixmap(32, 32)));
    }

    std::unique_ptr<sim::PtyChip> m_chip;
    std::unique_ptr<CommandLayer> m_layer;
    std::unique_ptr<CCommToolDlg> m_console;
    std::unique_ptr<MessageRecorder> m_messages;
};

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
