#pragma once
// What the OSD windows share: a register block read or written by one worker with the failure
// messages of register access, and the drop-downs and two-digit hex fields bound to register
// values.
//
//     readBlock(this, osd::LogoBlock::kRuns, [this](const QByteArray &b) { show(b); });
//     writeBlock(this, osd::LogoBlock::kRuns, bytes);

#include "osd/osd_blocks.h"
#include "ui/worker_runner.h"

#include <QByteArray>

#include <functional>
#include <memory>
#include <span>

class QComboBox;
class QLineEdit;

namespace zm {

class ToolDialog;

// Reads the runs; on success `apply` gets their bytes on the GUI thread, on failure
// "Read chip register failed!:" and the result text are shown.
std::shared_ptr<WorkerJob> readBlock(ToolDialog *window, std::span<const osd::RegisterRun> runs,
                                     std::function<void(const QByteArray &)> apply,
                                     WorkerRunner::Options options = {});
// Writes the runs; "Write chip register failed!:" and the result text on failure.
std::shared_ptr<WorkerJob> writeBlock(ToolDialog *window, std::span<const osd::RegisterRun> runs,
                                      const QByteArray &bytes, WorkerRunner::Options options = {});

// Selects the item of a register value; a value with no item leaves the drop-down empty.
void selectValue(QComboBox *combo, int value);
// The value a drop-down stands for: its index, or `read` (the value last read) when empty, so
// that a value the list cannot show is written back unchanged.
int pickedValue(const QComboBox *combo, int read);

// Two-digit hex fields of register bytes: hex digits (and blanks) only.
void bindHexBytes(std::span<QLineEdit *const> edits);
void showHexBytes(std::span<QLineEdit *const> edits, const QByteArray &bytes);
QByteArray readHexBytes(std::span<QLineEdit *const> edits);

// Address, length and size fields: a character that is not a hex digit turns them into "0000".
void bindHexOrZeros(QLineEdit *edit, int maxLength, const QString &start);

} // namespace zm
