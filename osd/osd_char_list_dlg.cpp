#include "osd/osd_char_list_dlg.h"

#include "osd/osd_char_set.h"
#include "ui/resources.h"
#include "ui_osd_char_list_dlg.h"

#include <QHeaderView>

namespace zm {

COsdCharListDlg::COsdCharListDlg(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::COsdCharListDlg>())
{
    ui->setupUi(this);
    setWindowIcon(appIcon());
    using osd::OsdCharSet;
    constexpr int kRows = OsdCharSet::kListRows, kPairs = OsdCharSet::kListPairs;
    QTableWidget *table = ui->charTable;
    table->setColumnCount(2 * kPairs);
    table->setRowCount(kRows);
    QStringList headers;
    for (int k = 0; k < kPairs; ++k)
        headers << QStringLiteral("Index") << QStringLiteral("Char");
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->hide();
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int k = 0; k < kPairs; ++k) {
        table->setColumnWidth(2 * k, 50);
        table->setColumnWidth(2 * k + 1, 40);
        for (int r = 0; r < kRows; ++r) {
            const int index = OsdCharSet::listIndex(r, k);
            table->setItem(r, 2 * k, new QTableWidgetItem(OsdCharSet::indexText(index)));
            table->setItem(r, 2 * k + 1, new QTableWidgetItem(OsdCharSet::charText(index)));
        }
    }
    // The whole list at once, without scrolling.
    table->resizeRowsToContents();
    int width = 2 * table->frameWidth();
    for (int c = 0; c < table->columnCount(); ++c)
        width += table->columnWidth(c);
    int height = 2 * table->frameWidth() + table->horizontalHeader()->sizeHint().height();
    for (int r = 0; r < kRows; ++r)
        height += table->rowHeight(r);
    table->setMinimumSize(width, height);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(ui->okButton, &QPushButton::clicked, this, &COsdCharListDlg::accept);
}

COsdCharListDlg::~COsdCharListDlg() = default;

} // namespace zm
