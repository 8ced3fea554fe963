#pragma once
// The "Fbuf" window: frame capture control, frame-buffer length, picture read and write,
// the chip's frame-buffer encryption and compression ratio, and a preview of the picture.

#include "tools/fbuf_transfer.h"
#include "ui/tool_dialog.h"

#include <QImage>

#include <functional>
#include <memory>

namespace Ui {
class CFbufDlg;
}

namespace zm {

class EditFilter;

class CFbufDlg : public ToolDialog
{
    Q_OBJECT

public:
    explicit CFbufDlg(LinkSession &session, QWidget *parent = nullptr);
    ~CFbufDlg() override;

    // How the window asks for a file: (save?, default name, filter) -> path, empty when cancelled.
    // Tests replace the file dialogs with this.
    using FileChooser = std::function<QString(bool save, const QString &name, const QString &filter)>;
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }

    QString readTarget() const { return m_readPath; }
    // The loaded preview, null when there is none.
    QImage preview() const { return m_preview; }
    // The size the preview is drawn at.
    QSize previewDrawSize() const;

protected:
    void changeEvent(QEvent *event) override;

private:
    FbufOptions options(bool write) const;
    Report report(Worker &w);
    void frameControl(uint8_t operation);
    void onSelFile();
    void onReadFile();
    void onRead();
    void onWrite();
    void onGetLen();
    void onCryptGet();
    void onCryptSet();
    void onTcrGet();
    void onTcrSet();
    void loadPreview(const QString &path);
    void showPreview();
    void showRatio();

    bool delayValid();

    static constexpr int kMaxDelay = 65535;

    std::unique_ptr<Ui::CFbufDlg> ui;
    EditFilter *m_delay = nullptr;
    bool m_previewFailed = false;
    FileChooser m_chooseFile;
    QString m_readPath;
    QString m_writePath;
    qint64 m_writeLength = 0;
    QImage m_preview;
};

} // namespace zm
