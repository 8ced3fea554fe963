#pragma once
// The console's data show: a read-only box with a vertical scroll bar that shows the hex form or
// the character form of a DataShow. Only the lines in view are made and drawn, so it stays as fast
// after hours of a chatty chip as after the first bytes. Every append scrolls to the end.

#include "app/data_show.h"

#include <QAbstractScrollArea>

namespace zm {

class DataShowView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit DataShowView(QWidget *parent = nullptr);

    void appendBytes(const QByteArray &bytes);
    void clear();

    void setHexShow(bool hex);

    const DataShow &data() const { return m_data; }
    // The form in view, whole.
    QString shownText() const { return m_hex ? m_data.hexText() : m_data.charText(); }

    // Lines and bytes a line of the current layout.
    qint64 lineCount() const;
    int bytesPerHexLine() const { return m_bytesPerHexLine; }
    // How often the box has been drawn.
    quint64 paintCount() const { return m_paints; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void relayout();
    void updateScrollBar(bool toEnd);
    int visibleLines() const;

    DataShow m_data;
    bool m_hex = false;
    int m_bytesPerHexLine = 16;
    int m_lineHeight = 1;
    int m_charWidth = 1;
    quint64 m_paints = 0;
};

} // namespace zm
