// The Fbuf window against the simulated chip: its lists and texts, the register workers, the
// transfers started from it and the preview.

#include "link/command_layer.h"
#include "sim/pty_chip.h"
#include "tools/fbuf_dlg.h"
#include "tools/fbuf_settings.h"
#include "ui/message_recorder.h"
#include "ui/worker_runner.h"

#include <QCheckBox>
#include <QComboBox>
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "tests/common/chip_test.h"
#include "tests/common/window_check.h"

#include <QScrollArea>
#include <QScrollBar>

using namespace zm;

class TestFbufDlg : public test::ChipTest
{
    Q_OBJECT

private:
    std::unique_ptr<CFbufDlg> m_dlg;
    QTemporaryDir m_dir;
    QString m_chosen;

    template <typename T>
    T *child(const char *name)
    {
        T *w = m_dlg->findChild<T *>(QString::fromLatin1(name));
        if (!w)
            qFatal("no %s", name);
        return w;
    }
    void click(const char *button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }
    void settle() { QVERIFY(WorkerRunner::waitForAll(20000)); }
    QList<QByteArray> frames() const { return m_chip->frames(); }
    QString file(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    static QByteArray jpeg(int w, int h)
    {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(Qt::darkCyan);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        img.save(&buffer, "JPG");
        return bytes;
    }

private slots:
    void init()
    {
        QVERIFY2(startChip(), qPrintable(m_error));
        m_dlg = std::make_unique<CFbufDlg>(*m_layer);
        m_dlg->setFileChooser([this](bool, const QString &, const QString &) { return m_chosen; });
        m_dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
    }
    void cleanup()
    {
        settle();
        m_dlg.reset();
        QVERIFY(stopChip());
    }

    void opensWithDefaults()
    {
        QCOMPARE(child<QComboBox>("deviceCombo")->currentText(), QString("MCU UART"));
        QCOMPARE(child<QLineEdit>("delayEdit")->text(), QString("3000"));
        QVERIFY(child<QCheckBox>("showImageCheck")->isChecked());
        QCOMPARE(child<QComboBox>("tcrCombo")->currentText(), QString("0x35"));
        QCOMPARE(child<QLineEdit>("ratioEdit")->text(), QString("13.00"));
    }

    void ratioText_data()
    {
        QTest::addColumn<int>("tcr");
        QTest::addColumn<QString>("ratio");
        QTest::newRow("0x00") << 0x00 << "0.00";
        QTest::newRow("0x01") << 0x01 << "0.00";
        QTest::newRow("0x05") << 0x05 << "1.00";
        QTest::newRow("0x35") << 0x35 << "13.00";
        QTest::newRow("0xFF") << 0xFF << "63.50";
    }
    void ratioText()
    {
        QFETCH(int, tcr);
        QFETCH(QString, ratio);
        child<QComboBox>("tcrCombo")->setCurrentIndex(tcr);
        QCOMPARE(child<QLineEdit>("ratioEdit")->text(), ratio);
    }

    void compressionGetAndSet()
    {
        m_chip->setReg(kTcrRegister, 0x05);
        click("tcrGetButton");
        settle();
        QCOMPARE(child<QComboBox>("tcrCombo")->currentIndex(), 0x05);
        QCOMPARE(child<QLineEdit>("ratioEdit")->text(), QString("1.00"));
        child<QComboBox>("tcrCombo")->setCurrentIndex(0x40);
        click("tcrSetButton");
        settle();
        QCOMPARE(int(m_chip->reg(kTcrRegister)), 0x40);
        QVERIFY(m_messages->texts().isEmpty());
    }

    void encryptionSetWritesOnlyWhatChanges()
    {
        // Bit 7 already set: only the key is written.
        m_chip->setReg(kFbufCryptRegister, 0x85);
        child<QCheckBox>("cryptEnableCheck")->setChecked(true);
        child<QComboBox>("cryptKeyCombo")->setCurrentIndex(0x2A);
        m_chip->clearFrames();
        click("cryptSetButton");
        settle();
        QCOMPARE(frames(), (QList<QByteArray>{QByteArray::fromHex("5600300401011318"),
                                               QByteArray::fromHex("560031050101131D2A")}));
        QCOMPARE(int(m_chip->reg(kFbufKeyRegister)), 0x2A);

        // Clearing it keeps the other bits.
        child<QCheckBox>("cryptEnableCheck")->setChecked(false);
        m_chip->clearFrames();
        click("cryptSetButton");
        settle();
        QCOMPARE(frames().size(), 3);
        QCOMPARE(int(m_chip->reg(kFbufCryptRegister)), 0x05);

        // Get reads both back into the window.
        m_chip->setReg(kFbufCryptRegister, 0x80);
        m_chip->setReg(kFbufKeyRegister, 0x7E);
        click("cryptGetButton");
        settle();
        QVERIFY(child<QCheckBox>("cryptEnableCheck")->isChecked());
        QCOMPARE(child<QComboBox>("cryptKeyCombo")->currentIndex(), 0x7E);
    }

    void registerFailuresShowTheirPrefix()
    {
        m_chip->addFault("status=5,cmd=0x30,times=1");
        click("cryptGetButton");
        settle();
        m_chip->addFault("status=3,cmd=0x31,times=1");
        click("tcrSetButton");
        settle();
        QCOMPARE(m_messages->texts(), (QStringList{"Read chip register failed!:Cmd recept, but execute failed",
                                                   "Write chip register failed!:Invalid data format"}));
        QVERIFY(m_dlg->isEnabled());
    }

    void frameCaptureButtons()
    {
        m_chip->clearFrames();
        for (const char *b : {"stopCurrentButton", "stopNextButton", "stepButton", "resumeButton"}) {
            click(b);
            settle();
        }
        QCOMPARE(frames(), (QList<QByteArray>{QByteArray::fromHex("5600360100"), QByteArray::fromHex("5600360101"),
                                               QByteArray::fromHex("5600360102"), QByteArray::fromHex("5600360103")}));
        m_chip->addFault("status=4,cmd=0x36,times=1");
        click("stepButton");
        settle();
        QCOMPARE(m_messages->texts(), QStringList{"Cmd can't run in current status"});
    }

    void readFileShowsLengthAndPreview_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QSize>("drawn");
        QTest::newRow("1280x960") << 1280 << 960 << QSize(640, 480);
        QTest::newRow("320x240") << 320 << 240 << QSize(320, 240);
        QTest::newRow("1000x333") << 1000 << 333 << QSize(640, 213);
    }
    void readFileShowsLengthAndPreview()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QSize, drawn);
        m_chosen = file("in.jpg");
        QFile f(m_chosen);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(jpeg(width, height));
        f.close();
        click("readFileButton");
        QCOMPARE(m_dlg->preview().size(), QSize(width, height));
        QCOMPARE(m_dlg->previewDrawSize(), drawn);
        QCOMPARE(child<QLineEdit>("sizeEdit")->text(), QStringLiteral("(%1*%2)").arg(width).arg(height));
        QCOMPARE(child<QLineEdit>("imageLenEdit")->text(), fbufLengthText(uint32_t(QFileInfo(m_chosen).size())));
        child<QCheckBox>("showImageCheck")->setChecked(false);
        QVERIFY(m_dlg->preview().isNull());
    }

    void imageLenOfA3072ByteFile()
    {
        m_chosen = file("raw.jpg");
        QFile f(m_chosen);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(3072, '\x55'));
        f.close();
        click("readFileButton");
        QCOMPARE(child<QLineEdit>("imageLenEdit")->text(), QString("0x00000C00 (3.00K)"));
        QVERIFY(m_dlg->preview().isNull()); // not a picture: nothing to show, nothing else breaks
        QVERIFY(m_messages->texts().isEmpty());
    }

    void filesMustBeChosenFirst()
    {
        click("readButton");
        click("writeButton");
        m_chosen = file("does/not/exist.jpg");
        click("readFileButton");
        QCOMPARE(m_messages->texts(), (QStringList{"Please select the image file to write first!",
                                                   "Please open image file first!", "Open file failed!"}));
        QVERIFY(frames().isEmpty());
    }

    void readsShowsAndWritesBack()
    {
        const QByteArray picture = jpeg(800, 600);
        m_chip->setFrameBuffer(0, picture);
        m_chosen = file("out.jpg");
        click("selFileButton");
        QCOMPARE(m_dlg->readTarget(), m_chosen);
        click("readButton");
        QVERIFY(!m_dlg->isEnabled() || WorkerRunner::running() == 0);
        settle();
        QCOMPARE(m_messages->texts(), QStringList{"Fbuf read finished!"});
        QCOMPARE(m_messages->at(0).icon, QMessageBox::Information);
        QFile f(m_chosen);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), picture);
        QCOMPARE(m_dlg->previewDrawSize(), QSize(640, 480));
        QCOMPARE(child<QLineEdit>("imageLenEdit")->text(), fbufLengthText(uint32_t(picture.size())));
        QVERIFY(m_dlg->isEnabled());

        // And back into the frame buffer, with capture stopped.
        click("stopCurrentButton");
        settle();
        m_chip->setFrameBuffer(0, QByteArray(10, '\0'));
        click("readFileButton");
        click("writeButton");
        settle();
        QCOMPARE(m_messages->texts().last(), QString("Fbuf write finished!"));
        QCOMPARE(child<QProgressBar>("progressBar")->value(), 100);
        QCOMPARE(m_chip->frameBuffer(0), picture);
    }

    // A file that is no picture after a picture: the size of the old one does not stay, and
    // the size text says why nothing is shown.
    void sizeTextFollowsThePreview()
    {
        m_chosen = file("pic.jpg");
        QFile f(m_chosen);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(jpeg(320, 240)) > 0);
        f.close();
        click("readFileButton");
        QCOMPARE(child<QLineEdit>("sizeEdit")->text(), QString("(320*240)"));
        m_chosen = file("noise.jpg");
        QFile n(m_chosen);
        QVERIFY(n.open(QIODevice::WriteOnly) && n.write(QByteArray(5000, '\x3C')) > 0);
        n.close();
        click("readFileButton");
        QVERIFY(m_dlg->preview().isNull());
        QCOMPARE(child<QLineEdit>("sizeEdit")->text(), QString("(not a picture)"));
        QVERIFY(m_messages->texts().isEmpty());
    }

    // The window fits a 1366x768 screen with a title bar, every text shows whole, and a
    // picture larger than the frame can be scrolled to its last pixel.
    void fitsTheScreenAndScrollsThePicture()
    {
        m_dlg->resize(m_dlg->sizeHint());
        const QStringList problems = test::windowFitProblems(m_dlg.get());
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        m_chosen = file("big.jpg");
        QFile f(m_chosen);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(jpeg(640, 480)) > 0);
        f.close();
        click("readFileButton");
        auto *scroll = child<QScrollArea>("pictureScroll");
        QCOMPARE(scroll->widget()->size(), QSize(640, 480));
        const QSize view = scroll->viewport()->size();
        QCOMPARE(scroll->horizontalScrollBar()->maximum(), qMax(0, 640 - view.width()));
        QCOMPARE(scroll->verticalScrollBar()->maximum(), qMax(0, 480 - view.height()));
        if (view.width() < 640)
            QTRY_VERIFY(scroll->horizontalScrollBar()->isVisible());
        test::saveScreenshot(m_dlg.get(), "fbuf");
    }

    // "Delay Time:" takes 0..65535 only, as typed; an empty field is refused at the press.
    void delayTimeIsSixteenBits_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("99999") << "99999" << "9999";
        QTest::newRow("65536") << "65536" << "6553";
        QTest::newRow("65535") << "65535" << "65535";
        QTest::newRow("letters") << "12a" << "12";
    }
    void delayTimeIsSixteenBits()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        auto *edit = child<QLineEdit>("delayEdit");
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), kept);
        m_chip->setFrameBuffer(0, QByteArray(100, '\x11'));
        m_chosen = file("d.jpg");
        click("selFileButton");
        click("readButton");
        settle();
        const QByteArray read = frames().last();
        QCOMPARE(int(read[2]), 0x32);
        QCOMPARE(getBe16(reinterpret_cast<const uint8_t *>(read.constData()) + 14), uint16_t(kept.toUInt()));

        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        const int before = int(frames().size());
        m_messages->clear();
        click("readButton");
        QCOMPARE(m_messages->texts(), QStringList{"\"Delay Time:\" takes a number from 0 to 65535."});
        QCOMPARE(int(frames().size()), before);
    }

    // A file longer than a read can bring back is written only when the user says so.
    void longFileAsksFirst()
    {
        m_chosen = file("long.jpg");
        QFile f(m_chosen);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray(700000, '\x20')) > 0);
        f.close();
        click("readFileButton");
        m_messages->setAnswer(QMessageBox::No);
        click("writeButton");
        settle();
        QCOMPARE(m_messages->count(), 1);
        QCOMPARE(m_messages->at(0).icon, QMessageBox::Question);
        QVERIFY(m_messages->at(0).text.contains("614400"));
        QVERIFY(frames().isEmpty());
        QVERIFY(m_dlg->isEnabled());
    }

    // The port goes away under the open window: its command buttons wait for it (the file
    // choosers do not), a command started anyway says the port is not open, and all comes back
    // when the port is open again.
    void portLostDisablesTheCommands()
    {
        QVERIFY(m_chip->addFault("hangup,cmd=0x36,times=1"));
        click("stopCurrentButton");
        settle();
        QTRY_VERIFY_WITH_TIMEOUT(!m_layer->isOpen(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!child<QPushButton>("readButton")->isEnabled(), 5000);
        for (const char *b : {"stopNextButton", "getLenButton", "writeButton", "cryptSetButton", "tcrGetButton"})
            QVERIFY2(!child<QPushButton>(b)->isEnabled(), b);
        QVERIFY(child<QPushButton>("selFileButton")->isEnabled());
        QVERIFY(child<QPushButton>("readFileButton")->isEnabled());
        QVERIFY(m_messages->texts().isEmpty()); // the console tells the loss, once
        emit child<QPushButton>("tcrGetButton")->clicked();
        QCOMPARE(m_messages->texts(), QStringList{"Comm port not be opened!"});

        const QString path = m_chip->reopen();
        QVERIFY(m_layer->open(path, "38400,n,8,1"));
        QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>("readButton")->isEnabled(), 5000);
        click("tcrGetButton");
        settle();
        QCOMPARE(m_messages->count(), 1);
    }

    void secondCommandIsRefusedWhileOneRuns()
    {
        m_chip->setBaud(9600);
        m_chip->setFrameBuffer(0, QByteArray(3000, '\x42'));
        m_chosen = file("slow.jpg");
        click("selFileButton");
        click("readButton");
        // The window is disabled while the read runs; a command from elsewhere is refused.
        QTRY_VERIFY_WITH_TIMEOUT(!m_dlg->isEnabled(), 2000);
        QVERIFY(!m_layer->tryAcquire());
        m_dlg->reject(); // ignored while the command is in flight
        QVERIFY(m_dlg->isVisible());
        settle();
        QCOMPARE(m_messages->texts(), QStringList{"Fbuf read finished!"});
    }
};

QTEST_MAIN(TestFbufDlg)
#include "tst_fbuf_dlg.moc"
