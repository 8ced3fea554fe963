// The gamma window against the simulated chip: the table it reads on opening, what a slider
// and the buttons write, what a failed read leaves, and the curve that follows the sliders.

#include "features/feature_records.h"
#include "features/gamma_curve_view.h"
#include "features/gamma_dlg.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "tests/features/feature_window_test.h"

using namespace zm;

class TestGammaDlg : public test::FeatureWindowTest
{
    Q_OBJECT

    FeatureRecords m_records;

    void open() { show(std::make_unique<CGammaDlg>(*m_layer, m_records)); }
    QSlider *slider(int n) { return child<QSlider>(QStringLiteral("ySlider%1").arg(n)); }
    QByteArray chipTable() const { return m_chip->readMemory(MemoryType::Chip, 0x1940, 32); }
    static QByteArray bytes(const GammaTable &t) { return QByteArray(reinterpret_cast<const char *>(t.data()), 32); }
    // The frames of a whole-table write: four pieces of 8, then 2 to the update register.
    static QStringList tableWrite(const QByteArray &table)
    {
        QStringList f;
        for (int i = 0; i < 4; ++i)
            f << QStringLiteral("5600310C0108%1").arg(0x1940 + 8 * i, 4, 16, QChar('0')).toUpper()
                    + QString::fromLatin1(table.mid(8 * i, 8).toHex().toUpper());
        return f << QStringLiteral("56003105010119040" "2");
    }
    // A table unlike the default in every byte.
    static QByteArray odd()
    {
        QByteArray t(32, '\0');
        for (int i = 0; i < 32; ++i)
            t[i] = char(3 + i * 7);
        return t;
    }

private slots:
    void init()
    {
        m_records = FeatureRecords{};
        QVERIFY2(startChip(), qPrintable(m_error));
    }
    void cleanup() { closeWindow(); }

    // Opening reads the 32 registers in four pieces and shows them: hex fields, slider
    // positions and the curve.
    void opensWithTheChipsTable()
    {
        m_chip->writeMemory(MemoryType::Chip, 0x1940, odd());
        open();
        checkLook("features_gamma");
        QCOMPARE(frames(), QStringList({"5600300401081940", "5600300401081948", "5600300401081950", "5600300401081958"}));
        QCOMPARE(bytes(m_records.gamma), odd());
        QCOMPARE(child<QLineEdit>("xEdit1")->text(), QString("03"));
        QCOMPARE(child<QLineEdit>("xEdit15")->text(), QString::asprintf("%02X", 3 + 14 * 7));
        QCOMPARE(child<QLineEdit>("yEdit0")->text(), QString::asprintf("%02X", 3 + 15 * 7));
        QCOMPARE(slider(16)->value(), 3 + 31 * 7);
        QCOMPARE(bytes(child<GammaCurveView>("curveView")->table()), odd());
    }

    // The Y0 slider dragged to the top: field and curve follow while it moves, nothing is sent
    // until it is let go, then the whole table with Y0 = 0xFF and the update byte.
    void sliderWritesTheWholeTable()
    {
        open();
        m_chip->clearFrames();
        QSlider *y0 = slider(0);
        y0->setSliderDown(true);
        y0->setValue(255);
        QCOMPARE(child<QLineEdit>("yEdit0")->text(), QString("FF"));
        QCOMPARE(gammaY(child<GammaCurveView>("curveView")->table(), 0), uint8_t(255));
        QTest::qWait(50);
        QVERIFY(m_chip->frames().isEmpty());
        y0->setSliderDown(false);
        settle();
        QByteArray expected = bytes(kDefaultGamma);
        expected[15] = char(0xFF);
        QCOMPARE(frames(), tableWrite(expected));
        QCOMPARE(chipTable(), expected);
        QCOMPARE(m_chip->reg(0x1904), uint8_t(2));
        QVERIFY(m_messages->texts().isEmpty());
    }

    // Set Default writes exactly the default table whatever was there; Set Value writes the
    // table as the window holds it.
    void setDefaultAndSetValue()
    {
        m_chip->writeMemory(MemoryType::Chip, 0x1940, odd());
        open();
        m_chip->clearFrames();
        click("setDefaultButton");
        QCOMPARE(frames(), tableWrite(bytes(kDefaultGamma)));
        QCOMPARE(chipTable(), bytes(kDefaultGamma));
        QCOMPARE(slider(1)->value(), 16);

        m_chip->writeMemory(MemoryType::Chip, 0x1940, odd());
        m_chip->clearFrames();
        click("setValueButton");
        QCOMPARE(chipTable(), bytes(kDefaultGamma));
        QCOMPARE(frames().size(), 5);
    }

    // A read that fails half-way (the third piece) reports it and keeps the table and every
    // field as they were; so does a failed write.
    void failuresLeaveTheTable()
    {
        open();
        m_chip->writeMemory(MemoryType::Chip, 0x1940, odd());
        m_chip->clearFrames();
        // The answers wait long enough to slip the fault in before the third piece is asked for.
        m_chip->setTurnaround(300);
        QTest::mouseClick(child<QPushButton>("getValueButton"), Qt::LeftButton);
        QVERIFY(m_chip->waitForFrames(2, 5000));
        QVERIFY(m_chip->addFault("status=5,cmd=0x30,times=1"));
        settle();
        m_chip->setTurnaround(0);
        QCOMPARE(m_chip->frames().size(), 3);
        QCOMPARE(m_messages->texts(), QStringList{"Read register failed!:Cmd recept, but execute failed"});
        QCOMPARE(bytes(m_records.gamma), bytes(kDefaultGamma));
        QCOMPARE(child<QLineEdit>("xEdit1")->text(), QString("08"));
        QCOMPARE(slider(2)->value(), 35);

        m_messages->clear();
        QVERIFY(m_chip->addFault("noanswer,cmd=0x31,times=1"));
        m_layer->setCommandTimeout(300);
        click("setValueButton");
        QCOMPARE(m_messages->texts(), QStringList{"Write register failed!:Cmd time out"});
        QCOMPARE(bytes(m_records.gamma), bytes(kDefaultGamma));
        QVERIFY(m_dlg->isEnabled());
    }
};

QTEST_MAIN(TestGammaDlg)
#include "tst_gamma_dlg.moc"
