#include "osd/block_exchange.h"

#include "protocol/hex_text.h"
#include "link/messages.h"
#include "osd/osd_registers.h"
#include "ui/edit_filter.h"
#include "ui/one_command.h"
#include "ui/tool_dialog.h"

#include <QComboBox>
#include <QLineEdit>

namespace zm {

std::shared_ptr<WorkerJob> readBlock(ToolDialog *window, std::span<const osd::RegisterRun> runs,
                                     std::function<void(const QByteArray &)> apply, WorkerRunner::Options options)
{
    return runQuery<QByteArray>(
        window, window->session(), QString::fromLatin1(msg::kReadRegisterFailed),
        [runs](Commands &c, QByteArray &bytes) { return osd::readRuns(c, runs, bytes); }, std::move(apply), options);
}

std::shared_ptr<WorkerJob> writeBlock(ToolDialog *window, std::span<const osd::RegisterRun> runs,
                                      const QByteArray &bytes, WorkerRunner::Options options)
{
    return runCommand(
        window, window->session(), QString::fromLatin1(msg::kWriteRegisterFailed),
        [runs, bytes](Commands &c) { return osd::writeRuns(c, runs, bytes); }, options);
}

void selectValue(QComboBox *combo, int value)
{
    combo->setCurrentIndex(value >= 0 && value < combo->count() ? value : -1);
}

int pickedValue(const QComboBox *combo, int read)
{
    return combo->currentIndex() >= 0 ? combo->currentIndex() : read;
}

void bindHexBytes(std::span<QLineEdit *const> edits)
{
    for (QLineEdit *e : edits)
        new EditFilter(e, EditFilter::hexRule([] { return 2; }));
}

void showHexBytes(std::span<QLineEdit *const> edits, const QByteArray &bytes)
{
    for (size_t i = 0; i < edits.size() && qsizetype(i) < bytes.size(); ++i)
        edits[i]->setText(formatHex(uint8_t(bytes[i]), 2));
}

QByteArray readHexBytes(std::span<QLineEdit *const> edits)
{
    QByteArray bytes;
    for (QLineEdit *e : edits)
        bytes.append(char(hexFieldNumber(e->text())));
    return bytes;
}

void bindHexOrZeros(QLineEdit *edit, int maxLength, const QString &start)
{
    edit->setMaxLength(maxLength);
    auto *filter = new EditFilter(edit, [maxLength](const QString &before, const QString &after) {
        return osd::hexOrZeros(before, after, maxLength);
    });
    filter->setText(start);
}

} // namespace zm
