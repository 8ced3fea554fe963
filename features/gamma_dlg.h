#pragma once
// The gamma window: the 17 output levels on vertical sliders with their hex values, the 15
// break points, the curve they make, and the reads and writes of the whole table.

#include "features/gamma.h"
#include "ui/tool_dialog.h"

#include <QList>

#include <memory>

class QLineEdit;
class QSlider;

namespace Ui {
class CGammaDlg;
}

namespace zm {

struct FeatureRecords;

class CGammaDlg : public ToolDialog
{
    Q_OBJECT

public:
    CGammaDlg(LinkSession &session, FeatureRecords &records, QWidget *parent = nullptr);
    ~CGammaDlg() override;

private:
    void sliderMoved(int n);
    void showTable();
    void setDefault();
    void writeTable();
    void readTable();

    std::unique_ptr<Ui::CGammaDlg> ui;
    GammaTable &m_table;
    QList<QSlider *> m_ySliders;
    QList<QLineEdit *> m_yEdits;
    QList<QLineEdit *> m_xEdits;
    bool m_showing = false;
};

} // namespace zm
