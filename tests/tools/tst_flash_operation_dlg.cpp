// The Flash Operation window against the simulated chip: the size it shows, the sector address it
// sends, and a chip erase within and beyond its long time-out.

#include "link/messages.h"
#include "tests/ctrlinfo/ctrl_info_rig.h"
#include "tests/ctrlinfo/dialog_test.h"
#include "tools/flash_operation_dlg.h"

using namespace zm;

class TestFlashOperationDlg : public test::DialogTest<CFlashOperationDlg>
{
    Q_OBJECT

private slots:
    void init() { QVERIFY2(openWindow(), qPrintable(m_error)); }
    void cleanup() { QVERIFY(closeWindow()); }

    void sizeAndSectorErase()
    {
        QCOMPARE(edit("flashSizeEdit")->text(), QString("0"));
        QCOMPARE(edit("sectorEdit")->text(), QString("00"));
        const QStringList problems = fitProblems(QStringLiteral("flash_operation"));
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));

        QVERIFY(press("getSizeButton"));
        QCOMPARE(edit("flashSizeEdit")->text(), QString("512"));

        m_chip->writeMemory(MemoryType::SpiFlash, 0x1F000, QByteArray(4, '\0'));
        edit("sectorEdit")->clear();
        QTest::keyClicks(edit("sectorEdit"), "1F0G00"); // the G is undone
        QCOMPARE(edit("sectorEdit")->text(), QString("1F000"));
        QVERIFY(press("eraseSectorButton"));
        QCOMPARE(frames(), QStringList({"56006000", "560061040001F000"}));
        QCOMPARE(m_chip->readMemory(MemoryType::SpiFlash, 0x1F000, 4), QByteArray(4, '\xFF'));

        edit("sectorEdit")->setText("FFFFFFFF");
        QVERIFY(press("eraseSectorButton"));
        QCOMPARE(m_messages->texts(), QStringList{"Invalid data format"});
    }

    // 0x00002000 kilobits read as 1024 kilobytes.
    void sizeOfAMegabyteFlash()
    {
        sim::PtyChip chip(test::chipOptions(sim::CtrlInfoPlace::I2cEeprom, 1024 * 1024));
        m_layer->close();
        QVERIFY(m_layer->open(chip.slavePath(), QStringLiteral("38400,n,8,1")));
        QVERIFY(press("getSizeButton"));
        QCOMPARE(edit("flashSizeEdit")->text(), QString("1024"));
        m_layer->close();
    }

    // The whole flash gets 10 seconds: 9 are enough, 11 end in a time-out and no claim that the
    // erase finished; the next command waits the usual 3 seconds again.
    void chipEraseTimeOut()
    {
        m_chip->withModel([](sim::ChipModel &m) { m.setEraseTimes(9000, 0); });
        click("chipEraseButton");
        QTRY_COMPARE_WITH_TIMEOUT(edit("statusEdit")->text(), QString(msg::kWaitForErase), 5000);
        QVERIFY(!m_dlg->isEnabled());
        QVERIFY(WorkerRunner::waitForAll(15000));
        QCOMPARE(m_messages->texts(), QStringList{msg::kChipEraseFinish});
        QCOMPARE(edit("statusEdit")->text(), QString());

        m_messages->clear();
        m_chip->withModel([](sim::ChipModel &m) { m.setEraseTimes(11000, 0); });
        QVERIFY(press("chipEraseButton"));
        QCOMPARE(m_messages->texts(), QStringList{"Cmd time out"});
        QCOMPARE(m_layer->commandTimeout(), CommandLayer::kDefaultTimeout);
        QCOMPARE(m_layer->timeoutFor(cmd::GetFlashSize), CommandLayer::kDefaultTimeout);
        QVERIFY(press("getSizeButton")); // answered once the late erase answer is out of the way
        QCOMPARE(m_messages->count(), 1);
        QCOMPARE(edit("flashSizeEdit")->text(), QString("512"));
        QVERIFY(m_dlg->isEnabled());
    }
};

QTEST_MAIN(TestFlashOperationDlg)
#include "tst_flash_operation_dlg.moc"
