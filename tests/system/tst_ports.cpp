// Ports as people know them: the names the system gives adapters, the console's port box that
// reads them again when it opens, the words for a port that will not open (down to a real
// device this user may not open), and where the console finds the programs it starts.

#include "app/comm_tool_dlg.h"
#include "app/companion_program.h"
#include "app/port_combo_box.h"
#include "link/link_session.h"
#include "link/open_failure.h"
#include "link/system_ports.h"
#include "tests/common/window_check.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QAbstractItemView>
#include <QTest>

#include <grp.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(zm::OpenFacts)

using namespace zm;

namespace {

const SystemPort kFtdi{"/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A50285BI"};
const SystemPort kCp210x{"/dev/ttyUSB1", "CP2102 USB to UART Bridge Controller", "Silicon Labs", "0001"};

// A pseudo-terminal slave: a real tty device, owned by whoever runs the test.
struct Tty {
    int master = -1;
    QString path;
    Tty()
    {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            ::close(slave);
            path = QString::fromLocal8Bit(name);
        }
    }
    ~Tty()
    {
        if (master >= 0)
            ::close(master);
    }
};

} // namespace

class TestPorts : public QObject
{
    Q_OBJECT

private slots:
    // COM1..COM20 first, as they always were; the system's ports after them in the order of
    // their numbers, those that COM names already stand for left out, each valued by its path
    // and shown with what the system knows of it (a maker already named once, blanks nothing).
    void choices()
    {
        QList<SystemPort> system{{"/dev/ttyUSB10", "", "", ""},
                                 kFtdi,
                                 {"/dev/ttyS0", "", "", ""},
                                 {"/dev/ttyS25", "", "", ""},
                                 {"/dev/ttyUSB3", "Silicon Labs CP210x UART Bridge", "silicon labs", ""},
                                 {"/dev/ttyUSB2", " ", "  ", " "}};
        sortPorts(system);
        const QList<PortChoice> choices = PortSettings::portChoices(system);
        QCOMPARE(choices.size(), 25);
        QCOMPARE(choices.first(), (PortChoice{"COM1", "COM1"}));
        QCOMPARE(choices.at(19), (PortChoice{"COM20", "COM20"}));
        QCOMPARE(choices.mid(20), (QList<PortChoice>{{"/dev/ttyS25", "/dev/ttyS25"},
                                                     {"FT232R USB UART, FTDI, serial A50285BI (ttyUSB0)", "/dev/ttyUSB0"},
                                                     {"/dev/ttyUSB2", "/dev/ttyUSB2"},
                                                     {"Silicon Labs CP210x UART Bridge (ttyUSB3)", "/dev/ttyUSB3"},
                                                     {"/dev/ttyUSB10", "/dev/ttyUSB10"}}));
        QCOMPARE(comNameOf("/dev/ttyS19"), QString("COM20"));
        QVERIFY(comNameOf("/dev/ttyS20").isEmpty());
    }

    // Opening the list reads the system's ports again; what the user chose stays, even when its
    // adapter has gone, and the console opens the path behind a label.
    void boxReadsThePortsWhenOpened()
    {
        QList<SystemPort> plugged{kFtdi};
        PortComboBox box;
        box.setSource([&] { return plugged; });
        QCOMPARE(box.count(), 21);
        box.selectPort("/dev/ttyUSB0");
        QCOMPARE(box.currentText(), kFtdi.label());
        QCOMPARE(box.port(), QString("/dev/ttyUSB0"));

        plugged = {kCp210x};
        box.showPopup();
        box.hidePopup();
        QCOMPARE(box.count(), 21);
        QCOMPARE(box.itemText(20), kCp210x.label());
        QCOMPARE(box.currentText(), QString("/dev/ttyUSB0"));
        QCOMPARE(box.port(), QString("/dev/ttyUSB0"));

        LinkSession session;
        CCommToolDlg console(session);
        auto *consoleBox = console.findChild<PortComboBox *>("comPortCombo");
        QVERIFY(consoleBox);
        consoleBox->setSource([] { return QList<SystemPort>{kFtdi, kCp210x}; });
        QCOMPARE(console.portSettings().port, QString("COM1"));
        console.selectPort(kCp210x.label());
        QCOMPARE(consoleBox->currentIndex(), 21);
        QCOMPARE(console.portSettings().port, QString("/dev/ttyUSB1"));
        console.show();
        QVERIFY(QTest::qWaitForWindowExposed(&console));
        test::saveScreenshot(&console, "console_adapter_port");
        const QStringList problems = test::windowFitProblems(&console);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        // The box shows the end of a long name; the open list shows each name whole.
        consoleBox->showPopup();
        test::saveScreenshot(consoleBox->view()->window(), "console_port_list_open");
        QVERIFY(consoleBox->view()->viewport()->width() >= consoleBox->view()->sizeHintForColumn(0));
        consoleBox->hidePopup();
    }

    // Each reason a port will not open, told with what helps; the facts are those the system
    // would give.
    void failureTexts_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("error");
        QTest::addColumn<OpenFacts>("facts");
        QTest::addColumn<QStringList>("says");
        QTest::addColumn<QStringList>("doesNotSay");

        // A serial device owned by root, as the system describes it to alice.
        const auto tty = [](const char *mode, const char *group, bool inAccount = false, bool accessible = false,
                            const char *holder = "") {
            return OpenFacts{.exists = true, .serialDevice = true, .accessible = accessible, .mode = mode,
                             .owner = "root", .group = group, .groupMayOpen = QString(mode) == "crw-rw----",
                             .user = "alice", .inGroupAccount = inAccount, .holder = holder};
        };
        const int denied = QSerialPort::PermissionError;
        QTest::newRow("COM name with its device") << "COM20" << int(QSerialPort::DeviceNotFoundError) << OpenFacts{}
                                                  << QStringList{"COM20 (/dev/ttyS19) does not exist."} << QStringList{};
        QTest::newRow("not in the group")
            << "/dev/ttyUSB0" << denied << tty("crw-rw----", "dialout")
            << QStringList{"No permission to open /dev/ttyUSB0", "group \"dialout\"", "sudo usermod -aG dialout alice",
                           "log in again"}
            << QStringList{"newgrp"};
        QTest::newRow("added, session older")
            << "/dev/ttyUSB0" << denied << tty("crw-rw----", "dialout", true)
            << QStringList{"group \"dialout\"", "your user is in it", "log out and in again", "newgrp dialout"}
            << QStringList{"usermod"};
        QTest::newRow("no group may open it")
            << "/dev/ttyACM0" << denied << tty("crw-------", "root")
            << QStringList{"No permission to open /dev/ttyACM0", "crw-------", "group \"root\"", "udev rule"}
            << QStringList{"usermod"};
        QTest::newRow("in use, lock file names the holder")
            << "/dev/ttyUSB0" << denied << tty("crw-rw----", "dialout", false, true, "process 4242 (minicom)")
            << QStringList{"/dev/ttyUSB0 is in use by process 4242 (minicom)."} << QStringList{"permission"};
        QTest::newRow("in use, holder unknown") << "/dev/ttyUSB0" << denied << tty("crw-rw----", "dialout", false, true)
                                                << QStringList{"/dev/ttyUSB0 is in use by another program."}
                                                << QStringList{"permission"};
    }
    void failureTexts()
    {
        QFETCH(QString, port);
        QFETCH(int, error);
        QFETCH(OpenFacts, facts);
        QFETCH(QStringList, says);
        QFETCH(QStringList, doesNotSay);
        const QString text = openFailureText(port, systemPortName(port), QSerialPort::SerialPortError(error),
                                             "Inappropriate ioctl for device", facts);
        for (const QString &part : says)
            QVERIFY2(text.contains(part), qPrintable(text));
        for (const QString &part : doesNotSay)
            QVERIFY2(!text.contains(part, Qt::CaseInsensitive), qPrintable(text));
    }

    // A real tty this user may not open, through zmctl as a user runs it. As root nothing is
    // refused, so the test gives the device to dialout (0660, as udev does for a serial port)
    // and runs zmctl as nobody with setpriv; as anyone else it takes every right away from its
    // own pseudo-terminal (mode 000). Either way the message names the device's group.
    void permissionDeniedNamesTheGroup()
    {
        Tty tty;
        QVERIFY(!tty.path.isEmpty());
        const QByteArray node = QFile::encodeName(tty.path);
        QString program = QStringLiteral(ZMCTL);
        QStringList args{"--port", tty.path, "version"};
        QString group;
        if (::geteuid() == 0) {
            const struct group *dialout = ::getgrnam("dialout");
            if (!dialout)
                QSKIP("this system has no group dialout");
            const QString setpriv = QStandardPaths::findExecutable("setpriv");
            if (setpriv.isEmpty())
                QSKIP("setpriv (util-linux) is not installed");
            // nobody must be able to run zmctl from where it was built.
            for (QFileInfo dir(QFileInfo(program).absolutePath()); !dir.isRoot(); dir = QFileInfo(dir.absolutePath()))
                if (!(dir.permissions() & QFileDevice::ExeOther))
                    QSKIP(qPrintable(dir.filePath() + " is closed to other users"));
            QCOMPARE(::chown(node.constData(), 0, dialout->gr_gid), 0);
            QCOMPARE(::chmod(node.constData(), 0660), 0);
            args.prepend(program);
            args = QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups"} + args;
            program = setpriv;
            group = "dialout";
        } else {
            QCOMPARE(::chmod(node.constData(), 0), 0);
            struct stat st {};
            QCOMPARE(::stat(node.constData(), &st), 0);
            const struct group *g = ::getgrgid(st.st_gid);
            group = g ? QString::fromLocal8Bit(g->gr_name) : QString::number(st.st_gid);
        }
        QProcess zmctl;
        zmctl.start(program, args);
        QVERIFY(zmctl.waitForFinished(30000));
        const QString err = QString::fromLocal8Bit(zmctl.readAllStandardError());
        QCOMPARE(zmctl.exitCode(), 2);
        QVERIFY2(err.startsWith("zmctl: No permission to open " + tty.path), qPrintable(err));
        QVERIFY2(err.contains(QStringLiteral("group \"%1\"").arg(group)), qPrintable(err));
        if (group == "dialout")
            QVERIFY2(err.contains("sudo usermod -aG dialout nobody") && err.contains("log in again"), qPrintable(err));
    }

    // zmctl ports opens no port: a port that does not exist does not stop it.
    void zmctlPortsNeedsNoPort()
    {
        QProcess zmctl;
        zmctl.start(QStringLiteral(ZMCTL), {"--port", "/dev/zm-no-such-port", "ports"});
        QVERIFY(zmctl.waitForFinished(30000));
        QCOMPARE(zmctl.exitCode(), 0);
        for (const QString &line : QString::fromLocal8Bit(zmctl.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts))
            QVERIFY2(QFileInfo::exists(line.section(' ', 0, 0)), qPrintable(line));
    }

    // The console starts zmimgconv and zmsim from beside itself, else from the PATH; one found
    // nowhere is named where it was looked for first.
    void companionsBesideThenOnThePath()
    {
        QTemporaryDir dir;
        for (const char *name : {"zmsim", "zm-only-on-the-path"}) {
            QFile script(dir.filePath(name));
            QVERIFY(script.open(QIODevice::WriteOnly) && script.write("#!/bin/sh\n") > 0);
            script.close();
            QVERIFY(script.setPermissions(script.permissions() | QFile::ExeOwner));
        }
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(dir.path()) + ':' + path);
        const QDir beside(QCoreApplication::applicationDirPath());
        const QString zmsim = companionProgram("zmsim");
        const QString onPath = companionProgram("zm-only-on-the-path");
        const QString nowhere = companionProgram("zm-nowhere");
        qputenv("PATH", path);
        QVERIFY(QFileInfo::exists(beside.filePath("zmsim")));
        QCOMPARE(zmsim, beside.filePath("zmsim"));
        QCOMPARE(onPath, dir.filePath("zm-only-on-the-path"));
        QCOMPARE(nowhere, beside.filePath("zm-nowhere"));
    }
};

QTEST_MAIN(TestPorts)
#include "tst_ports.moc"
