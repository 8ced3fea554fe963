#pragma once
// The console: port panel, data show, the "Comm Command" column and the menu bar. It is the
// program's only top-level window; the one link session of the program is handed to it.

#include "app/console_button.h"
#include "app/idle_capture.h"
#include "app/port_settings.h"
#include "ui/port_watch.h"
#include "ui/tool_dialog.h"

#include <QList>
#include <QMap>

#include <functional>

#include <memory>

class QLabel;
class QMenuBar;
class QPushButton;

namespace Ui {
class CCommToolDlg;
}

namespace zm {

class LinkSession;
class CTrafficLogDlg;
class DemoSimulator;
class DataShowView;

class CCommToolDlg : public ToolDialog
{
    Q_OBJECT

public:
    explicit CCommToolDlg(LinkSession &session, QWidget *parent = nullptr);
    ~CCommToolDlg() override;

    // The console of the program, recorded when it is built (null before and after).
    static CCommToolDlg *console();

    bool isPortOpen() const { return m_portOpen; }
    // Preselects a port: an entry of the list, or a typed device path.
    void selectPort(const QString &port);
    PortSettings portSettings() const;
    // The simulated chip of the demo, which the console offers to start again when it ends.
    void setDemoSimulator(DemoSimulator *simulator);

    // How the console asks for a file to save to; tests replace the file dialog with this.
    using FileChooser = std::function<QString(const QString &title, const QString &name)>;
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }

    // Where Tools > "Image Convert" starts the converter from; beside this program or on the PATH.
    void setConverterPath(const QString &path) { m_converterPath = path; }

    DataShowView *dataShow() const;
    // Tools > "Traffic Log": opens the window, or brings it to the front; it lives as long as
    // the console.
    CTrafficLogDlg *showTrafficLog();
    QPushButton *commandButton(const QString &label) const { return m_buttons.value(label); }
    QMenuBar *menuBar() const { return m_menuBar; }

public slots:
    // Bytes the chip sent outside any command.
    void showIdleBytes();

protected:
    // The console keeps its own open and closed states.
    void portOpenChanged(bool) override {}
    // Under the data show, beside which the command column stands.
    void placeStatusLine(QLabel *line) override;

private:
    QList<ConsoleButton> commandTable();
    void buildCommandColumn();
    void buildMenu();
    void applyPortState();
    void toggleOpen();
    void portLost(const QString &reason);
    bool reopen();
    // The chip's UART now runs at `baud`: the console follows, the port reopened at that rate.
    bool switchBaud(int baud);
    void showPortStatus();
    void restartDemo();
    void getVersion();
    void systemReset();
    void openReadWriteData();
    void openFbuf();
    void openMotionCtrl();
    void openOsdConfig();
    void imageConvert();
    void saveShow();
    void logToFile(bool on);
    void about();

    std::unique_ptr<Ui::CCommToolDlg> ui;
    std::unique_ptr<CTrafficLogDlg> m_trafficLog;
    QMenuBar *m_menuBar = nullptr;
    QMap<QString, QPushButton *> m_buttons;
    bool m_portOpen = false;
    QString m_converterPath;
    FileChooser m_chooseFile;
    IdleCapture m_capture;
    PortWatch m_watch;
    PortSettings m_lostSettings; // the settings of a port that went away, for "Reopen"
    DemoSimulator *m_demo = nullptr;
    bool m_demoEnded = false;
};

} // namespace zm
