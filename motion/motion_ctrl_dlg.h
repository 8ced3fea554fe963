#pragma once
// The "Motion Ctrl" window: motion detection on or off and how it reports (GPIO or UART), the
// motion alarm output (its set-up, enable and open), the motion and alarm status, the motion
// monitor ("Open Comm Motion" / "Close Comm Motion") with a log of its run that can be saved as
// CSV, and the "Motion Setting" window ("Motion Config").

#include "motion/motion_control.h"
#include "motion/motion_log.h"
#include "ui/tool_dialog.h"

#include <functional>
#include <memory>

class QPushButton;

namespace Ui {
class CMotionCtrlDlg;
}

namespace zm {

class EditFilter;

class CMotionCtrlDlg : public ToolDialog
{
    Q_OBJECT

public:
    // `settings` are shown when the window opens and outlive it (the console passes the
    // program's, programMotionCtrlSettings()).
    CMotionCtrlDlg(LinkSession &session, MotionCtrlSettings &settings, QWidget *parent = nullptr);
    ~CMotionCtrlDlg() override;

    // The monitor runs for this window and has not been asked to stop.
    bool isRunning() const { return m_running; }
    // The log's capacity in rows (MotionLog::kMaxRows unless set); takes effect with the next run.
    void setLogCapacity(int rows) { m_logCapacity = rows; }

    // How the window asks where to save the log: (default name, filter) -> path, empty when
    // cancelled. Tests replace the file dialog with this.
    using FileChooser = std::function<QString(const QString &name, const QString &filter)>;
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showSettings();
    void showDetection();
    void alarmTimeChanged();
    void onDetectSet();
    void onDetectGet();
    void onAlarmSet();
    void onAlarmGet();
    void onGetStatus();
    void onCommMotion();
    void runMonitor(Worker &w);
    void showNotification(const MotionNotification &n);
    void monitorEnded();
    void onSaveLog();
    void onMotionConfig();
    // "Set Config" ... "Motion Config": the buttons the monitor disables while it runs.
    QList<QPushButton *> commandButtons() const;

    std::unique_ptr<Ui::CMotionCtrlDlg> ui;
    MotionCtrlSettings &m_settings;
    EditFilter *m_alarmTime = nullptr;
    bool m_running = false;
    std::shared_ptr<WorkerJob> m_monitor;
    MotionLog m_log;
    int m_logCapacity = MotionLog::kMaxRows;
    bool m_logFullTold = false;
    FileChooser m_chooseFile;
};

} // namespace zm
