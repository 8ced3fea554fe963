// The mode windows (colour, mirror, AE, power save), the clock and Other Control against the
// simulated chip: what their buttons send, what they show of the answers and the records, and
// how they behave when a command fails or another one runs.

#include "features/ae_ctrl_dlg.h"
#include "features/color_ctrl_dlg.h"
#include "features/feature_records.h"
#include "features/mirror_ctrl_dlg.h"
#include "features/other_ctrl_dlg.h"
#include "features/power_ctrl_dlg.h"
#include "features/rtc_time_dlg.h"
#include "link/messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimeEdit>

#include "tests/features/feature_window_test.h"

using namespace zm;

class TestModeWindows : public test::FeatureWindowTest
{
    Q_OBJECT

    FeatureRecords m_records;

    void open(const QString &which)
    {
        if (which == "color")
            show(std::make_unique<CColorCtrlDlg>(*m_layer, m_records));
        else if (which == "mirror")
            show(std::make_unique<CMirrorCtrlDlg>(*m_layer, m_records));
        else if (which == "ae")
            show(std::make_unique<CAeCtrlDlg>(*m_layer, m_records));
        else if (which == "power")
            show(std::make_unique<CPowerCtrlDlg>(*m_layer, m_records));
        else if (which == "rtc")
            show(std::make_unique<CRtcTimeDlg>(*m_layer));
        else
            show(std::make_unique<COtherCtrlDlg>(*m_layer));
    }
    bool checked(const QString &radio) { return child<QAbstractButton>(radio)->isChecked(); }

private slots:
    void init()
    {
        m_records = FeatureRecords{};
        QVERIFY2(startChip(), qPrintable(m_error));
    }
    void cleanup() { closeWindow(); }

    // Every window fits the screen with all its texts, and opens without a word on the line,
    // showing the remembered records.
    void opensQuietlyFromTheRecords_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringList>("checkedRadios");
        QTest::newRow("color") << "color" << QStringList{"colorUartRadio", "colorModeRadio0"};
        QTest::newRow("mirror") << "mirror" << QStringList{"mirrorUartRadio", "mirrorModeRadio0"};
        QTest::newRow("ae") << "ae" << QStringList{"flickerUartRadio", "flickerModeRadio0", "indoorUartRadio",
                                                   "indoorModeRadio0", "blcUartRadio", "blcModeRadio1"};
        QTest::newRow("power") << "power" << QStringList{"powerGpioRadio", "powerModeRadio0"};
        QTest::newRow("rtc") << "rtc" << QStringList{};
        QTest::newRow("other") << "other" << QStringList{};
    }
    void opensQuietlyFromTheRecords()
    {
        QFETCH(QString, window);
        QFETCH(QStringList, checkedRadios);
        open(window);
        checkLook("features_" + window);
        QStringList on;
        for (QRadioButton *r : m_dlg->findChildren<QRadioButton *>())
            if (r->isChecked())
                on << r->objectName();
        on.sort();
        checkedRadios.sort();
        QCOMPARE(on, checkedRadios);
        QTest::qWait(50);
        QVERIFY(m_chip->frames().isEmpty());
    }

    // What each button sends after the given radios were pressed, and the record it leaves.
    void setsAndGets_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("frame");
        QTest::newRow("colour manual BW by GPIO") << "color" << QStringList{"colorGpioRadio", "colorModeRadio2", "colorSetButton"} << "56003C020003";
        QTest::newRow("colour manual colour") << "color" << QStringList{"colorModeRadio1", "colorSetButton"} << "56003C020102";
        QTest::newRow("colour get") << "color" << QStringList{"colorGetButton"} << "56003D00";
        QTest::newRow("mirror") << "mirror" << QStringList{"mirrorModeRadio1", "mirrorSetButton"} << "56003A020101";
        QTest::newRow("mirror get") << "mirror" << QStringList{"mirrorGetButton"} << "56003B00";
        QTest::newRow("AE 60Hz") << "ae" << QStringList{"flickerModeRadio1", "flickerSetButton"} << "560040030001 01";
        QTest::newRow("AE force indoor by GPIO") << "ae" << QStringList{"indoorGpioRadio", "indoorModeRadio1", "indoorSetButton"} << "560040030100 01";
        QTest::newRow("AE close BLC") << "ae" << QStringList{"blcModeRadio0", "blcSetButton"} << "560040030201 00";
        QTest::newRow("AE get BLC") << "ae" << QStringList{"blcGetButton"} << "5600410102";
        QTest::newRow("into power save") << "power" << QStringList{"powerUartRadio", "powerModeRadio1", "powerSetButton"} << "56003E03000101";
        QTest::newRow("power save get") << "power" << QStringList{"powerGetButton"} << "56003F0100";
        QTest::newRow("power property get") << "power" << QStringList{"propertyGetButton"} << "56003F0101";
        QTest::newRow("open DAC") << "other" << QStringList{"openDacButton"} << "5600440101";
        QTest::newRow("close DAC") << "other" << QStringList{"closeDacButton"} << "5600440100";
        QTest::newRow("exec comm formula") << "other" << QStringList{"execFormulaButton"} << "56002700";
    }
    void setsAndGets()
    {
        QFETCH(QString, window);
        QFETCH(QStringList, clicks);
        QFETCH(QString, frame);
        open(window);
        for (const QString &c : clicks)
            click(c);
        QCOMPARE(m_messages->texts(), QStringList());
        QCOMPARE(frames(), QStringList{frame.remove(' ')});
        QVERIFY(m_dlg->isEnabled());
    }

    // A Set remembers the radios for the next opening; a Get shows and remembers the chip's.
    void recordsOutliveTheWindow()
    {
        open("color");
        click("colorGpioRadio");
        click("colorModeRadio1");
        click("colorSetButton");
        QCOMPARE(m_records.color.source, kGpioControl);
        QCOMPARE(m_records.color.mode, uint8_t(2));
        m_dlg.reset();
        m_chip->withModel([](sim::ChipModel &m) {
            m.features().ae[2] = {0, 0};
        });
        open("color");
        QVERIFY(checked("colorGpioRadio") && checked("colorModeRadio1"));
        m_dlg.reset();
        open("ae");
        click("blcGetButton");
        QVERIFY(checked("blcGpioRadio") && checked("blcModeRadio0"));
        QCOMPARE(m_records.aeBlc.source, kGpioControl);
        QCOMPARE(m_records.aeBlc.mode, uint8_t(0));
    }

    // A colour mode of 1 has no radio: all three are clear, and Set refuses to send the 1 back
    // until a mode is chosen.
    void colourModeOneLeavesTheRadiosClear()
    {
        m_chip->withModel([](sim::ChipModel &m) {
            m.features().colorMode = 1;
            m.features().colorExtra = 7;
        });
        open("color");
        click("colorGetButton");
        QVERIFY(checked("colorUartRadio"));
        QVERIFY(!checked("colorModeRadio0") && !checked("colorModeRadio1") && !checked("colorModeRadio2"));
        QCOMPARE(m_records.color.mode, uint8_t(1));
        QCOMPARE(m_records.color.extra, uint8_t(7));
        m_chip->clearFrames();
        click("colorSetButton");
        QCOMPARE(m_messages->texts(), QStringList{"Select one of Auto Switch, Manual Color, Manual BW first."});
        QVERIFY(m_chip->frames().isEmpty());
        click("colorModeRadio0");
        click("colorSetButton");
        QCOMPARE(frames(), QStringList{"56003C020100"});
    }

    // A failed get shows the result text alone and changes neither the radios nor the record.
    void failedGetKeepsWhatWasShown()
    {
        m_records.mirror = {kGpioControl, 1, 0};
        open("mirror");
        QVERIFY(m_chip->addFault("status=5,cmd=0x3B"));
        click("mirrorGetButton");
        QCOMPARE(m_messages->texts(), QStringList{"Cmd recept, but execute failed"});
        QVERIFY(checked("mirrorGpioRadio") && checked("mirrorModeRadio1"));
        QCOMPARE(m_records.mirror.source, kGpioControl);
        QCOMPARE(m_records.mirror.mode, uint8_t(1));
        QVERIFY(m_dlg->isEnabled());
    }

    // While a command runs the window does not close and a second press sends nothing: the mode
    // windows are disabled meanwhile; Other Control's stay enabled and refuse with message 103.
    void whileACommandRuns_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("enabledMeanwhile");
        QTest::newRow("mirror") << "mirror" << "mirrorGetButton" << "mirrorSetButton" << false;
        QTest::newRow("other") << "other" << "openDacButton" << "execFormulaButton" << true;
    }
    void whileACommandRuns()
    {
        QFETCH(QString, window);
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(bool, enabledMeanwhile);
        open(window);
        QVERIFY(m_chip->addFault("delay=400,times=1"));
        QTest::mouseClick(child<QAbstractButton>(first), Qt::LeftButton);
        QVERIFY(m_layer->isBusy());
        QCOMPARE(m_dlg->isEnabled(), enabledMeanwhile);
        // The button itself, as a second press would reach it.
        QMetaObject::invokeMethod(child<QAbstractButton>(second), "click");
        m_dlg->reject();
        QVERIFY(m_dlg->isVisible());
        settle();
        QCOMPARE(m_messages->texts(), enabledMeanwhile ? QStringList{msg::kBusy} : QStringList());
        QCOMPARE(m_chip->frames().size(), 1);
        QVERIFY(m_dlg->isEnabled());
        m_dlg->reject();
        QVERIFY(!m_dlg->isVisible());
    }

    // Power save time: 65535 goes out as FF FF; 65536 cannot be typed; an empty field sends
    // nothing. A get shows the flags' mode index, the motion bit and the time.
    void powerSaveProperty()
    {
        open("power");
        auto *time = child<QLineEdit>("timeEdit");
        time->clear();
        QTest::keyClicks(time, "65536");
        QCOMPARE(time->text(), QString("6553"));
        QCOMPARE(m_messages->texts(), QStringList{"Power Save Time must be a number from 0 to 65535."});
        QCOMPARE(m_records.powerSave.time, uint16_t(6553)); // taken at every change
        QTest::keyClick(time, Qt::Key_5);
        child<QComboBox>("powerModeCombo")->setCurrentIndex(1);
        child<QCheckBox>("relateMotionCheck")->setChecked(true);
        click("propertySetButton");
        QCOMPARE(frames(), QStringList{"56003E040105FFFF"});
        QCOMPARE(m_chip->features().powerSaveTime, uint16_t(65535));

        m_messages->clear();
        m_chip->clearFrames();
        time->clear();
        click("propertySetButton");
        QCOMPARE(m_messages->texts(), QStringList{"Power Save Time must be a number from 0 to 65535."});
        QVERIFY(m_chip->frames().isEmpty());

        m_chip->withModel([](sim::ChipModel &m) {
            m.features().powerSaveFlags = 0x04;
            m.features().powerSaveTime = 1234;
        });
        click("propertyGetButton");
        QCOMPARE(child<QComboBox>("powerModeCombo")->currentIndex(), 0);
        QVERIFY(child<QCheckBox>("relateMotionCheck")->isChecked());
        QCOMPARE(time->text(), QString("1234"));
        QCOMPARE(m_records.powerSave.flags, uint8_t(0x04));
    }

    // The pickers follow the PC's clock while "Use Current Time" is checked; Set Time sends what
    // they show and writes it into its field; Get Time shows the chip's running clock.
    void clock()
    {
        open("rtc");
        auto *date = child<QDateEdit>("dateEdit");
        auto *time = child<QTimeEdit>("timeEdit");
        QVERIFY(child<QCheckBox>("useCurrentCheck")->isChecked());
        QVERIFY(!date->isEnabled() && !time->isEnabled());
        QCOMPARE(date->date(), QDate::currentDate());
        child<QCheckBox>("useCurrentCheck")->setChecked(false);
        QVERIFY(date->isEnabled() && time->isEnabled());
        date->setDate(QDate(2024, 2, 29));
        time->setTime(QTime(23, 59, 58));
        click("setTimeButton");
        QCOMPARE(child<QLineEdit>("setTimeEdit")->text(), QString("2024-02-29 23:59:58"));
        QCOMPARE(frames(), QStringList{"560050070" "7E8021D173B3A"});
        // The clock runs on; the first 18 characters hold until two seconds have passed.
        click("getTimeButton");
        const QString shown = child<QLineEdit>("getTimeEdit")->text();
        QVERIFY2(QRegularExpression("^(2024-02-29 23:59:5[89]|2024-03-01 00:00:\\d\\d)$").match(shown).hasMatch(),
                 qPrintable(shown));
    }
};

QTEST_MAIN(TestModeWindows)
#include "tst_mode_windows.moc"
