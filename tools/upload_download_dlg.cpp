#include "tools/upload_download_dlg.h"

#include "ctrlinfo/config_settings.h"
#include "ctrlinfo/device_chooser.h"
#include "ctrlinfo/device_models.h"
#include "link/messages.h"
#include "tools/device_transfer.h"
#include "ui/message_box.h"
#include "ui/one_command.h"
#include "ui/readable_text.h"
#include "ui_upload_download_dlg.h"

#include <QFile>
#include <QFileInfo>
#include <QFileDialog>

namespace zm {

namespace {

const QString kFilter = QStringLiteral("Bin File(*.bin);;All File(*.*)");
constexpr int kDefaultGivenSize = 5; // 2 KBytes

} // namespace

CUploadDownloadDlg::CUploadDownloadDlg(LinkSession &session, QWidget *parent)
    : ToolDialog(session, parent)
    , ui(std::make_unique<Ui::CUploadDownloadDlg>())
{
    ui->setupUi(this);
    m_chooseFile = [this](bool save, const QString &filter) {
        return save ? QFileDialog::getSaveFileName(this, QString(), QString(), filter)
                    : QFileDialog::getOpenFileName(this, QString(), QString(), filter);
    };

    m_chooser = new DeviceChooser(this, session, {ui->deviceCombo, ui->sizeCombo, ui->modelCombo, ui->checkFlashButton});
    m_chooser->show(false);
    deviceChanged();
    ui->givenSizeCombo->addItems(givenSizeTexts());
    ui->givenSizeCombo->setCurrentIndex(kDefaultGivenSize);
    ui->ctrlInfoRadio->setChecked(true);
    ui->uploadButton->setEnabled(false);
    ui->downloadButton->setEnabled(false);
    keepReadableWhenDisabled(ui->statusEdit);
    keepReadableWhenDisabled(ui->counterEdit);

    connect(m_chooser, &DeviceChooser::changed, this, &CUploadDownloadDlg::deviceChanged);
    connect(ui->checkDeviceButton, &QPushButton::clicked, m_chooser, &DeviceChooser::checkCtrlInfoDevice);
    connect(ui->resetButton, &QPushButton::clicked, this, &CUploadDownloadDlg::systemReset);
    connect(ui->eraseButton, &QPushButton::clicked, this, &CUploadDownloadDlg::eraseFlash);
    connect(ui->uploadBrowseButton, &QPushButton::clicked, this, &CUploadDownloadDlg::chooseUploadFile);
    connect(ui->downloadBrowseButton, &QPushButton::clicked, this, &CUploadDownloadDlg::chooseDownloadFile);
    connect(ui->uploadButton, &QPushButton::clicked, this, &CUploadDownloadDlg::upload);
    connect(ui->downloadButton, &QPushButton::clicked, this, &CUploadDownloadDlg::download);
    setCloseButton(ui->closeButton);
    setOfflineWidgets({ui->uploadBrowseButton, ui->downloadBrowseButton});
}

CUploadDownloadDlg::~CUploadDownloadDlg() = default;

Report CUploadDownloadDlg::report(Worker &w)
{
    Worker::ReportTargets targets;
    targets.progress = ui->progressBar;
    targets.status = ui->statusEdit;
    targets.counter = ui->counterEdit;
    return w.report(targets);
}

void CUploadDownloadDlg::deviceChanged()
{
    ui->eraseButton->setEnabled(m_chooser->settings().ctrlInfoDevice() == CtrlInfoDevice::SpiFlash);
}

void CUploadDownloadDlg::chooseUploadFile()
{
    const QString path = m_chooseFile(true, kFilter);
    if (path.isEmpty())
        return;
    m_uploadPath = path;
    ui->uploadPathEdit->setText(path);
    ui->uploadButton->setEnabled(true);
}

void CUploadDownloadDlg::chooseDownloadFile()
{
    ui->downloadButton->setEnabled(false);
    const QString path = m_chooseFile(false, kFilter);
    if (path.isEmpty())
        return;
    // Only a regular file has a length to check; opening a pipe would wait for its writer.
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        showMessage(this, QString::fromLatin1(msg::kOpenDownloadFileFailed).arg(path));
        return;
    }
    const qint64 length = file.size();
    const uint32_t deviceSize = m_chooser->settings().deviceSize();
    ui->counterEdit->setText(QString::fromLatin1(msg::kCounterFormat).arg(0).arg(length));
    if (length > qint64(deviceSize)) {
        showMessage(this, QString::fromLatin1(msg::kFileTooLong).arg(length).arg(deviceSize));
        return;
    }
    m_downloadPath = path;
    ui->downloadPathEdit->setText(path);
    ui->downloadButton->setEnabled(true);
}

void CUploadDownloadDlg::upload()
{
    if (m_uploadPath.isEmpty()) {
        showMessage(this, QString::fromLatin1(msg::kSelectUploadFile));
        return;
    }
    const DeviceSetup setup = DeviceSetup::from(m_chooser->settings());
    if (setup.device == CtrlInfoDevice::None) {
        showMessage(this, QString::fromLatin1(msg::kSelectCtrlInfoDevice));
        return;
    }
    UploadOptions o;
    o.amount = ui->wholeRadio->isChecked()   ? UploadAmount::WholeDevice
               : ui->givenRadio->isChecked() ? UploadAmount::GivenSize
                                             : UploadAmount::CtrlInfo;
    o.givenSize = deviceSizeAt(qMax(0, ui->givenSizeCombo->currentIndex()));
    o.path = m_uploadPath;
    runWorker([this, setup, o](Worker &w) {
        const Report r = report(w);
        DeviceTransfer(w.commands(), r).upload(setup, o);
    });
}

void CUploadDownloadDlg::download()
{
    const DeviceSetup setup = DeviceSetup::from(m_chooser->settings());
    if (setup.device == CtrlInfoDevice::None) {
        showMessage(this, QString::fromLatin1(msg::kSelectCtrlInfoDevice));
        return;
    }
    if (m_chooser->modelIndex() == 0) {
        showMessage(this, QString::fromLatin1(msg::kSelectDeviceSize));
        return;
    }
    const QString path = m_downloadPath;
    runWorker([this, setup, path](Worker &w) {
        const Report r = report(w);
        DeviceTransfer(w.commands(), r).download(setup, path);
    });
}

void CUploadDownloadDlg::eraseFlash()
{
    if (showMessage(this, QString::fromLatin1(msg::kEraseWholeFlashQuestion), QMessageBox::Question,
                    QMessageBox::Yes | QMessageBox::No)
        != QMessageBox::Yes)
        return;
    runWorker([this](Worker &w) {
        const Report r = report(w);
        DeviceTransfer(w.commands(), r).eraseFlash(true);
    });
}

void CUploadDownloadDlg::systemReset()
{
    runCommand(this, session(), QString(), [](Commands &c) { return c.systemReset(); });
}

} // namespace zm
