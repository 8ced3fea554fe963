#pragma once
// The console: port panel, data show, the "Comm Command" column and the menu bar. It is the
// program's only top-level window; the one command layer of the program is handed to it.

#include "app/console_button.h"
#include "app/port_settings.h"
#include "ui/tool_dialog.h"

#include <QList>
#include <QMap>

#include <memory>

class QMenuBar;
class QPushButton;

namespace Ui {
class CCommToolDlg;
}

namespace zm {

class CommandLayer;
class DataShowView;

class CCommToolDlg : public ToolDialog
{
    Q_OBJECT

public:
    explicit CCommToolDlg(CommandLayer &layer, QWidget *parent = nullptr);
    ~CCommToolDlg() override;

    // The console of the program, recorded when it is built (null before and after).
    static CCommToolDlg *console();

    bool isPortOpen() const { return m_portOpen; }
    // Preselects a port: an entry of the list, or a typed device path.
    void selectPort(const QString &port);
    PortSettings portSettings() const;

    // Where Tools > "Image Convert" starts the converter from; beside this program by default.
    QString converterPath() const { return m_converterPath; }
    void setConverterPath(const QString &path) { m_converterPath = path; }

    DataShowView *dataShow() const;
    QPushButton *commandButton(const QString &label) const { return m_buttons.value(label); }
    QMenuBar *menuBar() const { return m_menuBar; }

public slots:
    // Bytes the chip sent outside any command.
    void showIdleBytes(const QByteArray &bytes);

protected:
    // The console keeps its own open and closed states.
    void portOpenChanged(bool) override {}

private:
    QList<ConsoleButton> commandTable();
    void buildCommandColumn();
    void buildMenu();
    void applyPortState();
    void toggleOpen();
    void portLost(const QString &reason);
    void getVersion();
    void systemReset();
    void openReadWriteData();
    void openFbuf();
    template <typename Window>
    void openWindow()
    {
        Window dlg(layer(), this);
        dlg.exec();
    }
    void imageConvert();
    void about();

    std::unique_ptr<Ui::CCommToolDlg> ui;
    QMenuBar *m_menuBar = nullptr;
    QMap<QString, QPushButton *> m_buttons;
    QList<QPushButton *> m_offlineButtons;
    bool m_portOpen = false;
    QString m_converterPath;
};

} // namespace zm
