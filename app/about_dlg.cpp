#include "app/about_dlg.h"

#include "ui/resources.h"
#include "ui_about_dlg.h"

namespace zm {

CAboutDlg::CAboutDlg(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::CAboutDlg>())
{
    ui->setupUi(this);
    setWindowIcon(appIcon());
    ui->iconLabel->setPixmap(appIcon().pixmap(48, 48));
    ui->versionLabel->setText(QStringLiteral("ZM3386 Comm Tool V1.00"));
    connect(ui->okButton, &QPushButton::clicked, this, &QDialog::accept);
}

CAboutDlg::~CAboutDlg() = default;

} // namespace zm
