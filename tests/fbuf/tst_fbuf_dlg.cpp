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
