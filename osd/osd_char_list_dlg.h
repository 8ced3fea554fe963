#pragma once
// The "OSD Character List" window: the 80 characters of the chip's character generator with
// their indexes, in four column pairs of 20. It does not talk to the chip.

#include <QDialog>

#include <memory>

namespace Ui {
class COsdCharListDlg;
}

namespace zm {

class COsdCharListDlg : public QDialog
{
    Q_OBJECT

public:
    explicit COsdCharListDlg(QWidget *parent = nullptr);
    ~COsdCharListDlg() override;

private:
    std::unique_ptr<Ui::COsdCharListDlg> ui;
};

} // namespace zm
