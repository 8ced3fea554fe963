#pragma once
// Tools > "Traffic Log": every frame that crosses the line, decoded, with its time and the round
// trip of each answer. It stays open beside the other windows and reads what the link recorded
// on a timer; the link records only while it is open. It keeps the last 100,000 rows, filters by
// command and by failures, copies the selected rows and saves all as CSV or text.

#include "protocol/traffic_rows.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

namespace Ui {
class CTrafficLogDlg;
}

namespace zm {

class LinkSession;

// The rows a filter lets through, for the table.
class TrafficTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit TrafficTableModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    TrafficRows &rows() { return m_rows; }
    void add(const std::vector<TrafficEvent> &events);
    void clear();
    void setFilter(int code, bool failuresOnly);
    const TrafficRow &shownRow(int row) const { return m_rows.at(m_shown[size_t(row)]); }

private:
    void refilter();

    TrafficRows m_rows;
    std::vector<size_t> m_shown; // indexes into m_rows
    int m_code = -1;
    bool m_failuresOnly = false;
};

class CTrafficLogDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CTrafficLogDlg(LinkSession &session, QWidget *parent = nullptr);
    ~CTrafficLogDlg() override;

    // How the window asks for the file to save to; tests replace the file dialog with this.
    using FileChooser = std::function<QString(const QString &name)>;
    void setFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }

    TrafficTableModel &model() { return m_model; }
    // Takes what the link recorded since the last look (the timer does this every 100 ms).
    void refresh();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void applyFilter();
    void copySelected();
    void save();
    void showCounts();

    std::unique_ptr<Ui::CTrafficLogDlg> ui;
    LinkSession &m_session;
    TrafficTableModel m_model;
    QTimer m_timer;
    FileChooser m_chooseFile;
};

} // namespace zm
