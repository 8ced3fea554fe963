// The Read/Write Data window against the simulated chip: its typing filters, conversions and
// workers, checked by the frames the chip received and the messages shown.

#include "link/command_layer.h"
#include "sim/pty_chip.h"
#include "tools/read_write_data_dlg.h"
#include "ui/message_recorder.h"
#include "ui/worker_runner.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "tests/common/chip_test.h"

using namespace zm;

// Indexes of Device, Operation, Data Width and Data Num.
using Choices = QList<int>;

class TestReadWriteData : public test::ChipTest
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY2(startChip(), qPrintable(m_error));
        m_dlg = std::make_unique<CReadWriteDataDlg>(*m_layer);
        m_dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
    }
    void cleanup()
    {
        QVERIFY(WorkerRunner::waitForAll(20000));
        m_dlg.reset();
        QVERIFY(stopChip());
    }

    // Choosing a device resets the fields and sets what may be chosen.
    void deviceChoices_data()
    {
        QTest::addColumn<int>("device");
        QTest::addColumn<bool>("widthEnabled");
        QTest::addColumn<int>("counts");
        QTest::newRow("Sensor Reg") << 1 << true << 4;
        QTest::newRow("I2C E2prom") << 3 << false << 8;
        QTest::newRow("SPI Flash") << 5 << false << 8;
    }
    void deviceChoices()
    {
        QFETCH(int, device);
        QFETCH(bool, widthEnabled);
        QFETCH(int, counts);
        QVERIFY(!combo("widthCombo")->isEnabled()); // Chip Reg first
        choose({0, 1, 0, 3});
        edit("addressEdit")->setText("12");
        edit("valueEdit")->setText("ABCD");
        combo("deviceCombo")->setCurrentIndex(device);
        QCOMPARE(combo("widthCombo")->isEnabled(), widthEnabled);
        QCOMPARE(combo("widthCombo")->currentIndex(), 0);
        QCOMPARE(combo("countCombo")->count(), counts);
        QCOMPARE(combo("countCombo")->currentIndex(), 0);
        QCOMPARE(edit("addressEdit")->text(), QString("00"));
        QCOMPARE(edit("valueEdit")->text(), QString("00"));
        QCOMPARE(send()->text(), QString("Write"));
    }

    // Only counts that one command can carry are offered, for the width and operation chosen;
    // the width's label looks as usable as its list.
    void countsFitOneCommand_data()
    {
        QTest::addColumn<Choices>("choices"); // device, operation, width (count left at 0)
        QTest::addColumn<int>("counts");
        QTest::newRow("sensor write 3 bytes") << Choices{1, 1, 2} << 3;
        QTest::newRow("sensor read 3 bytes") << Choices{1, 0, 2} << 4;
        QTest::newRow("sensor write 2 bytes") << Choices{1, 1, 1} << 4;
        QTest::newRow("chip write") << Choices{0, 1, 0} << 8;
    }
    void countsFitOneCommand()
    {
        QFETCH(Choices, choices);
        QFETCH(int, counts);
        combo("deviceCombo")->setCurrentIndex(choices[0]);
        combo("operationCombo")->setCurrentIndex(choices[1]);
        combo("widthCombo")->setCurrentIndex(choices[2]);
        QCOMPARE(combo("countCombo")->count(), counts);
        QCOMPARE(m_dlg->findChild<QLabel *>("widthLabel")->isEnabled(), choices[0] == 1);
        // The largest count offered goes through.
        combo("countCombo")->setCurrentIndex(counts - 1);
        edit("addressEdit")->setText("0010");
        if (choices[1] == 1) {
            QTest::keyClicks(edit("valueEdit"), QString(2 * (choices[2] + 1) * counts, QChar('7')));
        }
        QTest::mouseClick(send(), Qt::LeftButton);
        QVERIFY(WorkerRunner::waitForAll(5000));
        QCOMPARE(m_messages->texts(), QStringList());
        QCOMPARE(m_chip->frames().size(), 1);
    }

    // Typing into the address and value boxes: what is kept.
    void typingFilters_data()
    {
        QTest::addColumn<Choices>("choices");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("chip address: fifth digit undone") << Choices{0, 0, 0, 0} << "addressEdit" << "12345" << "1234";
        QTest::newRow("flash address: eight digits") << Choices{5, 0, 0, 0} << "addressEdit" << "123456789" << "12345678";
        QTest::newRow("address: non-hex undone") << Choices{0, 0, 0, 0} << "addressEdit" << "1g2" << "12";
        QTest::newRow("address: blank passes") << Choices{0, 0, 0, 0} << "addressEdit" << "1 2" << "1 2";
        QTest::newRow("value in Read mode: undone") << Choices{0, 0, 0, 3} << "valueEdit" << "12" << "00";
        QTest::newRow("value: non-hex undone") << Choices{0, 1, 0, 3} << "valueEdit" << "1x2" << "12";
        QTest::newRow("value: 2 x width x count") << Choices{0, 1, 0, 1} << "valueEdit" << "123456" << "1234";
        QTest::newRow("value: 18 digits for 3 bytes x 3") << Choices{1, 1, 2, 2} << "valueEdit"
                                                           << "112233445566778899A" << "112233445566778899";
    }
    void typingFilters()
    {
        QFETCH(Choices, choices);
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        choose(choices);
        QLineEdit *e = edit(field.toLatin1());
        // Erase what is there, keystroke by keystroke (Read mode undoes that too).
        e->end(false);
        for (int i = 0; i < 2; ++i)
            QTest::keyClick(e, Qt::Key_Backspace);
        QTest::keyClicks(e, typed);
        QCOMPARE(e->text(), kept);
    }

    // A value longer than a new, smaller limit is replaced on the next keystroke: by the text
    // before if it fits, else "00". Going back to Read puts "00" back.
    void valueReplacedAndReset()
    {
        choose({0, 1, 0, 3});
        type("valueEdit", "11223344");
        combo("countCombo")->setCurrentIndex(0); // not checked again on its own
        QCOMPARE(edit("valueEdit")->text(), QString("11223344"));
        edit("valueEdit")->end(false);
        QTest::keyClicks(edit("valueEdit"), "5");
        QCOMPARE(edit("valueEdit")->text(), QString("00"));
        type("valueEdit", "AB");
        combo("operationCombo")->setCurrentIndex(0);
        QCOMPARE(edit("valueEdit")->text(), QString("00"));
        QCOMPARE(send()->text(), QString("Read"));
    }

    // What a write sends: the frame the chip got (none: refused) and what it stored.
    void writes_data()
    {
        QTest::addColumn<Choices>("choices");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("missing bytes are zero") << Choices{0, 1, 0, 3} << "1A10" << "12" << QByteArray::fromHex("5600310801041A1012000000");
        QTest::newRow("odd length gets a leading 0") << Choices{0, 1, 0, 1} << "20" << "ABC" << QByteArray::fromHex("56003106010200200ABC");
        QTest::newRow("sensor 3 bytes x 3") << Choices{1, 1, 2, 2} << "0010" << "112233445566778899"
                                            << QByteArray::fromHex("5600310E020303" "0010" "112233445566778899");
        QTest::newRow("flash: 4-byte address") << Choices{5, 1, 0, 0} << "00012345" << "5A" << QByteArray::fromHex("560031070601000123455A");
    }
    void writes()
    {
        QFETCH(Choices, choices);
        QFETCH(QString, address);
        QFETCH(QString, value);
        QFETCH(QByteArray, frame);
        m_chip->withModel([](sim::ChipModel &m) { m.memory().eraseFlash(); }); // flash takes writes on erased bytes
        choose(choices);
        type("addressEdit", address);
        type("valueEdit", value);
        QTest::mouseClick(send(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!m_layer->isBusy(), 5000);
        QCOMPARE(m_messages->texts(), frame.isEmpty() ? QStringList{"Invalid parameter"} : QStringList());
        QCOMPARE(m_chip->frames(), frame.isEmpty() ? QList<QByteArray>() : QList<QByteArray>{frame});
        QVERIFY(m_dlg->isEnabled());
        if (choices == Choices{0, 1, 0, 3})
            QCOMPARE(m_chip->readMemory(MemoryType::Chip, 0x1A10, 4), QByteArray::fromHex("12000000"));
        if (choices == Choices{1, 1, 2, 2})
            QCOMPARE(m_chip->item(MemoryType::Sensor, 0x0012), uint32_t(0x778899));
    }

    // A read shows width x count bytes as hex, with the window disabled meanwhile; a failed one
    // keeps the value shown before.
    void reads_data()
    {
        QTest::addColumn<Choices>("choices");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("I2C E2prom 1 byte x 8") << Choices{3, 0, 0, 7} << "100" << "0102030405060708" << QByteArray::fromHex("5600300404080100");
        QTest::newRow("sensor 3 bytes x 4: 24 digits") << Choices{1, 0, 2, 3} << "20" << "1020302040603060904080C0"
                                                       << QByteArray::fromHex("56003005020403" "0020");
    }
    void reads()
    {
        QFETCH(Choices, choices);
        QFETCH(QString, address);
        QFETCH(QString, shown);
        QFETCH(QByteArray, frame);
        m_chip->writeMemory(MemoryType::I2cEeprom, 0x0100, QByteArray::fromHex("0102030405060708"));
        for (int i = 0; i < 4; ++i)
            m_chip->setItem(MemoryType::Sensor, uint16_t(0x20 + i), 0x102030u * uint32_t(i + 1));
        choose(choices);
        type("addressEdit", address);
        QVERIFY(m_chip->addFault("delay=300,cmd=0x30,times=1"));
        QTest::mouseClick(send(), Qt::LeftButton);
        QVERIFY(!m_dlg->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!m_layer->isBusy() && m_dlg->isEnabled(), 5000);
        QCOMPARE(edit("valueEdit")->text(), shown);
        QCOMPARE(m_chip->frames(), QList<QByteArray>{frame});

        QVERIFY(m_chip->addFault("status=5,cmd=0x30"));
        m_chip->writeMemory(MemoryType::I2cEeprom, 0x0100, QByteArray(8, '\x77'));
        m_chip->setItem(MemoryType::Sensor, 0x20, 0x777777);
        QTest::mouseClick(send(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->texts(), QStringList{"Cmd recept, but execute failed"}, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!m_layer->isBusy() && m_dlg->isEnabled(), 5000);
        QCOMPARE(edit("valueEdit")->text(), shown);
        QCOMPARE(m_dlg->valueText(), shown);
    }

private:
    QComboBox *combo(const char *name) const { return m_dlg->findChild<QComboBox *>(name); }
    QLineEdit *edit(const char *name) const { return m_dlg->findChild<QLineEdit *>(name); }
    QPushButton *send() const { return m_dlg->findChild<QPushButton *>("sendButton"); }
    // In this order: a device change puts width and count back.
    void choose(const Choices &c)
    {
        int i = 0;
        for (const char *name : {"deviceCombo", "operationCombo", "widthCombo", "countCombo"})
            combo(name)->setCurrentIndex(c.at(i++));
    }
    void type(const char *field, const QString &text)
    {
        QLineEdit *e = edit(field);
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        QTest::keyClicks(e, text);
        QCOMPARE(e->text(), text);
    }

    std::unique_ptr<CReadWriteDataDlg> m_dlg;
};

QTEST_MAIN(TestReadWriteData)
#include "tst_read_write_data.moc"
