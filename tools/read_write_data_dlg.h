#pragma once
// The Read/Write Data window: one read-data or write-data command per press of "Send CMD" (the
// button whose caption reads "Read" or "Write").

#include "tools/read_write_data.h"
#include "ui/tool_dialog.h"

#include <memory>

namespace Ui {
class CReadWriteDataDlg;
}

namespace zm {

class EditFilter;

class CReadWriteDataDlg : public ToolDialog
{
    Q_OBJECT

public:
    explicit CReadWriteDataDlg(LinkSession &session, QWidget *parent = nullptr);
    ~CReadWriteDataDlg() override;

    const ReadWriteData &state() const { return m_state; }
    // The texts the window holds.
    QString addressText() const;
    QString valueText() const;

private:
    void operationChanged(int index);
    void deviceChanged(int index);
    void fillCounts();
    void sendCmd();

    std::unique_ptr<Ui::CReadWriteDataDlg> ui;
    ReadWriteData m_state;
    EditFilter *m_address = nullptr;
    EditFilter *m_value = nullptr;
    // Filled on the GUI thread before the worker starts; the window is disabled while it runs.
    TransferRecord m_record;
};

} // namespace zm
