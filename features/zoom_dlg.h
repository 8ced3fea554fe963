#pragma once
// The "Zoom" window: the chip's output down-size and its zoom rectangle, typed or moved with the
// pan and zoom buttons (each press works out the new rectangle and sends it at once), with a
// drawing of the rectangle in the source frame.

#include "features/zoom.h"
#include "ui/tool_dialog.h"

#include <QList>

#include <memory>
#include <optional>

class QComboBox;
class QLineEdit;

namespace Ui {
class CZoomDlg;
}

namespace zm {

class EditFilter;
struct FeatureRecords;

class CZoomDlg : public ToolDialog
{
    Q_OBJECT

public:
    CZoomDlg(LinkSession &session, FeatureRecords &records, QWidget *parent = nullptr);
    ~CZoomDlg() override;

    const ZoomSteps &steps() const { return m_steps; }

private:
    // The six edits: source width and height, then the rectangle.
    struct Sizes {
        uint16_t sourceWidth = 0, sourceHeight = 0;
        ZoomRect zoom;
    };
    std::optional<Sizes> typedSizes(bool tell);
    void showSizes(const Sizes &s);
    void showDownSize(int horizontal, int vertical);
    void redraw();
    void apply(const Sizes &s);
    void setZoomConfig();
    void getZoomConfig();
    void panZoom(Pan how);
    void setDownSize();
    void getDownSize();

    std::unique_ptr<Ui::CZoomDlg> ui;
    ZoomRecord &m_record;
    ZoomSteps m_steps;
    QList<EditFilter *> m_edits;
    QStringList m_editNames;
};

} // namespace zm
