#pragma once
// The About box: title "About Comm Tool", the program's icon, its name and version, OK.

#include <QDialog>

#include <memory>

namespace Ui {
class CAboutDlg;
}

namespace zm {

class CAboutDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget *parent = nullptr);
    ~CAboutDlg() override;

private:
    std::unique_ptr<Ui::CAboutDlg> ui;
};

} // namespace zm
