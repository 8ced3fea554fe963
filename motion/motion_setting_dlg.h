#pragma once
// The "Motion Setting" window: the motion detector's global thresholds, the grid of motion
// windows (five horizontal and five vertical boundaries for the chosen image type) and the four
// thresholds of each of the 16 windows, each group written with "Set Config" and read back with
// "Get Config".

#include "motion/motion_settings.h"
#include "ui/tool_dialog.h"

#include <array>
#include <memory>

class QComboBox;
class QLineEdit;

namespace Ui {
class CMotionSettingDlg;
}

namespace zm {

class CMotionSettingDlg : public ToolDialog
{
    Q_OBJECT

public:
    explicit CMotionSettingDlg(LinkSession &session, QWidget *parent = nullptr);
    ~CMotionSettingDlg() override;

private:
    void fillBoundaries();
    Report stepReport(Worker &w);
    void startSteps(int steps);
    void onThresholdSet();
    void onThresholdGet();
    void onWindowsSet();
    void onWindowsGet();
    void showBoundaries(const Boundaries &b);
    void onSingleSet();
    void onSingleGet();

    std::unique_ptr<Ui::CMotionSettingDlg> ui;
    std::array<QLineEdit *, kThresholdFieldCount> m_thresholdEdits{};
    std::array<QComboBox *, 10> m_boundaryCombos{}; // Hor 0..4, Ver 0..4
    std::array<QLineEdit *, 4 * kWindowCount> m_windowEdits{}; // by port selector
};

} // namespace zm
