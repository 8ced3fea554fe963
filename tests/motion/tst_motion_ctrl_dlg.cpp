// The Motion Ctrl window against the simulated chip: the remembered settings, the frames each
// group sends, the status texts, and the motion monitor run from the window with its log.

#include "link/messages.h"
#include "motion/motion_ctrl_dlg.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "tests/common/window_check.h"
#include "tests/motion/window_test.h"

using namespace zm;

class TestMotionCtrlDlg : public test::WindowTest<CMotionCtrlDlg>
{
    Q_OBJECT

private:
    MotionCtrlSettings m_settings;
    QString m_chosen;

    QString text(const char *edit) { return child<QLineEdit>(edit)->text(); }
    QString statusBox() { return child<QPlainTextEdit>("alarmStatusEdit")->toPlainText(); }

    void openWindow()
    {
        auto dlg = std::make_unique<CMotionCtrlDlg>(*m_layer, m_settings);
        dlg->setFileChooser([this](const QString &, const QString &) { return m_chosen; });
        showWindow(std::move(dlg));
    }

    QList<QPushButton *> commandButtons()
    {
        QList<QPushButton *> list;
        for (const char *name : {"detectSetButton", "detectGetButton", "alarmSetButton", "alarmGetButton",
                                 "getStatusButton", "enableAlarmButton", "disableAlarmButton", "openAlarmButton",
                                 "closeAlarmButton", "motionConfigButton"})
            list << child<QPushButton>(name);
        return list;
    }

private slots:
    void init()
    {
        QVERIFY2(startChip(), qPrintable(m_error));
        m_settings = MotionCtrlSettings();
        openWindow();
    }
    void cleanup() { closeWindow(); }

    void firstOpening()
    {
        QVERIFY(child<QRadioButton>("uartRadio")->isChecked());
        QVERIFY(child<QRadioButton>("enableRadio")->isChecked());
        QCOMPARE(child<QComboBox>("alarmTypeCombo")->currentText(), QString("Alarm certain time"));
        QCOMPARE(child<QComboBox>("alarmLevelCombo")->currentText(), QString("Output high level"));
        QCOMPARE(text("alarmTimeEdit"), QString("100"));
        QCOMPARE(text("commStatusEdit"), QString("Unknow"));
        QCOMPARE(text("motionStatusEdit"), QString("Unknow"));
        QCOMPARE(statusBox(), QString("Unknow"));
        QVERIFY(!child<QPushButton>("saveLogButton")->isEnabled());
        const QStringList problems = test::windowFitProblems(m_dlg.get());
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        test::saveScreenshot(m_dlg.get(), "motion_ctrl");
    }

    // Set Config stores what it sends, and the next opening shows it; "Alarm Time:" is stored as
    // it is typed.
    void setConfigSendsAndRemembers()
    {
        child<QRadioButton>("gpioRadio")->click();
        child<QRadioButton>("disableRadio")->click();
        click("detectSetButton");
        settle();
        child<QComboBox>("alarmTypeCombo")->setCurrentIndex(1);  // "Always alarm"
        child<QComboBox>("alarmLevelCombo")->setCurrentIndex(1); // "Output low level"
        child<QLineEdit>("alarmTimeEdit")->clear();
        QTest::keyClicks(child<QLineEdit>("alarmTimeEdit"), "25x0");
        QCOMPARE(text("alarmTimeEdit"), QString("250"));
        click("alarmSetButton");
        settle();
        QCOMPARE(m_chip->frames(), (QList<QByteArray>{QByteArray::fromHex("56004203000000"),
                                                       QByteArray::fromHex("5600420401" "03" "00FA")}));
        QVERIFY(m_messages->texts().isEmpty());
        QCOMPARE(m_settings.alarmTime, uint16_t(250));

        m_dlg.reset();
        openWindow();
        QVERIFY(child<QRadioButton>("gpioRadio")->isChecked());
        QVERIFY(child<QRadioButton>("disableRadio")->isChecked());
        QCOMPARE(child<QComboBox>("alarmTypeCombo")->currentIndex(), 1);
        QCOMPARE(child<QComboBox>("alarmLevelCombo")->currentIndex(), 1);
        QCOMPARE(text("alarmTimeEdit"), QString("250"));

        // An empty time is asked for, not sent as 0.
        child<QLineEdit>("alarmTimeEdit")->clear();
        click("alarmSetButton");
        QCOMPARE(m_messages->texts(), QStringList{msg::kAlarmTimeEmpty});
        QCOMPARE(m_chip->frames().size(), 2);
    }

    // Get Config shows and stores what the chip holds; flags 0x11 is "Enable" and motion.
    void getConfigShowsTheChip()
    {
        auto f = m_chip->features();
        f.motionSource = 0;
        f.motionFlags = 1;
        f.motionDetected = 1;
        f.alarmFlags = 2;
        f.alarmTime = 300;
        m_chip->setFeatures(f);
        child<QRadioButton>("disableRadio")->click();
        click("detectGetButton");
        settle();
        QCOMPARE(m_chip->frames().last(), QByteArray::fromHex("5600430100"));
        QVERIFY(child<QRadioButton>("gpioRadio")->isChecked());
        QVERIFY(child<QRadioButton>("enableRadio")->isChecked());
        QCOMPARE(text("motionStatusEdit"), QString("Motion detected!"));
        QCOMPARE(m_settings.detectionFlags, 0x11u);
        click("alarmGetButton");
        settle();
        QCOMPARE(child<QComboBox>("alarmTypeCombo")->currentIndex(), 0);
        QCOMPARE(child<QComboBox>("alarmLevelCombo")->currentIndex(), 1);
        QCOMPARE(text("alarmTimeEdit"), QString("300"));
        QCOMPARE(m_settings.alarmSetup, uint8_t(2));

        // A failing Get changes nothing and shows the result text alone.
        QVERIFY(m_chip->addFault("status=4,cmd=0x43,times=1"));
        f.motionDetected = 0;
        m_chip->setFeatures(f);
        click("detectGetButton");
        settle();
        QCOMPARE(m_messages->texts(), QStringList{"Cmd can't run in current status"});
        QCOMPARE(text("motionStatusEdit"), QString("Motion detected!"));
    }

    void alarmOutputButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("enable") << "enableAlarmButton" << QByteArray::fromHex("560042020201");
        QTest::newRow("disable") << "disableAlarmButton" << QByteArray::fromHex("560042020200");
        QTest::newRow("open") << "openAlarmButton" << QByteArray::fromHex("560042020301");
        QTest::newRow("close") << "closeAlarmButton" << QByteArray::fromHex("560042020300");
    }
    void alarmOutputButtons()
    {
        QFETCH(QString, button);
        QFETCH(QByteArray, frame);
        click(button);
        settle();
        QCOMPARE(m_chip->frames(), QList<QByteArray>{frame});
        QVERIFY(m_messages->texts().isEmpty());
    }

    // Get Status asks for both states and shows them; a failure shows "Unknow" and the result text.
    void getStatus()
    {
        click("enableAlarmButton");
        settle();
        click("getStatusButton");
        settle();
        QCOMPARE(statusBox(), QString("Motion out enabled\nMotion out closed\n"));
        QCOMPARE(m_chip->frames().mid(1), (QList<QByteArray>{QByteArray::fromHex("5600430102"),
                                                              QByteArray::fromHex("5600430103")}));
        QVERIFY(m_chip->addFault("noanswer,cmd=0x43,times=1"));
        click("getStatusButton");
        settle();
        QCOMPARE(statusBox(), QString("Unknow"));
        QCOMPARE(m_messages->texts(), QStringList{"Cmd time out"});
    }

    // The monitor from the window: it counts the chip's notifications with time and interval,
    // holds the other buttons while it runs, refuses the close box, and stops on the button.
    // The run's log saves as CSV.
    void monitorRunAndLog()
    {
        m_chip->setMotionInterval(100);
        click("commMotionButton");
        QVERIFY(m_dlg->isRunning());
        QCOMPARE(child<QPushButton>("commMotionButton")->text(), QString("Close Comm Motion"));
        for (QPushButton *b : commandButtons())
            QVERIFY2(!b->isEnabled(), qPrintable(b->text()));
        QTRY_VERIFY_WITH_TIMEOUT(text("commCountEdit").toInt() >= 3, 10000);
        QCOMPARE(text("commStatusEdit"), QString("Opened"));
        QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d:\\d{3}$").match(text("lastTimeEdit")).hasMatch());
        QVERIFY(text("intervalEdit").toInt() > 0);
        test::saveScreenshot(m_dlg.get(), "motion_ctrl_running");

        m_dlg->close();
        QVERIFY(m_dlg->isVisible());
        QCOMPARE(m_messages->texts(), QStringList{msg::kCloseCommMotionFirst});

        click("commMotionButton");
        QVERIFY(!m_dlg->isRunning());
        settle();
        QCOMPARE(child<QPushButton>("commMotionButton")->text(), QString("Open Comm Motion"));
        QVERIFY(child<QPushButton>("commMotionButton")->isEnabled());
        for (QPushButton *b : commandButtons())
            QVERIFY2(b->isEnabled(), qPrintable(b->text()));
        QCOMPARE(text("commStatusEdit"), QString("Closed"));
        QVERIFY(!m_chip->commMotionOpen());
        QCOMPARE(m_messages->count(), 1);

        const int count = text("commCountEdit").toInt();
        QCOMPARE(m_dlg->log().size(), count);
        QTemporaryDir dir;
        m_chosen = dir.filePath("run.csv");
        click("saveLogButton");
        QFile f(m_chosen);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines.size(), count + 2); // header, rows, and the empty piece after the last "\n"
        QVERIFY(lines[count].startsWith(QByteArray::number(count) + "," + text("lastTimeEdit").toLatin1() + ","));
    }

    // A log that reaches its capacity says so once; counting goes on.
    void fullLogIsTold()
    {
        m_chip->setMotionInterval(50);
        m_dlg->setLogCapacity(2);
        click("commMotionButton");
        QTRY_VERIFY_WITH_TIMEOUT(text("commCountEdit").toInt() >= 5, 10000);
        click("commMotionButton");
        settle();
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->count(), 1, 5000);
        QCOMPARE(m_messages->at(0).text, QString(msg::kMotionLogFull).arg(2));
        QCOMPARE(m_dlg->log().size(), 2);
    }

    // A chip that keeps comm motion closed: the run never starts counting, and the window is
    // back as it was.
    void openFailureGivesTheWindowBack()
    {
        QVERIFY(m_chip->addFault("status=4,cmd=0x37"));
        click("commMotionButton");
        settle();
        QCOMPARE(m_messages->texts(), QStringList{"Cmd can't run in current status"});
        QVERIFY(!m_dlg->isRunning());
        QCOMPARE(child<QPushButton>("commMotionButton")->text(), QString("Open Comm Motion"));
        for (QPushButton *b : commandButtons())
            QVERIFY(b->isEnabled());
        QVERIFY(!m_layer->isBusy());
    }
};

QTEST_MAIN(TestMotionCtrlDlg)
#include "tst_motion_ctrl_dlg.moc"
