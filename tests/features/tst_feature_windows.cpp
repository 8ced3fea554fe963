// The feature windows against the simulated chip: the mode windows (colour, mirror, AE, power
// save), the clock, Other Control, Zoom, Gamma and the Image Property Page (with the
// picture-control record of the control info): what their buttons send, what they show of the
// answers and the records, and how they behave when a command fails or another one runs.

#include "features/ae_ctrl_dlg.h"
#include "features/color_ctrl_dlg.h"
#include "features/feature_records.h"
#include "features/gamma_curve_view.h"
#include "features/gamma_dlg.h"
#include "features/image_property_dlg.h"
#include "features/mirror_ctrl_dlg.h"
#include "features/other_ctrl_dlg.h"
#include "features/power_ctrl_dlg.h"
#include "features/rtc_time_dlg.h"
#include "features/zoom_dlg.h"
#include "features/zoom_view.h"
#include "ctrlinfo/config_settings.h"
#include "link/messages.h"
#include "sim/ctrl_info_image.h"
#include "tests/common/window_test.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSlider>
#include <QTimeEdit>

using namespace zm;
using sim::CtrlInfoPlace;

Q_DECLARE_METATYPE(zm::ZoomRect)
Q_DECLARE_METATYPE(CtrlInfoPlace)

class TestFeatureWindows : public test::WindowTest
{
    Q_OBJECT

    FeatureRecords m_records;

    void open(const QString &which)
    {
        if (which == "color")
            showWindow(std::make_unique<CColorCtrlDlg>(*m_session, m_records));
        else if (which == "mirror")
            showWindow(std::make_unique<CMirrorCtrlDlg>(*m_session, m_records));
        else if (which == "ae")
            showWindow(std::make_unique<CAeCtrlDlg>(*m_session, m_records));
        else if (which == "power")
            showWindow(std::make_unique<CPowerCtrlDlg>(*m_session, m_records));
        else if (which == "rtc")
            showWindow(std::make_unique<CRtcTimeDlg>(*m_session));
        else if (which == "zoom")
            showWindow(std::make_unique<CZoomDlg>(*m_session, m_records));
        else if (which == "gamma")
            showWindow(std::make_unique<CGammaDlg>(*m_session, m_records));
        else
            showWindow(std::make_unique<COtherCtrlDlg>(*m_session));
    }
    ToolDialog *dlg() { return static_cast<ToolDialog *>(m_dlg.get()); }
    // A click on a radio button or push button, and the worker it started run to its end.
    void hit(const QString &button)
    {
        QTest::mouseClick(child<QAbstractButton>(button), Qt::LeftButton);
        settle();
    }
    bool checked(const QString &radio) { return child<QAbstractButton>(radio)->isChecked(); }
    QStringList frames() const
    {
        QStringList hex;
        for (const QByteArray &f : m_chip->frames())
            hex << QString::fromLatin1(f.toHex().toUpper());
        return hex;
    }

    static QString setZoomFrame(int w, int h, int x, int y) { return QString::asprintf("56005208%04X%04X%04X%04X", w, h, x, y); }

    QSlider *ySlider(int n) { return child<QSlider>(QStringLiteral("ySlider%1").arg(n)); }
    QByteArray chipGamma() const { return m_chip->readMemory(MemoryType::Chip, 0x1940, 32); }
    static QByteArray bytes(const GammaTable &t) { return QByteArray(reinterpret_cast<const char *>(t.data()), 32); }
    // A table unlike the default in every byte.
    static QByteArray oddGamma()
    {
        QByteArray t(32, '\0');
        for (int i = 0; i < 32; ++i)
            t[i] = char(3 + i * 7);
        return t;
    }

    void openImageProperty() { showWindow(std::make_unique<CImagePropertyDlg>(*m_session)); }
    QList<int> sliders()
    {
        QList<int> v;
        for (const char *s : {"brightnessSlider", "contrastSlider", "offContrastSlider", "hueSlider", "saturationSlider"})
            v << child<QSlider>(s)->value();
        return v;
    }
    static QString readFrame(int count, int address) { return QString::asprintf("56003004010%X%04X", count, address); }
    static QString writeFrame(int address, const char *bytes)
    {
        const int n = int(strlen(bytes)) / 2;
        return QString::asprintf("560031%02X010%X%04X%s", 4 + n, n, address, bytes);
    }

    // A fresh chip whose control info lies in `place`, the session open on it.
    void useChip(CtrlInfoPlace place)
    {
        m_session->close();
        sim::PtyChip::Options o;
        o.chip.ctrlInfo = place;
        m_chip = std::make_unique<sim::PtyChip>(o);
        QVERIFY2(m_session->open(m_chip->slavePath(), QStringLiteral("38400,n,8,1"), &m_error), qPrintable(m_error));
    }
    static MemoryType memoryOf(CtrlInfoPlace place) { return MemoryType(uint8_t(place) + 3); }
    void pokeBe16(CtrlInfoPlace place, uint16_t address, uint16_t value)
    {
        m_chip->writeMemory(memoryOf(place), address, QByteArray::fromHex(QByteArray::number(value, 16).rightJustified(4, '0')));
    }
    void setRecordAddress(CtrlInfoPlace place, uint16_t record)
    {
        pokeBe16(place, sim::kExternTableAddress + 2 * 16, record);
    }
    // The write-data frames sent to the memory of `place`.
    QStringList deviceWrites(CtrlInfoPlace place)
    {
        QStringList writes;
        for (const QString &f : frames())
            if (f.mid(4, 2) == "31" && f.mid(8, 2).toInt(nullptr, 16) == int(place) + 3)
                writes << f;
        return writes;
    }
    // No worker holds the link and the window takes presses again.
    void checkIdle() { QVERIFY(!m_session->isBusy() && m_dlg->isEnabled()); }
    QString e2promText() { return child<QPlainTextEdit>("e2promText")->toPlainText(); }

private slots:
    void init()
    {
        m_records = FeatureRecords{};
        QVERIFY2(startChip(), qPrintable(m_error));
    }
    void cleanup() { closeWindow(); }

    // Every window fits the screen with all its texts, and opens without a word on the line.
    void opensQuietly_data()
    {
        QTest::addColumn<QString>("window");
        for (const char *w : {"color", "mirror", "ae", "power", "rtc", "other", "zoom"})
            QTest::newRow(w) << QString(w);
    }
    void opensQuietly()
    {
        QFETCH(QString, window);
        open(window);
        checkFit("features_" + window);
        QTest::qWait(50);
        QVERIFY(m_chip->frames().isEmpty());
    }

    // What each button sends after the given radios were pressed.
    void setsAndGets_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("frame");
        QTest::newRow("colour manual BW by GPIO") << "color" << QStringList{"colorGpioRadio", "colorModeRadio2", "colorSetButton"} << "56003C020003";
        QTest::newRow("mirror get") << "mirror" << QStringList{"mirrorGetButton"} << "56003B00";
        QTest::newRow("AE force indoor by GPIO") << "ae" << QStringList{"indoorGpioRadio", "indoorModeRadio1", "indoorSetButton"} << "56004003010001";
        QTest::newRow("into power save") << "power" << QStringList{"powerUartRadio", "powerModeRadio1", "powerSetButton"} << "56003E03000101";
        QTest::newRow("close DAC") << "other" << QStringList{"closeDacButton"} << "5600440100";
    }
    void setsAndGets()
    {
        QFETCH(QString, window);
        QFETCH(QStringList, clicks);
        QFETCH(QString, frame);
        open(window);
        for (const QString &c : clicks)
            hit(c);
        QCOMPARE(m_messages->headlines(), QStringList());
        QCOMPARE(frames(), QStringList{frame});
        // No message box for a success, but the window says that it went.
        const QString status = child<QLabel>("statusLine")->text();
        const QString pressed = child<QAbstractButton>(clicks.last())->text();
        QVERIFY2(QRegularExpression("^" + QRegularExpression::escape(pressed) + ": done at \\d\\d:\\d\\d:\\d\\d$")
                     .match(status)
                     .hasMatch(),
                 qPrintable(status));
    }

    // A Set remembers the radios for the next opening; a Get shows and remembers the chip's.
    void recordsOutliveTheWindow()
    {
        open("color");
        hit("colorGpioRadio");
        hit("colorModeRadio1");
        hit("colorSetButton");
        m_dlg.reset();
        open("color");
        QVERIFY(checked("colorGpioRadio") && checked("colorModeRadio1"));
        m_dlg.reset();
        m_chip->withModel([](sim::ChipModel &m) { m.features().ae[2] = {0, 0}; });
        open("ae");
        hit("blcGetButton");
        QVERIFY(checked("blcGpioRadio") && checked("blcModeRadio0"));
        QCOMPARE(m_records.aeBlc.source, kGpioControl);
    }

    // A colour mode of 1 has no radio: all three are clear, and Set refuses to send the 1 back
    // until a mode is chosen.
    void colourModeOneLeavesTheRadiosClear()
    {
        m_chip->withModel([](sim::ChipModel &m) { m.features().colorMode = 1; });
        open("color");
        hit("colorGetButton");
        QVERIFY(!checked("colorModeRadio0") && !checked("colorModeRadio1") && !checked("colorModeRadio2"));
        m_chip->clearFrames();
        hit("colorSetButton");
        QCOMPARE(m_messages->headlines(), QStringList{"Select one of Auto Switch, Manual Color, Manual BW first."});
        QVERIFY(m_chip->frames().isEmpty());
        hit("colorModeRadio0");
        hit("colorSetButton");
        QCOMPARE(frames(), QStringList{"56003C020100"});
    }

    // A failed get shows the result text alone and changes neither the radios nor the record.
    void failedGetKeepsWhatWasShown()
    {
        m_records.mirror = {kGpioControl, 1, 0};
        open("mirror");
        QVERIFY(m_chip->addFault("status=5,cmd=0x3B"));
        hit("mirrorGetButton");
        QCOMPARE(m_messages->headlines(), QStringList{"Cmd recept, but execute failed"});
        QVERIFY(child<QLabel>("statusLine")->text().startsWith("Get Config: failed at "));
        QVERIFY(checked("mirrorGpioRadio") && checked("mirrorModeRadio1"));
        QCOMPARE(m_records.mirror.mode, uint8_t(1));
        QVERIFY(m_dlg->isEnabled());
    }

    // Other Control's buttons stay enabled while a command runs (the mode windows are disabled,
    // as every window of a worker): a second press is refused with the busy message and sends
    // nothing, and the window does not close meanwhile.
    void otherControlWhileACommandRuns()
    {
        open("other");
        QVERIFY(m_chip->addFault("delay=400,times=1"));
        click("openDacButton");
        QVERIFY(m_session->isBusy() && m_dlg->isEnabled());
        click("execFormulaButton");
        dlg()->reject();
        QVERIFY(m_dlg->isVisible());
        settle();
        QCOMPARE(m_messages->headlines(), QStringList{msg::kBusy});
        QCOMPARE(m_chip->frames().size(), 1);
        checkIdle();
    }

    // Power save time: 65535 goes out as FF FF; an empty field sends nothing. A get shows the
    // flags' mode index, the motion bit and the time.
    void powerSaveProperty()
    {
        open("power");
        type("timeEdit", "65535");
        child<QComboBox>("powerModeCombo")->setCurrentIndex(1);
        child<QCheckBox>("relateMotionCheck")->setChecked(true);
        press("propertySetButton");
        QCOMPARE(frames(), QStringList{"56003E040105FFFF"});

        m_chip->clearFrames();
        edit("timeEdit")->clear();
        press("propertySetButton");
        QCOMPARE(m_messages->headlines(), QStringList{"Power Save Time must be a number from 0 to 65535."});
        QVERIFY(m_chip->frames().isEmpty());

        m_chip->withModel([](sim::ChipModel &m) {
            m.features().powerSaveFlags = 0x04;
            m.features().powerSaveTime = 1234;
        });
        press("propertyGetButton");
        QCOMPARE(child<QComboBox>("powerModeCombo")->currentIndex(), 0);
        QVERIFY(child<QCheckBox>("relateMotionCheck")->isChecked());
        QCOMPARE(text("timeEdit"), QString("1234"));
    }

    // The pickers follow the PC's clock while "Use Current Time" is checked; Set Time sends what
    // they show and writes it into its field; Get Time shows the chip's clock.
    void clock()
    {
        open("rtc");
        auto *date = child<QDateEdit>("dateEdit");
        QVERIFY(!date->isEnabled());
        QCOMPARE(date->date(), QDate::currentDate());
        child<QCheckBox>("useCurrentCheck")->setChecked(false);
        date->setDate(QDate(2024, 2, 29));
        child<QTimeEdit>("timeEdit")->setTime(QTime(23, 59, 58));
        press("setTimeButton");
        QCOMPARE(text("setTimeEdit"), QString("2024-02-29 23:59:58"));
        QCOMPARE(frames(), QStringList{"560050070" "7E8021D173B3A"});
        press("getTimeButton");
        QVERIFY2(text("getTimeEdit").startsWith("2024-"), qPrintable(text("getTimeEdit")));
    }

    // Each press works the rectangle out from the window's values (the steps from the lists)
    // and sends it at once; the fields, the record and the drawing follow.
    void zoomButtons()
    {
        m_records.zoom.zoom = ZoomRect{640, 480, 0, 0};
        open("zoom");
        child<QComboBox>("verZoomCombo")->setCurrentIndex(0); // 8 lines a step
        press("zoomInButton");
        press("centerButton");
        QCOMPARE(m_messages->headlines(), QStringList());
        QCOMPARE(frames(), QStringList({setZoomFrame(608, 472, 0, 0), setZoomFrame(608, 472, 16, 4)}));
        QCOMPARE(QStringList({text("zoomWidthEdit"), text("zoomHeightEdit"), text("hStartEdit"), text("vStartEdit")}),
                 QStringList({"608", "472", "16", "4"}));
        QCOMPARE(int(m_records.zoom.zoom.vStart), 4);
        const ZoomPicture drawn = child<ZoomView>("zoomView")->picture();
        QCOMPARE(drawn.zoom.width() / drawn.frame.width(), 608 / 640.0);
    }

    // Typed values: an empty field stops the button with a message naming it; the drawing
    // marks a rectangle that leaves the source, which the chip then refuses.
    void zoomTypedValues()
    {
        open("zoom");
        QVERIFY(child<QLabel>("refuseLabel")->text().isEmpty());
        type("zoomWidthEdit", "7000");
        QVERIFY(!child<ZoomView>("zoomView")->picture().fits);
        // Said beside the drawing before it goes; sent all the same.
        QVERIFY(child<QLabel>("refuseLabel")->text().contains("the chip will refuse it"));
        checkFit("features_zoom_refused");
        press("setZoomButton");
        QCOMPARE(m_messages->headlines(), QStringList{"Invalid data format"});
        type("zoomWidthEdit", "320");
        QVERIFY(child<QLabel>("refuseLabel")->text().isEmpty());

        m_messages->clear();
        m_chip->clearFrames();
        edit("vStartEdit")->clear();
        press("zoomInButton");
        QCOMPARE(m_messages->headlines(), QStringList{"vStartPos must be a number from 0 to 65535."});
        QVERIFY(m_chip->frames().isEmpty());
    }

    // The down-size byte: vertical index times 16 plus horizontal; a get selects both lists,
    // an index the lists do not have leaves its list empty and stops Set.
    void zoomDownSize()
    {
        open("zoom");
        child<QComboBox>("horCombo")->setCurrentIndex(2);
        child<QComboBox>("verCombo")->setCurrentIndex(1);
        press("setDownSizeButton");
        QCOMPARE(frames(), QStringList{"5600540112"});
        m_chip->withModel([](sim::ChipModel &m) { m.features().downSize = 0x30; });
        press("getDownSizeButton");
        QCOMPARE(child<QComboBox>("horCombo")->currentIndex(), 0);
        QCOMPARE(child<QComboBox>("verCombo")->currentIndex(), -1);
        m_chip->clearFrames();
        press("setDownSizeButton");
        QCOMPARE(m_messages->headlines(), QStringList{"Select one of 1, 1/2, 1/4 first."});
        QVERIFY(m_chip->frames().isEmpty());
    }

    // Opening reads the 32 registers in four pieces and shows them: hex fields, slider
    // positions and the curve. The Y0 slider dragged to the top: field and curve follow while it
    // moves, nothing is sent until it is let go, then the whole table with Y0 = 0xFF and the
    // update byte (the pieces are zmctl gamma-set's, checked there). Set Default writes the
    // default table.
    void gamma()
    {
        m_chip->writeMemory(MemoryType::Chip, 0x1940, oddGamma());
        open("gamma");
        checkFit("features_gamma");
        QCOMPARE(frames(), QStringList({"5600300401081940", "5600300401081948", "5600300401081950", "5600300401081958"}));
        QCOMPARE(bytes(m_records.gamma), oddGamma());
        QCOMPARE(text("xEdit1"), QString("03"));
        QCOMPARE(ySlider(16)->value(), 3 + 31 * 7);
        QCOMPARE(bytes(child<GammaCurveView>("curveView")->table()), oddGamma());

        m_chip->clearFrames();
        QSlider *y0 = ySlider(0);
        y0->setSliderDown(true);
        y0->setValue(255);
        QCOMPARE(text("yEdit0"), QString("FF"));
        QCOMPARE(gammaY(child<GammaCurveView>("curveView")->table(), 0), uint8_t(255));
        QTest::qWait(50);
        QVERIFY(m_chip->frames().isEmpty());
        y0->setSliderDown(false);
        settle();
        QByteArray expected = oddGamma();
        expected[15] = char(0xFF);
        QCOMPARE(chipGamma(), expected);
        QCOMPARE(m_chip->reg(0x1904), uint8_t(2));

        press("setDefaultButton");
        QCOMPARE(chipGamma(), bytes(kDefaultGamma));
        QVERIFY(m_messages->texts().isEmpty());
    }

    // A read that fails half-way (the third piece) reports it and keeps the table and every
    // field as they were; so does a failed write.
    void gammaFailuresLeaveTheTable()
    {
        open("gamma");
        m_chip->writeMemory(MemoryType::Chip, 0x1940, oddGamma());
        m_chip->clearFrames();
        // The answers wait long enough to slip the fault in before the third piece is asked for.
        m_chip->setTurnaround(300);
        click("getValueButton");
        QVERIFY(m_chip->waitForFrames(2, 5000));
        QVERIFY(m_chip->addFault("status=5,cmd=0x30,times=1"));
        settle();
        m_chip->setTurnaround(0);
        QCOMPARE(m_chip->frames().size(), 3);
        QCOMPARE(m_messages->headlines(), QStringList{"Read register failed!:Cmd recept, but execute failed"});
        QCOMPARE(bytes(m_records.gamma), bytes(kDefaultGamma));
        QCOMPARE(text("xEdit1"), QString("08"));
        QCOMPARE(ySlider(2)->value(), 35);

        m_messages->clear();
        QVERIFY(m_chip->addFault("noanswer,cmd=0x31,times=1"));
        m_session->updateSettings([](LinkSettings &s) { s.commandTimeoutMs = 300; });
        press("setValueButton");
        QCOMPARE(m_messages->headlines(), QStringList{"Write register failed!:Cmd time out"});
        QCOMPARE(bytes(m_records.gamma), bytes(kDefaultGamma));
        QVERIFY(m_dlg->isEnabled());
    }

    // Opening reads the six registers once and shows them: sliders (signed brightness, hue
    // from sign and magnitude), the enable boxes, the labels and the dump.
    void opensWithTheChipsValues()
    {
        m_chip->writeMemory(MemoryType::Chip, 0x1A00, QByteArray::fromHex("A6"));
        m_chip->writeMemory(MemoryType::Chip, 0x1A10, QByteArray::fromHex("FB8081"));
        m_chip->writeMemory(MemoryType::Chip, 0x1A14, QByteArray::fromHex("9E40"));
        openImageProperty();
        checkFit("features_image_property");
        QCOMPARE(frames(), QStringList({readFrame(1, 0x1A00), readFrame(3, 0x1A10), readFrame(2, 0x1A14)}));
        QCOMPARE(sliders(), QList<int>({-5, 128, 129, -30, 64}));
        QCOMPARE(child<QLabel>("hueValueLabel")->text(), QString("(0x9E), -30"));
        // 0xA6: brightness and contrast enabled, hue and saturation not.
        QVERIFY(child<QCheckBox>("enContrastCheck")->isChecked() && child<QCheckBox>("enBrightnessCheck")->isChecked());
        QVERIFY(!child<QCheckBox>("enHueCheck")->isChecked() && !child<QCheckBox>("enSaturationCheck")->isChecked());
        QVERIFY(child<QPlainTextEdit>("registerText")->toPlainText().startsWith("Control      (0x1A00) = 0xA6\n"));

        // Function control: Get shows the Control bits; Set changes only bits 1-4 of what it reads.
        m_chip->setReg(0x1A00, 0xFF);
        press("functionGetButton");
        for (const char *c : {"enContrastCheck", "enBrightnessCheck", "enHueCheck", "enSaturationCheck"}) {
            QVERIFY(child<QCheckBox>(c)->isChecked());
            child<QCheckBox>(c)->setChecked(false);
        }
        child<QCheckBox>("enHueCheck")->setChecked(true);
        m_chip->clearFrames();
        press("functionSetButton");
        QCOMPARE(frames(), QStringList({readFrame(1, 0x1A00), writeFrame(0x1A00, "E9")}));
        QVERIFY(m_messages->texts().isEmpty());
    }

    // A drag writes once, when let go; a keyboard step writes at once; the label follows.
    void slidersWriteTheirRegister_data()
    {
        QTest::addColumn<QByteArray>("slider");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("frame");
        QTest::newRow("hue -5") << QByteArray("hueSlider") << -5 << writeFrame(0x1A14, "85");
        QTest::newRow("brightness -128") << QByteArray("brightnessSlider") << -128 << writeFrame(0x1A10, "80");
        QTest::newRow("saturation") << QByteArray("saturationSlider") << 255 << writeFrame(0x1A15, "FF");
    }
    void slidersWriteTheirRegister()
    {
        QFETCH(QByteArray, slider);
        QFETCH(int, to);
        QFETCH(QString, frame);
        openImageProperty();
        m_chip->clearFrames();
        auto *s = child<QSlider>(slider.constData());
        s->setSliderDown(true);
        s->setValue(to);
        QVERIFY(m_chip->frames().isEmpty() || !m_session->isBusy()); // nothing written while held
        s->setSliderDown(false);
        settle();
        QCOMPARE(frames(), QStringList{frame});
        QCOMPARE(child<QLabel>(QString::fromLatin1(slider).replace("Slider", "ValueLabel"))->text().left(6),
                 "(0x" + frame.right(2) + ")");

        // One step from the keyboard writes the next value without a release.
        m_chip->clearFrames();
        s->setFocus();
        QTest::keyClick(s, s->value() == s->maximum() ? Qt::Key_Down : Qt::Key_Up);
        settle();
        QCOMPARE(frames().size(), 1);
        QVERIFY(frames().first().startsWith(frame.left(16)));
    }

    // SetDefault writes both halves; when the first write fails it is reported, the second is
    // still made, and only the sliders whose registers took the defaults move.
    void setDefault()
    {
        m_chip->writeMemory(MemoryType::Chip, 0x1A10, QByteArray::fromHex("10203040"));
        m_chip->writeMemory(MemoryType::Chip, 0x1A14, QByteArray::fromHex("8501"));
        openImageProperty();
        QCOMPARE(sliders(), QList<int>({16, 32, 48, -5, 1}));
        m_chip->clearFrames();
        QVERIFY(m_chip->addFault("status=5,cmd=0x31,times=1"));
        press("setDefaultButton");
        QCOMPARE(m_messages->headlines(), QStringList{"Write chip register failed!:Cmd recept, but execute failed"});
        QCOMPARE(frames(), QStringList({writeFrame(0x1A10, "008080"), writeFrame(0x1A14, "0048")}));
        QCOMPARE(sliders(), QList<int>({16, 32, 48, 0, 72}));
        // The register box follows what was written, as the sliders do.
        const auto registers = [this] { return child<QPlainTextEdit>("registerText")->toPlainText(); };
        QVERIFY2(registers().contains("Brightness   (0x1A10) = 0x10") && registers().contains("Hue          (0x1A14) = 0x00")
                     && registers().contains("Saturation   (0x1A15) = 0x48"),
                 qPrintable(registers()));

        m_messages->clear();
        press("setDefaultButton");
        QVERIFY(m_messages->texts().isEmpty());
        QCOMPARE(m_chip->readMemory(MemoryType::Chip, 0x1A10, 6), QByteArray::fromHex("008080400048"));
        QCOMPARE(sliders(), QList<int>({0, 128, 128, 0, 72}));
        QVERIFY2(registers().contains("Brightness   (0x1A10) = 0x00") && registers().contains("Contrast     (0x1A11) = 0x80"),
                 qPrintable(registers()));
    }

    // A failed read says so with its prefix and leaves sliders and dump as they were; Read
    // Register refreshes the dump only.
    void reads()
    {
        openImageProperty();
        const QList<int> before = sliders();
        const QString dump = child<QPlainTextEdit>("registerText")->toPlainText();
        m_chip->writeMemory(MemoryType::Chip, 0x1A10, QByteArray::fromHex("7F"));
        QVERIFY(m_chip->addFault("status=4,cmd=0x30,times=1"));
        press("reloadButton");
        QCOMPARE(m_messages->headlines(), QStringList{"Read chip register failed!:Cmd can't run in current status"});
        QCOMPARE(sliders(), before);
        QCOMPARE(child<QPlainTextEdit>("registerText")->toPlainText(), dump);
        press("readRegisterButton");
        QCOMPARE(sliders(), before);
        QVERIFY(child<QPlainTextEdit>("registerText")->toPlainText().contains("Brightness   (0x1A10) = 0x7F\n"));
    }

    // Read E2prom finds the record through the memory that holds the control info, wherever that
    // is, and shows its five bytes; with no control info anywhere it says so.
    void readE2prom_data()
    {
        QTest::addColumn<CtrlInfoPlace>("place");
        QTest::addColumn<QByteArray>("record");
        QTest::newRow("i2c eeprom") << CtrlInfoPlace::I2cEeprom << QByteArray::fromHex("F6907087 55");
        QTest::newRow("spi flash") << CtrlInfoPlace::SpiFlash << QByteArray::fromHex("80FF0A9E 00");
        QTest::newRow("nowhere") << CtrlInfoPlace::None << QByteArray();
    }
    void readE2prom()
    {
        QFETCH(CtrlInfoPlace, place);
        QFETCH(QByteArray, record);
        useChip(place);
        if (!record.isEmpty())
            m_chip->writeMemory(memoryOf(place), sim::kImagePropertyAddress, record);
        openImageProperty();
        press("readE2promButton");
        checkIdle();
        if (record.isEmpty()) {
            QCOMPARE(m_messages->headlines(), QStringList{"Not find ctrl info"});
            QVERIFY(e2promText().isEmpty());
            return;
        }
        QVERIFY(m_messages->texts().isEmpty());
        const auto *r = reinterpret_cast<const uint8_t *>(record.constData());
        QCOMPARE(e2promText(), QString::asprintf("Address  = 0x0100\nBrightness    = 0x%02X\nContrast      = 0x%02X\n"
                                                 "Off_contrast  = 0x%02X\nHue           = 0x%02X\nSaturation    = 0x%02X\n",
                                                 r[0], r[1], r[2], r[3], r[4]));
        QCOMPARE(ConfigSettings::of(*m_session).ctrlInfoDevice(), CtrlInfoDevice(uint8_t(place)));
        if (place == CtrlInfoPlace::I2cEeprom)
            checkFit("features_image_property_e2prom");
    }

    // "Save to E2prom" under the sliders stores what the chip's registers hold (not the sliders)
    // in exactly the record's five bytes; on the SPI EEPROM no write crosses a page.
    void saveControlsToE2prom_data()
    {
        QTest::addColumn<CtrlInfoPlace>("place");
        QTest::addColumn<int>("record");
        QTest::addColumn<int>("writes");
        QTest::newRow("i2c eeprom") << CtrlInfoPlace::I2cEeprom << 0x0100 << 1;
        QTest::newRow("spi eeprom, across a page") << CtrlInfoPlace::SpiEeprom << 0x00FE << 2;
    }
    void saveControlsToE2prom()
    {
        QFETCH(CtrlInfoPlace, place);
        QFETCH(int, record);
        QFETCH(int, writes);
        useChip(place);
        ConfigSettings::of(*m_session).setPageSize(64);
        setRecordAddress(place, uint16_t(record));
        openImageProperty();
        m_chip->writeMemory(MemoryType::Chip, 0x1A10, QByteArray::fromHex("F6907033 8755"));
        const QByteArray before = m_chip->readMemory(memoryOf(place), uint32_t(record - 8), 21);
        m_chip->clearFrames();
        press("saveSlidersE2promButton");
        checkIdle();
        QCOMPARE(m_messages->headlines(), QStringList{"Save to e2prom finish"});
        QByteArray expected = before;
        expected.replace(8, 5, QByteArray::fromHex("F690708755"));
        QCOMPARE(m_chip->readMemory(memoryOf(place), uint32_t(record - 8), 21).toHex(), expected.toHex());
        QCOMPARE(deviceWrites(place).size(), writes);
        QCOMPARE(sliders(), QList<int>({0, 128, 128, 0, 72})); // the sliders were not the source
    }

    // "Save to E2prom" under the boxes changes bits 1-4 of the ISP word's low byte, nothing else.
    void saveEnablesToE2prom()
    {
        m_chip->writeMemory(MemoryType::I2cEeprom, 36, QByteArray::fromHex("A5"));
        const QByteArray before = m_chip->readMemory(MemoryType::I2cEeprom, 0, 0x40);
        openImageProperty();
        for (const char *c : {"enContrastCheck", "enBrightnessCheck", "enSaturationCheck"})
            child<QCheckBox>(c)->setChecked(false);
        child<QCheckBox>("enHueCheck")->setChecked(true);
        const uint8_t control = m_chip->reg(0x1A00);
        press("saveEnablesE2promButton");
        checkIdle();
        QCOMPARE(m_messages->headlines(), QStringList{"Save to e2prom finish"});
        QByteArray after = before;
        after[36] = char(0xA9);
        QCOMPARE(m_chip->readMemory(MemoryType::I2cEeprom, 0, 0x40).toHex(), after.toHex());
        QCOMPARE(m_chip->reg(0x1A00), control); // the live register is Set's business
    }

    // Without a usable record (here: no extension table) both buttons say why, and nothing is
    // written anywhere.
    void noRecord()
    {
        const QString message = "No image property config in e2prom";
        pokeBe16(CtrlInfoPlace::I2cEeprom, 51, 0);
        const QByteArray before = m_chip->readMemory(MemoryType::I2cEeprom, 0, sim::kCtrlInfoLength);
        openImageProperty();
        press("readE2promButton");
        press("saveSlidersE2promButton");
        QCOMPARE(m_messages->headlines(), QStringList({message, message}));
        QVERIFY(e2promText().isEmpty());
        QCOMPARE(m_chip->readMemory(MemoryType::I2cEeprom, 0, sim::kCtrlInfoLength), before);
        checkIdle();
    }

    // A record whose five bytes would run past address 0xFFFF: an EEPROM would wrap the rest
    // to address 0, over the signature. Neither read nor written.
    void recordPastTheEnd()
    {
        setRecordAddress(CtrlInfoPlace::I2cEeprom, 0xFFFC);
        openImageProperty();
        m_chip->clearFrames();
        press("readE2promButton");
        press("saveSlidersE2promButton");
        const QString message = "Image property config at 0xFFFC runs past the end of the e2prom";
        QCOMPARE(m_messages->headlines(), QStringList({message, message}));
        for (const QString &f : frames())
            QVERIFY2(!f.contains("FFFC"), qPrintable(f));
        QCOMPARE(m_chip->readMemory(MemoryType::I2cEeprom, 0, 2), QByteArray::fromHex("AA55"));

        // The last record that fits is used.
        setRecordAddress(CtrlInfoPlace::I2cEeprom, 0xFFFB);
        m_messages->clear();
        m_chip->setReg(0x1A10, 0x42);
        press("saveSlidersE2promButton");
        QCOMPARE(m_messages->headlines(), QStringList{"Save to e2prom finish"});
        QCOMPARE(m_chip->readMemory(MemoryType::I2cEeprom, 0xFFFB, 1), QByteArray::fromHex("42"));
    }

    // The control info on the SPI flash is shown but never saved: both saves refuse before
    // reading or writing anything once the flash is known.
    void spiFlashRefused()
    {
        useChip(CtrlInfoPlace::SpiFlash);
        const QByteArray before = m_chip->readMemory(MemoryType::SpiFlash, 0, sim::kCtrlInfoLength);
        openImageProperty();
        const QString refusal = "Program does not support modify spi flash data";
        m_chip->clearFrames();
        press("saveEnablesE2promButton"); // locates the flash first
        QCOMPARE(m_messages->headlines(), QStringList{refusal});
        QVERIFY(deviceWrites(CtrlInfoPlace::SpiFlash).isEmpty());
        m_chip->clearFrames();
        m_messages->clear();
        press("saveSlidersE2promButton");
        press("saveEnablesE2promButton");
        QCOMPARE(m_messages->headlines(), QStringList({refusal, refusal}));
        QVERIFY(frames().isEmpty());
        QCOMPARE(m_chip->readMemory(MemoryType::SpiFlash, 0, sim::kCtrlInfoLength), before);
        checkIdle();
    }

    // A failing command ends the press with its message: no "finish", nothing half written, the
    // shown record kept, and the window free for the next press.
    void failures_data()
    {
        QTest::addColumn<bool>("located");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("message");
        const QString failed = "Cmd recept, but execute failed";
        QTest::newRow("search") << false << "status=5,cmd=0x30,times=1" << "readE2promButton" << failed;
        QTest::newRow("read e2prom") << true << "status=5,cmd=0x30,times=1" << "readE2promButton"
                                     << "Read e2prom failed!:" + failed;
        QTest::newRow("save, e2prom write") << true << "status=5,cmd=0x31,times=1" << "saveSlidersE2promButton"
                                            << "Write e2prom failed!:" + failed;
    }
    void failures()
    {
        QFETCH(bool, located);
        QFETCH(QString, fault);
        QFETCH(QString, button);
        QFETCH(QString, message);
        openImageProperty();
        m_chip->setReg(0x1A10, 0x42);
        if (located)
            press("readE2promButton");
        const QString shown = e2promText();
        const QByteArray before = m_chip->readMemory(MemoryType::I2cEeprom, 0, sim::kCtrlInfoLength);
        QVERIFY(m_chip->addFault(fault));
        press(button);
        QCOMPARE(m_messages->headlines(), QStringList{message});
        QCOMPARE(e2promText(), shown);
        QCOMPARE(m_chip->readMemory(MemoryType::I2cEeprom, 0, sim::kCtrlInfoLength), before);
        checkIdle();

        // The link is usable: the same press now goes through.
        m_messages->clear();
        press(button);
        QVERIFY(m_messages->texts().isEmpty() || m_messages->texts() == QStringList{"Save to e2prom finish"});
    }
};

QTEST_MAIN(TestFeatureWindows)
#include "tst_feature_windows.moc"
