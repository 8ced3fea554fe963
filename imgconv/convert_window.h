#pragma once
// The converter's window: open a picture, pick the JPEG quality, save.

#include <QImage>
#include <QWidget>

#include <memory>

namespace Ui {
class ConvertWindow;
}

namespace zm {

class ConvertWindow : public QWidget
{
    Q_OBJECT

public:
    explicit ConvertWindow(QWidget *parent = nullptr);
    ~ConvertWindow() override;

    // What "Open..." and "Save JPEG..." do once a file is chosen; callable without the dialogs.
    bool openFile(const QString &path);
    bool saveJpeg(const QString &path);

    int quality() const;
    void setQuality(int quality);
    QString statusText() const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void chooseInput();
    void chooseOutput();
    void showPreview();
    void showStatus(const QString &text, bool isError);

    std::unique_ptr<Ui::ConvertWindow> m_ui;
    QImage m_image;
    QString m_inputPath;
};

} // namespace zm
