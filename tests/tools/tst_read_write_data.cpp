// The Read/Write Data window against the simulated chip: its typing filters, conversions and
// workers, checked by the frames the chip received and the messages shown.

#include "tests/common/window_test.h"
#include "tools/read_write_data_dlg.h"

#include <QComboBox>
#include <QLabel>

using namespace zm;

// Indexes of Device, Operation, Data Width and Data Num.
using Choices = QList<int>;

class TestReadWriteData : public test::WindowTest
{
    Q_OBJECT

    CReadWriteDataDlg *m_rw = nullptr;

    QComboBox *combo(const char *name) const { return child<QComboBox>(name); }
    QPushButton *send() const { return child<QPushButton>("sendButton"); }
    // In this order: a device change puts width and count back.
    void choose(const Choices &c)
    {
        int i = 0;
        for (const char *name : {"deviceCombo", "operationCombo", "widthCombo", "countCombo"})
            combo(name)->setCurrentIndex(c.at(i++));
    }

private slots:
    void init()
    {
        QVERIFY2(startChip(), qPrintable(m_error));
        m_rw = showWindow(std::make_unique<CReadWriteDataDlg>(*m_layer));
    }
    void cleanup() { closeWindow(); }

    // Choosing a device puts the fields back.
    void deviceChoiceResets()
    {
        choose({0, 1, 0, 3});
        edit("addressEdit")->setText("12");
        edit("valueEdit")->setText("ABCD");
        choose({1, 1, 2, 1});
        combo("deviceCombo")->setCurrentIndex(3);
        QCOMPARE(combo("widthCombo")->currentIndex(), 0);
        QCOMPARE(combo("countCombo")->currentIndex(), 0);
        QCOMPARE(text("addressEdit"), QString("00"));
        QCOMPARE(text("valueEdit"), QString("00"));
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
        QCOMPARE(child<QLabel>("widthLabel")->isEnabled(), choices[0] == 1);
        // The largest count offered goes through.
        combo("countCombo")->setCurrentIndex(counts - 1);
        edit("addressEdit")->setText("0010");
        if (choices[1] == 1)
            QTest::keyClicks(edit("valueEdit"), QString(2 * (choices[2] + 1) * counts, QChar('7')));
        press("sendButton");
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
        QTest::newRow("chip address: four digits") << Choices{0, 0, 0, 0} << "addressEdit" << "1g2345" << "1234";
        QTest::newRow("flash address: eight digits") << Choices{5, 0, 0, 0} << "addressEdit" << "123456789" << "12345678";
        QTest::newRow("address: blank passes") << Choices{0, 0, 0, 0} << "addressEdit" << "1 2" << "1 2";
        QTest::newRow("value in Read mode: undone") << Choices{0, 0, 0, 3} << "valueEdit" << "12" << "00";
        QTest::newRow("value: 2 x width x count") << Choices{0, 1, 0, 1} << "valueEdit" << "12x3456" << "1234";
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

    // What a write sends: the frame the chip got and what it stored.
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
        QCOMPARE(text("valueEdit"), value);
        press("sendButton");
        QCOMPARE(m_messages->texts(), QStringList());
        QCOMPARE(m_chip->frames(), QList<QByteArray>{frame});
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
        settle();
        QCOMPARE(text("valueEdit"), shown);
        QCOMPARE(m_chip->frames(), QList<QByteArray>{frame});

        QVERIFY(m_chip->addFault("status=5,cmd=0x30"));
        m_chip->writeMemory(MemoryType::I2cEeprom, 0x0100, QByteArray(8, '\x77'));
        m_chip->setItem(MemoryType::Sensor, 0x20, 0x777777);
        press("sendButton");
        QCOMPARE(m_messages->texts(), QStringList{"Cmd recept, but execute failed"});
        QVERIFY(m_dlg->isEnabled());
        QCOMPARE(text("valueEdit"), shown);
        QCOMPARE(m_rw->valueText(), shown);
    }
};

QTEST_MAIN(TestReadWriteData)
#include "tst_read_write_data.moc"
