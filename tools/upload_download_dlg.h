#pragma once
// The "Upload/Download" window: copies the memory that holds the control info to a file and a
// file back into it with verification, finds that memory, asks the SPI flash for its size, erases
// the flash and resets the chip. Its device lists are the program-wide ones of the Configuration
// window.

#include "ui/tool_dialog.h"

#include <functional>
#include <memory>

namespace Ui {
class CUploadDownloadDlg;
}

namespace zm {

class DeviceChooser;
class Worker;
struct Report;

class CUploadDownloadDlg : public ToolDialog
{
    Q_OBJECT

public:
    explicit CUploadDownloadDlg(LinkSession &session, QWidget *parent = nullptr);
    ~CUploadDownloadDlg() override;

    // How the window asks for a file: (save?, filter) -> path, empty when cancelled. Tests
    // replace the file dialogs with this.
    using FileChooser = std::function<QString(bool save, const QString &filter)>;
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }

private:
    Report report(Worker &w);
    void deviceChanged();
    void chooseUploadFile();
    void chooseDownloadFile();
    void upload();
    void download();
    void eraseFlash();
    void systemReset();

    std::unique_ptr<Ui::CUploadDownloadDlg> ui;
    DeviceChooser *m_chooser = nullptr;
    FileChooser m_chooseFile;
    QString m_uploadPath;
    QString m_downloadPath;
};

} // namespace zm
