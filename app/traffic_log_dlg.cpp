#include "app/traffic_log_dlg.h"

#include "link/link_session.h"
#include "link/file_writer.h"
#include "protocol/traffic_decode.h"
#include "ui/message_box.h"
#include "ui/resources.h"
#include "ui_traffic_log_dlg.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QHeaderView>
#include <QScrollBar>

namespace zm {

TrafficTableModel::TrafficTableModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int TrafficTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

int TrafficTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(TrafficRows::headers().size());
}

QVariant TrafficTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || size_t(index.row()) >= m_shown.size())
        return {};
    const TrafficRow &r = shownRow(index.row());
    if (role == Qt::DisplayRole)
        return r.columns().value(index.column());
    if (role == Qt::ForegroundRole && r.failure)
        return QColor(Qt::darkRed);
    if (role == Qt::TextAlignmentRole && (index.column() == 0 || index.column() == 7))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant TrafficTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return TrafficRows::headers().value(section);
    return {};
}

void TrafficTableModel::add(const std::vector<TrafficEvent> &events)
{
    if (events.empty())
        return;
    const uint64_t droppedBefore = m_rows.droppedRows();
    m_rows.add(events);
    if (m_rows.droppedRows() != droppedBefore) {
        // The oldest rows went: the indexes moved, count them again.
        refilter();
        return;
    }
    const size_t first = m_rows.size() - events.size();
    std::vector<size_t> fresh;
    for (size_t i = first; i < m_rows.size(); ++i)
        if (TrafficRows::passes(m_rows.at(i), m_code, m_failuresOnly))
            fresh.push_back(i);
    if (fresh.empty())
        return;
    beginInsertRows({}, int(m_shown.size()), int(m_shown.size() + fresh.size()) - 1);
    m_shown.insert(m_shown.end(), fresh.begin(), fresh.end());
    endInsertRows();
}

void TrafficTableModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_shown.clear();
    endResetModel();
}

void TrafficTableModel::setFilter(int code, bool failuresOnly)
{
    m_code = code;
    m_failuresOnly = failuresOnly;
    refilter();
}

void TrafficTableModel::refilter()
{
    beginResetModel();
    m_shown.clear();
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (TrafficRows::passes(m_rows.at(i), m_code, m_failuresOnly))
            m_shown.push_back(i);
    endResetModel();
}

CTrafficLogDlg::CTrafficLogDlg(LinkSession &session, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::CTrafficLogDlg>())
    , m_session(session)
{
    ui->setupUi(this);
    setWindowIcon(appIcon());
    setWindowFlag(Qt::WindowMinMaxButtonsHint);
    setModal(false);
    m_chooseFile = [this](const QString &name) {
        return QFileDialog::getSaveFileName(this, tr("Save Traffic Log"), name,
                                            QStringLiteral("CSV (*.csv);;Text (*.txt)"));
    };

    ui->commandCombo->addItem(QStringLiteral("All"), -1);
    int count = 0;
    const uint8_t *codes = traffic::commandCodes(&count);
    for (int i = 0; i < count; ++i)
        ui->commandCombo->addItem(traffic::commandName(codes[i]), int(codes[i]));
    ui->table->setModel(&m_model);
    ui->table->verticalHeader()->setVisible(false);
    ui->table->verticalHeader()->setDefaultSectionSize(ui->table->fontMetrics().height() + 4);
    // Every column in view at the window's width; the fields take what is left.
    QHeaderView *header = ui->table->horizontalHeader();
    header->setStretchLastSection(false);
    const QList<int> widths = {75, 70, 55, 150, 0, 170, 210, 105};
    for (int c = 0; c < widths.size(); ++c)
        if (widths[c] > 0)
            ui->table->setColumnWidth(c, widths[c]);
    header->setSectionResizeMode(4, QHeaderView::Stretch);

    connect(ui->commandCombo, &QComboBox::currentIndexChanged, this, &CTrafficLogDlg::applyFilter);
    connect(ui->failuresCheck, &QCheckBox::toggled, this, &CTrafficLogDlg::applyFilter);
    connect(ui->copyButton, &QPushButton::clicked, this, &CTrafficLogDlg::copySelected);
    connect(ui->saveButton, &QPushButton::clicked, this, &CTrafficLogDlg::save);
    connect(ui->clearButton, &QPushButton::clicked, this, [this] {
        m_model.clear();
        showCounts();
    });
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, &CTrafficLogDlg::refresh);
}

CTrafficLogDlg::~CTrafficLogDlg()
{
    m_session.traffic().recorder().setEnabled(false);
}

void CTrafficLogDlg::showEvent(QShowEvent *event)
{
    m_session.traffic().recorder().setEnabled(true);
    m_timer.start();
    QDialog::showEvent(event);
}

void CTrafficLogDlg::hideEvent(QHideEvent *event)
{
    refresh();
    m_timer.stop();
    m_session.traffic().recorder().setEnabled(false);
    QDialog::hideEvent(event);
}

void CTrafficLogDlg::refresh()
{
    std::vector<TrafficEvent> events;
    if (m_session.traffic().recorder().take(events) == 0)
        return;
    QScrollBar *bar = ui->table->verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum() - 1;
    m_model.add(events);
    if (atEnd)
        ui->table->scrollToBottom();
    showCounts();
}

void CTrafficLogDlg::applyFilter()
{
    m_model.setFilter(ui->commandCombo->currentData().toInt(), ui->failuresCheck->isChecked());
    ui->table->scrollToBottom();
    showCounts();
}

void CTrafficLogDlg::showCounts()
{
    const TrafficRows &rows = m_model.rows();
    QString text = QStringLiteral("%1 rows shown of %2").arg(m_model.rowCount()).arg(rows.size());
    const uint64_t dropped = rows.droppedRows() + m_session.traffic().recorder().dropped();
    if (dropped)
        text += QStringLiteral("; %1 older rows dropped").arg(dropped);
    ui->countLabel->setText(text + '.');
}

void CTrafficLogDlg::copySelected()
{
    QList<int> picked;
    for (const QModelIndex &i : ui->table->selectionModel()->selectedRows())
        picked << i.row();
    std::sort(picked.begin(), picked.end());
    QString text;
    for (int row : picked)
        text += m_model.shownRow(row).text() + '\n';
    QApplication::clipboard()->setText(text);
}

void CTrafficLogDlg::save()
{
    const QString path = m_chooseFile(QStringLiteral("traffic.csv"));
    if (path.isEmpty())
        return;
    const bool csv = path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
    const QString content = csv ? m_model.rows().csv() : m_model.rows().text();
    QString error;
    if (!FileWriter::writeAll(path, content.toUtf8(), &error))
        showMessage(this, QStringLiteral("The traffic log could not be saved: %1.").arg(error));
}

} // namespace zm
