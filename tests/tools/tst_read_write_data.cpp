// The Read/Write Data window against the simulated chip: its controls, typing filters,
// conversions and workers, checked by the frames the chip received and the messages shown.

#include "link/command_layer.h"
#include "res/messages.h"
#include "sim/pty_chip.h"
#include "tools/read_write_data_dlg.h"
#include "ui/message_recorder.h"
#include "ui/worker_runner.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace zm;

class TestReadWriteData : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_chip = std::make_unique<sim::PtyChip>();
        QVERIFY2(m_chip->isOpen(), qPrintable(m_chip->errorString()));
        m_layer = std::make_unique<CommandLayer>();
        QString error;
        QVERIFY2(m_layer->open(m_chip->slavePath(), "38400,n,8,1", &error), qPrintable(error));
        m_dlg = std::make_unique<CReadWriteDataDlg>(*m_layer);
        m_dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
        m_messages = std::make_unique<MessageRecorder>();
    }
    void cleanup()
    {
        QVERIFY(WorkerRunner::waitForAll(10000));
        m_messages.reset();
        m_dlg.reset();
        m_layer.reset();
        m_chip.reset();
    }

    void opensWithDefaults()
    {
        QCOMPARE(m_dlg->findChild<QGroupBox *>("dataGroup")->title(), QString("Read/Write Data( Address and data format is Hex)"));
        QCOMPARE(items(combo("operationCombo")), QStringList({"Read", "Write"}));
        QCOMPARE(items(combo("deviceCombo")),
                 QStringList({"Chip Reg", "Sensor Reg", "CCIR656 Reg", "I2C E2prom", "SPI E2prom", "SPI Flash"}));
        QCOMPARE(items(combo("widthCombo")), QStringList({"1Byte", "2Byte", "3Byte"}));
        QCOMPARE(items(combo("countCombo")), QStringList({"1", "2", "3", "4", "5", "6", "7", "8"}));
        QCOMPARE(combo("operationCombo")->currentText(), QString("Read"));
        QCOMPARE(combo("deviceCombo")->currentText(), QString("Chip Reg"));
        QCOMPARE(combo("countCombo")->currentText(), QString("1"));
        QVERIFY(!combo("widthCombo")->isEnabled());
        QCOMPARE(edit("addressEdit")->text(), QString("00"));
        QCOMPARE(edit("valueEdit")->text(), QString("00"));
        QCOMPARE(send()->text(), QString("Read"));
        const QString help = m_dlg->findChild<QLabel *>("helpLabel")->text();
        QCOMPARE(help.split('\n'),
                 QStringList({"Chip Reg:   Data Width = 1 ;    Address = [0x00,0xFFFF]",
                              "Sensor Reg: Data Width = [1,3]; Address = [0x00,0xFFFF]",
                              "I2C E2prom: Data Width = 1 ;    Address = [0x00,0xFFFF]",
                              "SPI E2prom: Data Width = 1 ;    Address = [0x00,0xFFFF]",
                              "SPI Flash:  Data Width = 1 ;    Address = [0x00,0xFFFFFFFF]"}));
    }

    // Choosing a device resets the fields and sets what may be chosen.
    void deviceChoices_data()
    {
        QTest::addColumn<int>("device");
        QTest::addColumn<bool>("widthEnabled");
        QTest::addColumn<int>("counts");
        QTest::newRow("Sensor Reg") << 1 << true << 4;
        QTest::newRow("CCIR656 Reg") << 2 << true << 4;
        QTest::newRow("I2C E2prom") << 3 << false << 8;
        QTest::newRow("SPI Flash") << 5 << false << 8;
    }
    void deviceChoices()
    {
        QFETCH(int, device);
        QFETCH(bool, widthEnabled);
        QFETCH(int, counts);
        combo("operationCombo")->setCurrentIndex(1);
        combo("countCombo")->setCurrentIndex(3);
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

    // Typing into the address and value boxes: what is kept.
    void typingFilters_data()
    {
        QTest::addColumn<int>("device");
        QTest::addColumn<int>("operation");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("chip address: fifth digit undone") << 0 << 0 << 0 << 0 << "addressEdit" << "12345" << "1234";
        QTest::newRow("flash address: eight digits") << 5 << 0 << 0 << 0 << "addressEdit" << "123456789" << "12345678";
        QTest::newRow("address: non-hex undone") << 0 << 0 << 0 << 0 << "addressEdit" << "1g2" << "12";
        QTest::newRow("address: blank passes") << 0 << 0 << 0 << 0 << "addressEdit" << "1 2" << "1 2";
        QTest::newRow("value in Read mode: undone") << 0 << 0 << 0 << 3 << "valueEdit" << "12" << "";
        QTest::newRow("value: non-hex undone") << 0 << 1 << 0 << 3 << "valueEdit" << "1x2" << "12";
        QTest::newRow("value: 2 x width x count") << 0 << 1 << 0 << 1 << "valueEdit" << "123456" << "1234";
        QTest::newRow("value: 24 digits for 3 bytes x 4") << 1 << 1 << 2 << 3 << "valueEdit"
                                                           << "112233445566778899AABBCCD" << "112233445566778899AABBCC";
    }
    void typingFilters()
    {
        QFETCH(int, device);
        QFETCH(int, operation);
        QFETCH(int, width);
        QFETCH(int, count);
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        combo("deviceCombo")->setCurrentIndex(device);
        combo("operationCombo")->setCurrentIndex(operation);
        combo("widthCombo")->setCurrentIndex(width);
        combo("countCombo")->setCurrentIndex(count);
        QLineEdit *e = edit(field.toLatin1());
        // Erase what is there, keystroke by keystroke (Read mode undoes that too).
        e->end(false);
        for (int i = 0; i < 2; ++i)
            QTest::keyClick(e, Qt::Key_Backspace);
        QTest::keyClicks(e, typed);
        const QString expected = operation == 0 && field == "valueEdit" ? QString("00") : kept;
        QCOMPARE(e->text(), expected);
    }

    // A value longer than the new limit is replaced: by the text before if it fits, else "00".
    void valueTooLongAfterCountChange()
    {
        combo("operationCombo")->setCurrentIndex(1);
        combo("countCombo")->setCurrentIndex(3);
        edit("valueEdit")->clear();
        QTest::keyClicks(edit("valueEdit"), "11223344");
        combo("countCombo")->setCurrentIndex(0); // not checked again on its own
        QCOMPARE(edit("valueEdit")->text(), QString("11223344"));
        edit("valueEdit")->end(false);
        QTest::keyClicks(edit("valueEdit"), "5");
        QCOMPARE(edit("valueEdit")->text(), QString("00"));
    }

    void writeToReadResetsValue()
    {
        combo("operationCombo")->setCurrentIndex(1);
        edit("valueEdit")->setText("AB");
        combo("operationCombo")->setCurrentIndex(0);
        QCOMPARE(edit("valueEdit")->text(), QString("00"));
        QCOMPARE(send()->text(), QString("Read"));
    }

    // What a write sends: the frame the chip got and what it stored.
    void writes_data()
    {
        QTest::addColumn<int>("device");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("missing bytes are zero") << 0 << 0 << 3 << "1A10" << "12"
                                                << QByteArray::fromHex("5600310801041A1012000000");
        QTest::newRow("odd length gets a leading 0") << 0 << 0 << 1 << "20" << "ABC"
                                                     << QByteArray::fromHex("56003106010200200ABC");
        QTest::newRow("blanks ignored") << 3 << 0 << 2 << "1 00" << "12 34"
                                        << QByteArray::fromHex("5600310704030100123400");
        QTest::newRow("sensor 3 bytes x 3") << 1 << 2 << 2 << "0010" << "112233445566778899"
                                            << QByteArray::fromHex("5600310E020303" "0010" "112233445566778899");
        QTest::newRow("flash: 4-byte address") << 5 << 0 << 0 << "00012345" << "5A"
                                               << QByteArray::fromHex("560031070601000123455A");
    }
    void writes()
    {
        QFETCH(int, device);
        QFETCH(int, width);
        QFETCH(int, count);
        QFETCH(QString, address);
        QFETCH(QString, value);
        QFETCH(QByteArray, frame);
        if (device == 5)
            m_chip->withModel([](sim::ChipModel &m) { m.memory().eraseFlash(); });
        combo("deviceCombo")->setCurrentIndex(device);
        combo("operationCombo")->setCurrentIndex(1);
        combo("widthCombo")->setCurrentIndex(width);
        combo("countCombo")->setCurrentIndex(count);
        type("addressEdit", address);
        type("valueEdit", value);
        QTest::mouseClick(send(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!m_layer->isBusy(), 5000);
        QVERIFY2(m_messages->texts().isEmpty(), qPrintable(m_messages->texts().join(" | ")));
        QCOMPARE(m_chip->frames(), QList<QByteArray>{frame});
        QVERIFY(m_dlg->isEnabled());
        if (device == 0 && count == 3)
            QCOMPARE(m_chip->readMemory(MemoryType::Chip, 0x1A10, 4), QByteArray::fromHex("12000000"));
        if (device == 1)
            QCOMPARE(m_chip->item(MemoryType::Sensor, 0x0012), uint32_t(0x778899));
    }

    // A read shows width x count bytes as hex; a failed one keeps the value shown before.
    void readAndFailedRead()
    {
        m_chip->writeMemory(MemoryType::I2cEeprom, 0x0100, QByteArray::fromHex("0102030405060708"));
        combo("deviceCombo")->setCurrentIndex(3);
        combo("countCombo")->setCurrentIndex(7);
        type("addressEdit", "100");
        QTest::mouseClick(send(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(edit("valueEdit")->text(), QString("0102030405060708"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!m_layer->isBusy(), 5000);
        QCOMPARE(m_chip->frames(), QList<QByteArray>{QByteArray::fromHex("5600300404080100")});

        QVERIFY(m_chip->addFault("status=5,cmd=0x30"));
        m_chip->writeMemory(MemoryType::I2cEeprom, 0x0100, QByteArray(8, '\x77'));
        QTest::mouseClick(send(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->texts(), QStringList{"Cmd recept, but execute failed"}, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!m_layer->isBusy(), 5000);
        QCOMPARE(edit("valueEdit")->text(), QString("0102030405060708"));
        QCOMPARE(m_dlg->valueText(), QString("0102030405060708"));
        QVERIFY(m_dlg->isEnabled());
    }

    void readSensorShows24Digits()
    {
        for (int i = 0; i < 4; ++i)
            m_chip->setItem(MemoryType::Sensor, uint16_t(0x20 + i), 0x102030u * uint32_t(i + 1));
        combo("deviceCombo")->setCurrentIndex(1);
        combo("widthCombo")->setCurrentIndex(2);
        combo("countCombo")->setCurrentIndex(3);
        type("addressEdit", "20");
        QTest::mouseClick(send(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(edit("valueEdit")->text(), QString("1020302040603060904080C0"), 5000);
        QCOMPARE(m_chip->frames(), QList<QByteArray>{QByteArray::fromHex("56003005020403" "0020")});
    }

    // 24 digits may be typed for a sensor write of 3 bytes x 4, but one frame cannot carry 12
    // data bytes behind a sensor address: the command layer refuses and nothing is sent.
    void sensorWriteBeyondOneFrame()
    {
        combo("deviceCombo")->setCurrentIndex(1);
        combo("operationCombo")->setCurrentIndex(1);
        combo("widthCombo")->setCurrentIndex(2);
        combo("countCombo")->setCurrentIndex(3);
        type("valueEdit", "112233445566778899AABBCC");
        QTest::mouseClick(send(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->texts(), QStringList{"Invalid parameter"}, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!m_layer->isBusy(), 5000);
        QVERIFY(m_chip->frames().isEmpty());
    }

    // While a command is in flight the window is disabled, ignores Cancel and Escape, and a
    // second command is refused.
    void busyWindow()
    {
        QVERIFY(m_chip->addFault("delay=600,cmd=0x30"));
        QTest::mouseClick(send(), Qt::LeftButton);
        QVERIFY(!m_dlg->isEnabled());
        QTest::mouseClick(m_dlg->findChild<QPushButton *>("cancelButton"), Qt::LeftButton);
        m_dlg->reject();
        QVERIFY(!m_dlg->close());
        QVERIFY(m_dlg->isVisible());
        // Another window's command meets the busy flag.
        CReadWriteDataDlg other(*m_layer);
        QTest::mouseClick(other.findChild<QPushButton *>("sendButton"), Qt::LeftButton);
        QCOMPARE(m_messages->texts(), QStringList{msg::kBusy});
        QCOMPARE(m_messages->at(0).icon, QMessageBox::Warning);
        QTRY_VERIFY_WITH_TIMEOUT(!m_layer->isBusy() && m_dlg->isEnabled(), 5000);
        QCOMPARE(m_chip->frames().size(), 1);
        QTest::mouseClick(m_dlg->findChild<QPushButton *>("cancelButton"), Qt::LeftButton);
        QVERIFY(!m_dlg->isVisible());
    }

    // The line goes away during a read: the read fails, the old value stays.
    void portVanishesMidRead()
    {
        m_chip->setReg(0x10, 0x5A);
        type("addressEdit", "10");
        QTest::mouseClick(send(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(edit("valueEdit")->text(), QString("5A"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!m_layer->isBusy(), 5000);
        QVERIFY(m_chip->addFault("hangup,cmd=0x30"));
        QTest::mouseClick(send(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!m_layer->isBusy(), 5000);
        QCOMPARE(m_messages->texts(), QStringList{"Unknow error"});
        QVERIFY(!m_layer->isOpen());
        QCOMPARE(edit("valueEdit")->text(), QString("5A"));
        QVERIFY(m_dlg->isEnabled());
        // With the port gone, the next press fails at once instead of waiting.
        QTest::mouseClick(send(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_messages->count(), 2, 5000);
        QCOMPARE(m_messages->at(1).text, QString("Send data failed"));
    }

private:
    QComboBox *combo(const char *name) const { return m_dlg->findChild<QComboBox *>(name); }
    QLineEdit *edit(const char *name) const { return m_dlg->findChild<QLineEdit *>(name); }
    QPushButton *send() const { return m_dlg->findChild<QPushButton *>("sendButton"); }
    static QStringList items(QComboBox *c)
    {
        QStringList out;
        for (int i = 0; i < c->count(); ++i)
            out << c->itemText(i);
        return out;
    }
    void type(const char *field, const QString &text)
    {
        QLineEdit *e = edit(field);
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        QTest::keyClicks(e, text);
        QCOMPARE(e->text(), text);
    }

    std::unique_ptr<sim::PtyChip> m_chip;
    std::unique_ptr<CommandLayer> m_layer;
    std::unique_ptr<CReadWriteDataDlg> m_dlg;
    std::unique_ptr<MessageRecorder> m_messages;
};

QTEST_MAIN(TestReadWriteData)
#include "tst_read_write_data.moc"
