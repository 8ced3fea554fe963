// The Image Property Page against the simulated chip: what opening reads and shows, what a
// slider writes and when, the function control bits, SetDefault and the failures.

#include "features/image_property_dlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "tests/features/feature_window_test.h"

using namespace zm;

class TestImagePropertyDlg : public test::FeatureWindowTest
{
    Q_OBJECT

    void open() { show(std::make_unique<CImagePropertyDlg>(*m_layer)); }
    QList<int> sliders()
    {
        QList<int> v;
        for (const char *s : {"brightnessSlider", "contrastSlider", "offContrastSlider", "hueSlider", "saturationSlider"})
            v << child<QSlider>(s)->value();
        return v;
    }
    // A drag of the handle: pressed, moved, let go.
    void drag(const char *slider, int to)
    {
        auto *s = child<QSlider>(slider);
        s->setSliderDown(true);
        s->setValue(to);
        QVERIFY(m_chip->frames().isEmpty() || !m_layer->isBusy()); // nothing written while held
        s->setSliderDown(false);
        settle();
    }
    static QString readFrame(int count, int address) { return QString::asprintf("56003004010%X%04X", count, address); }
    static QString writeFrame(int address, const char *bytes)
    {
        const int n = int(strlen(bytes)) / 2;
        return QString::asprintf("560031%02X010%X%04X%s", 4 + n, n, address, bytes);
    }

private slots:
    void init() { QVERIFY2(startChip(), qPrintable(m_error)); }
    void cleanup() { closeWindow(); }

    // Opening reads the six registers once and shows them: sliders (signed brightness, hue
    // from sign and magnitude), the enable boxes, the labels and the dump.
    void opensWithTheChipsValues()
    {
        m_chip->writeMemory(MemoryType::Chip, 0x1A00, QByteArray::fromHex("A6"));
        m_chip->writeMemory(MemoryType::Chip, 0x1A10, QByteArray::fromHex("FB8081"));
        m_chip->writeMemory(MemoryType::Chip, 0x1A14, QByteArray::fromHex("9E40"));
        open();
        checkLook("features_image_property");
        QCOMPARE(frames(), QStringList({readFrame(1, 0x1A00), readFrame(3, 0x1A10), readFrame(2, 0x1A14)}));
        QCOMPARE(sliders(), QList<int>({-5, 128, 129, -30, 64}));
        QCOMPARE(child<QLabel>("hueValueLabel")->text(), QString("(0x9E), -30"));
        QCOMPARE(child<QLabel>("contrastValueLabel")->text(), QString("(0x80), 1.0000000"));
        QCOMPARE(child<QLabel>("saturationValueLabel")->text(), QString("(0x40), 1.500000"));
        QCOMPARE(child<QLabel>("brightnessValueLabel")->text(), QString("(0xFB),  -5"));
        // 0xA6: brightness and contrast enabled, hue and saturation not.
        QVERIFY(child<QCheckBox>("enContrastCheck")->isChecked() && child<QCheckBox>("enBrightnessCheck")->isChecked());
        QVERIFY(!child<QCheckBox>("enHueCheck")->isChecked() && !child<QCheckBox>("enSaturationCheck")->isChecked());
        QVERIFY(child<QPlainTextEdit>("registerText")->toPlainText().startsWith("Control      (0x1A00) = 0xA6\n"));
    }

    // A drag writes once, when let go; a keyboard step writes at once; the label follows.
    void slidersWriteTheirRegister_data()
    {
        QTest::addColumn<QByteArray>("slider");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("label");
        QTest::newRow("hue -5") << QByteArray("hueSlider") << -5 << writeFrame(0x1A14, "85") << "(0x85),  -5";
        QTest::newRow("hue +5") << QByteArray("hueSlider") << 5 << writeFrame(0x1A14, "05") << "(0x05),   5";
        QTest::newRow("brightness -128") << QByteArray("brightnessSlider") << -128 << writeFrame(0x1A10, "80") << "(0x80), -128";
        QTest::newRow("off contrast") << QByteArray("offContrastSlider") << 200 << writeFrame(0x1A12, "C8") << "(0xC8), 200";
        QTest::newRow("saturation") << QByteArray("saturationSlider") << 255 << writeFrame(0x1A15, "FF") << "(0xFF), 5.976563";
    }
    void slidersWriteTheirRegister()
    {
        QFETCH(QByteArray, slider);
        QFETCH(int, to);
        QFETCH(QString, frame);
        QFETCH(QString, label);
        open();
        m_chip->clearFrames();
        drag(slider.constData(), to);
        QCOMPARE(frames(), QStringList{frame});
        QCOMPARE(m_dlg->findChild<QLabel *>(QString::fromLatin1(slider).replace("Slider", "ValueLabel"))->text(), label);
        QVERIFY(m_dlg->isEnabled());

        // One step from the keyboard writes the next value without a release.
        m_chip->clearFrames();
        auto *s = child<QSlider>(slider.constData());
        s->setFocus();
        QTest::keyClick(s, s->value() == s->maximum() ? Qt::Key_Down : Qt::Key_Up);
        settle();
        QCOMPARE(frames().size(), 1);
        QVERIFY(frames().first().startsWith(frame.left(16)));
    }

    // Function control: Get shows the Control bits; Set changes only bits 1-4 of what it reads.
    void functionControl()
    {
        open();
        m_chip->setReg(0x1A00, 0xFF);
        click("functionGetButton");
        for (const char *c : {"enContrastCheck", "enBrightnessCheck", "enHueCheck", "enSaturationCheck"}) {
            QVERIFY(child<QCheckBox>(c)->isChecked());
            child<QCheckBox>(c)->setChecked(false);
        }
        child<QCheckBox>("enHueCheck")->setChecked(true);
        m_chip->clearFrames();
        click("functionSetButton");
        QCOMPARE(frames(), QStringList({readFrame(1, 0x1A00), writeFrame(0x1A00, "E9")}));
        QCOMPARE(m_chip->reg(0x1A00), uint8_t(0xE9));
        QVERIFY(m_messages->texts().isEmpty());
    }

    // SetDefault writes both halves; when the first write fails it is reported, the second is
    // still made, and only the sliders whose registers took the defaults move.
    void setDefault()
    {
        m_chip->writeMemory(MemoryType::Chip, 0x1A10, QByteArray::fromHex("10203040"));
        m_chip->writeMemory(MemoryType::Chip, 0x1A14, QByteArray::fromHex("8501"));
        open();
        QCOMPARE(sliders(), QList<int>({16, 32, 48, -5, 1}));
        m_chip->clearFrames();
        QVERIFY(m_chip->addFault("status=5,cmd=0x31,times=1"));
        click("setDefaultButton");
        QCOMPARE(m_messages->texts(), QStringList{"Write chip register failed!:Cmd recept, but execute failed"});
        QCOMPARE(frames(), QStringList({writeFrame(0x1A10, "008080"), writeFrame(0x1A14, "0048")}));
        QCOMPARE(m_chip->readMemory(MemoryType::Chip, 0x1A14, 2), QByteArray::fromHex("0048"));
        QCOMPARE(sliders(), QList<int>({16, 32, 48, 0, 72}));
        QVERIFY(m_chip->frames().size() == 2);

        m_messages->clear();
        click("setDefaultButton");
        QVERIFY(m_messages->texts().isEmpty());
        QCOMPARE(m_chip->readMemory(MemoryType::Chip, 0x1A10, 6), QByteArray::fromHex("008080400048"));
        QCOMPARE(sliders(), QList<int>({0, 128, 128, 0, 72}));
    }

    // A failed read says so with its prefix and leaves sliders and dump as they were; Read
    // Register refreshes the dump only.
    void reads()
    {
        open();
        const QList<int> before = sliders();
        const QString dump = child<QPlainTextEdit>("registerText")->toPlainText();
        m_chip->writeMemory(MemoryType::Chip, 0x1A10, QByteArray::fromHex("7F"));
        QVERIFY(m_chip->addFault("status=4,cmd=0x30,times=1"));
        click("reloadButton");
        QCOMPARE(m_messages->texts(), QStringList{"Read chip register failed!:Cmd can't run in current status"});
        QCOMPARE(sliders(), before);
        QCOMPARE(child<QPlainTextEdit>("registerText")->toPlainText(), dump);
        click("readRegisterButton");
        QCOMPARE(sliders(), before);
        QVERIFY(child<QPlainTextEdit>("registerText")->toPlainText().contains("Brightness   (0x1A10) = 0x7F\n"));
        click("reloadButton");
        QCOMPARE(sliders().first(), 127);
    }
};

QTEST_MAIN(TestImagePropertyDlg)
#include "tst_image_property_dlg.moc"
