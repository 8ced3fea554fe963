#include "features/mode_group.h"

#include "link/messages.h"
#include "ui/message_box.h"
#include "ui/one_command.h"
#include "ui/tool_dialog.h"

#include <QAbstractButton>
#include <QButtonGroup>

namespace zm {

void selectRadio(QButtonGroup *group, int value)
{
    if (QAbstractButton *b = group->button(value)) {
        b->setChecked(true);
        return;
    }
    // An exclusive group keeps one button checked; let go of that while clearing.
    group->setExclusive(false);
    for (QAbstractButton *b : group->buttons())
        b->setChecked(false);
    group->setExclusive(true);
}

ModeGroup::ModeGroup(ToolDialog *window, ModeFeature feature, ModeRecord &record,
                     const QList<QAbstractButton *> &sources, const QList<QAbstractButton *> &modes,
                     QAbstractButton *set, QAbstractButton *get)
    : QObject(window)
    , m_window(window)
    , m_feature(feature)
    , m_record(record)
    , m_sources(new QButtonGroup(this))
    , m_modes(new QButtonGroup(this))
{
    m_sources->addButton(sources.value(0), kGpioControl);
    m_sources->addButton(sources.value(1), kUartControl);
    const ModeFeatureInfo &info = modeFeatureInfo(feature);
    for (int i = 0; i < modes.size() && i < info.choices.size(); ++i)
        m_modes->addButton(modes[i], info.choices[i].value);
    connect(set, &QAbstractButton::clicked, this, &ModeGroup::set);
    connect(get, &QAbstractButton::clicked, this, &ModeGroup::get);
    show();
}

void ModeGroup::show()
{
    selectRadio(m_sources, m_record.source);
    selectRadio(m_modes, m_record.mode);
}

std::optional<ModeRecord> ModeGroup::chosen() const
{
    auto missing = [this](const QButtonGroup *group) {
        QStringList texts;
        for (QAbstractButton *b : group->buttons())
            texts << b->text();
        showMessage(m_window, QString::fromLatin1(msg::kSelectChoice).arg(texts.join(QStringLiteral(", "))));
        return std::nullopt;
    };
    // After an answer with a value no radio stands for, nothing is checked: sending the record
    // would send that value back, so the user chooses first.
    if (m_sources->checkedId() < 0)
        return missing(m_sources);
    if (m_modes->checkedId() < 0)
        return missing(m_modes);
    ModeRecord r = m_record;
    r.source = uint8_t(m_sources->checkedId());
    r.mode = uint8_t(m_modes->checkedId());
    return r;
}

void ModeGroup::set()
{
    const std::optional<ModeRecord> r = chosen();
    if (!r)
        return;
    // Remembered before sending, whatever the chip makes of it.
    m_record = *r;
    runCommand(m_window, m_window->session(), QString(),
               [feature = m_feature, record = *r](Commands &c) { return setMode(c, feature, record); });
}

void ModeGroup::get()
{
    runQuery<ModeRecord>(
        m_window, m_window->session(), QString(),
        [feature = m_feature, start = m_record](Commands &c, ModeRecord &got) {
            got = start;
            return getMode(c, feature, got);
        },
        [this](const ModeRecord &got) {
            m_record = got;
            show();
        });
}

} // namespace zm
