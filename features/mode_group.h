#pragma once
// One mode group of a feature window: its "GPIO Ctrl" / "UART Ctrl" radios, its mode radios (in
// the order of the group's choices), "Set Config" and "Get Config". The group shows its
// remembered record when built; Set takes the radios into the record and sends them; a
// successful Get writes the answer into the record and the radios. A failure shows the result
// text alone and leaves the record as it was.
//
//     new ModeGroup(this, ModeFeature::Mirror, records.mirror,
//                   {ui->mirrorGpioRadio, ui->mirrorUartRadio},
//                   {ui->mirrorModeRadio0, ui->mirrorModeRadio1},
//                   ui->mirrorSetButton, ui->mirrorGetButton);

#include "features/mode_features.h"

#include <QList>
#include <QObject>

#include <optional>

class QAbstractButton;
class QButtonGroup;

namespace zm {

class ToolDialog;

// Checks the radio of `value` in the group and clears the others; clears all of them when no
// radio stands for `value`.
void selectRadio(QButtonGroup *group, int value);

class ModeGroup : public QObject
{
    Q_OBJECT

public:
    ModeGroup(ToolDialog *window, ModeFeature feature, ModeRecord &record, const QList<QAbstractButton *> &sources,
              const QList<QAbstractButton *> &modes, QAbstractButton *set, QAbstractButton *get);

    // The record into the radios.
    void show();

private:
    void set();
    void get();
    // Checks that a source and a mode are chosen; says which are missing otherwise.
    std::optional<ModeRecord> chosen() const;

    ToolDialog *m_window;
    ModeFeature m_feature;
    ModeRecord &m_record;
    QButtonGroup *m_sources;
    QButtonGroup *m_modes;
};

} // namespace zm
