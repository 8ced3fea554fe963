// The Motion Setting window against the simulated chip: its defaults and lists, and what each
// group's Set Config writes and Get Config shows.

#include "link/messages.h"
#include "motion/motion_setting_dlg.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "tests/common/window_check.h"
#include "tests/motion/window_test.h"

using namespace zm;

class TestMotionSettingDlg : public test::WindowTest<CMotionSettingDlg>
{
    Q_OBJECT

private:
    QLineEdit *threshold(int i) { return child<QLineEdit>(QStringLiteral("thresholdEdit%1").arg(i)); }
    QComboBox *boundary(int i) { return child<QComboBox>(QStringLiteral("%1Combo%2").arg(i < 5 ? "hor" : "ver").arg(i % 5)); }
    QLineEdit *window(int w, const char *value) { return child<QLineEdit>(QStringLiteral("win%1%2Edit").arg(w).arg(value)); }
    QList<int> selections()
    {
        QList<int> s;
        for (int i = 0; i < 10; ++i)
            s << boundary(i)->currentIndex();
        return s;
    }

private slots:
    void init()
    {
        QVERIFY2(startChip(), qPrintable(m_error));
        showWindow(std::make_unique<CMotionSettingDlg>(*m_layer));
    }
    void cleanup() { closeWindow(); }

    void opensWithDefaults()
    {
        QCOMPARE(child<QComboBox>("imageTypeCombo")->currentText(), QString("VGA(640x480)"));
        QCOMPARE(selections(), (QList<int>{0, 160, 320, 480, 639, 0, 120, 240, 360, 479}));
        QCOMPARE(threshold(0)->text(), QString("0040"));
        QCOMPARE(threshold(5)->text(), QString("FFFFFFFF"));
        QCOMPARE(window(15, "ColLine")->text(), QString("0000"));
        const QStringList problems = test::windowFitProblems(m_dlg.get());
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        test::saveScreenshot(m_dlg.get(), "motion_setting");
    }

    // A smaller picture refills every list; "Average" puts the even cut back.
    void imageTypeRefillsTheLists()
    {
        child<QComboBox>("imageTypeCombo")->setCurrentText("QCIF(176x144)");
        QCOMPARE(boundary(0)->count(), 176);
        QCOMPARE(boundary(4)->itemText(175), QString("0x0AF(175)"));
        QCOMPARE(boundary(9)->count(), 144);
        QCOMPARE(selections(), (QList<int>{0, 44, 88, 132, 175, 0, 36, 72, 108, 143}));
        boundary(2)->setCurrentIndex(5);
        click("averageButton");
        QCOMPARE(boundary(2)->currentIndex(), 88);
    }

    // The ten fields go out as 15 single-byte writes in register order, low byte first, and
    // come back with their full widths.
    void thresholdsSetAndGet()
    {
        threshold(1)->setText("3");
        threshold(4)->clear();
        QTest::keyClicks(threshold(4), "g7"); // only hex digits get in
        QCOMPARE(threshold(4)->text(), QString("7"));
        click("thresholdSetButton");
        settle();
        const QList<QByteArray> frames = m_chip->frames();
        QCOMPARE(frames.size(), 15);
        QCOMPARE(frames[0], QByteArray::fromHex("560031050101" "1A1D" "40"));
        QCOMPARE(frames[2], QByteArray::fromHex("560031050101" "1A1F" "03"));
        QCOMPARE(frames[6], QByteArray::fromHex("560031050101" "1A53" "07"));
        QCOMPARE(frames[14], QByteArray::fromHex("560031050101" "1A6F" "00"));
        QCOMPARE(m_chip->readMemory(MemoryType::Chip, 0x1A54, 4), QByteArray::fromHex("FFFFFFFF"));
        QCOMPARE(child<QProgressBar>("progressBar")->value(), 15);

        m_chip->writeMemory(MemoryType::Chip, 0x1A50, QByteArray::fromHex("3412"));
        m_chip->writeMemory(MemoryType::Chip, 0x1A54, QByteArray::fromHex("78563412"));
        click("thresholdGetButton");
        settle();
        QCOMPARE(threshold(1)->text(), QString("03"));
        QCOMPARE(threshold(2)->text(), QString("1234"));
        QCOMPARE(threshold(5)->text(), QString("12345678"));
        QVERIFY(m_messages->texts().isEmpty());
    }

    // The ten boundaries go out as five writes of four bytes; the chip's come back into the
    // lists, unless they do not fit the chosen image type.
    void windowsSetAndGet()
    {
        boundary(1)->setCurrentIndex(0x123);
        click("windowsSetButton");
        settle();
        QCOMPARE(m_chip->frames(), (QList<QByteArray>{
                                       QByteArray::fromHex("560031080104" "1A5A" "00002301"),
                                       QByteArray::fromHex("560031080104" "1A5E" "4001E001"),
                                       QByteArray::fromHex("560031080104" "1A62" "7F020000"),
                                       QByteArray::fromHex("560031080104" "1A66" "7800F000"),
                                       QByteArray::fromHex("560031080104" "1A6A" "6801DF01"),
                                   }));

        m_chip->writeMemory(MemoryType::Chip, 0x1A5A, QByteArray::fromHex("0A00"));
        m_chip->writeMemory(MemoryType::Chip, 0x1A6C, QByteArray::fromHex("3001"));
        click("windowsGetButton");
        settle();
        QCOMPARE(selections(), (QList<int>{10, 0x123, 320, 480, 639, 0, 120, 240, 360, 0x130}));

        // On a QCIF picture 0x123 has no entry: nothing changes, and the user is told which.
        child<QComboBox>("imageTypeCombo")->setCurrentText("QCIF(176x144)");
        const QList<int> before = selections();
        click("windowsGetButton");
        settle();
        QCOMPARE(selections(), before);
        QCOMPARE(m_messages->count(), 1);
        const QString text = m_messages->at(0).text;
        QVERIFY2(text.startsWith(msg::kBoundaryOutside) && text.contains("Hor 1 = 0x123(291)")
                     && text.contains("Ver 4 = 0x130(304)") && !text.contains("Hor 0"),
                 qPrintable(text));
    }

    // All 64 values through the port, "Write Finish"; read back, "Read Finish".
    void singleWindowsSetAndGet()
    {
        window(0, "RowSum")->setText("1A");
        window(15, "ColLine")->setText("BEEF");
        click("singleSetButton");
        settle();
        QCOMPARE(m_messages->texts(), QStringList{msg::kMotionWriteFinish});
        QCOMPARE(m_chip->windowThreshold(0x00), uint16_t(0x001A));
        QCOMPARE(m_chip->windowThreshold(0x3F), uint16_t(0xBEEF));
        QCOMPARE(m_chip->windowThreshold(0x21), uint16_t(0));
        QCOMPARE(child<QProgressBar>("progressBar")->value(), 64);

        m_chip->setWindowThreshold(0x2A, 0x0C0D); // "Col Sum" of window 5
        click("singleGetButton");
        settle();
        QCOMPARE(m_messages->texts(), QStringList({msg::kMotionWriteFinish, msg::kMotionReadFinish}));
        QCOMPARE(window(5, "ColSum")->text(), QString("0C0D"));
        QCOMPARE(window(0, "RowSum")->text(), QString("001A"));
    }

    // A failing command ends the worker with its prefix; a read that fails changes no field.
    void failures_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("frames");
        QTest::newRow("threshold write") << "thresholdSetButton" << "status=5,cmd=0x31,times=1"
                                         << QString(msg::kWriteRegisterFailed) + "Cmd recept, but execute failed" << 1;
        QTest::newRow("windows read") << "windowsGetButton" << "noanswer,cmd=0x30,times=1"
                                      << QString(msg::kReadRegisterFailed) + "Cmd time out" << 1;
        // The port's status poll is the first read of a single-window read.
        QTest::newRow("single read") << "singleGetButton" << "status=3,cmd=0x30,times=1"
                                     << QString(msg::kReadRegisterFailed) + "Invalid data format" << 2;
    }
    void failures()
    {
        QFETCH(QString, button);
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QFETCH(int, frames);
        m_chip->setWindowThreshold(0, 0x1234);
        m_chip->writeMemory(MemoryType::Chip, 0x1A5A, QByteArray::fromHex("0A00"));
        QVERIFY(m_chip->addFault(fault));
        click(button);
        settle();
        QCOMPARE(m_messages->texts(), QStringList{message});
        QCOMPARE(m_chip->frames().size(), frames);
        QCOMPARE(window(0, "RowSum")->text(), QString("0000"));
        QCOMPARE(boundary(0)->currentIndex(), 0);
        QVERIFY(m_dlg->isEnabled());
        QVERIFY(!m_layer->isBusy());
    }
};

QTEST_MAIN(TestMotionSettingDlg)
#include "tst_motion_setting_dlg.moc"
