#include "sim/fault_rule.h"

#include <QStringList>

namespace zm::sim {

namespace {

struct KindName {
    FaultKind kind;
    const char *name;
    bool needsValue;
};
constexpr KindName kKinds[] = {
    {FaultKind::NoAnswer, "noanswer", false}, {FaultKind::Serial, "serial", false},
    {FaultKind::Sign, "sign", false},         {FaultKind::Long, "long", false},
    {FaultKind::Status, "status", true},      {FaultKind::Delay, "delay", true},
    {FaultKind::Stall, "stall", true},        {FaultKind::Flaky, "flaky", true},
    {FaultKind::Hangup, "hangup", false},
};

std::optional<FaultRule> fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return std::nullopt;
}

} // namespace

std::optional<FaultRule> FaultRule::parse(const QString &text, QString *error)
{
    const QStringList parts = text.trimmed().split(u',');
    FaultRule rule;
    const QString head = parts.value(0).trimmed();
    const QString name = head.section(u'=', 0, 0).trimmed().toLower();
    const bool hasValue = head.contains(u'=');
    const KindName *kind = nullptr;
    for (const KindName &k : kKinds) {
        if (name == QLatin1String(k.name))
            kind = &k;
    }
    if (!kind)
        return fail(error, QStringLiteral("unknown fault kind '%1'").arg(name));
    rule.kind = kind->kind;
    if (kind->needsValue != hasValue)
        return fail(error, kind->needsValue ? QStringLiteral("fault '%1' needs =VALUE").arg(name)
                                            : QStringLiteral("fault '%1' takes no value").arg(name));
    if (hasValue) {
        bool ok = false;
        rule.value = head.section(u'=', 1).trimmed().toInt(&ok, 10);
        const int max = rule.kind == FaultKind::Status ? 255 : 100000000;
        if (!ok || rule.value < 0 || rule.value > max)
            return fail(error, QStringLiteral("bad value in '%1'").arg(head));
        if (rule.kind == FaultKind::Flaky && rule.value == 0)
            return fail(error, QStringLiteral("flaky needs a count of 1 or more"));
    }
    for (int i = 1; i < parts.size(); ++i) {
        const QString key = parts[i].section(u'=', 0, 0).trimmed().toLower();
        if (key == u"closing" && !parts[i].contains(u'=')) {
            rule.closing = true;
            continue;
        }
        QString value = parts[i].section(u'=', 1).trimmed();
        bool ok = false;
        if (key == u"cmd") {
            if (value.startsWith(u"0x", Qt::CaseInsensitive))
                value = value.mid(2);
            rule.command = value.toInt(&ok, 16);
            if (!ok || value.isEmpty() || rule.command < 0 || rule.command > 255)
                return fail(error, QStringLiteral("bad command code '%1'").arg(parts[i].trimmed()));
        } else if (key == u"skip") {
            rule.skip = value.toInt(&ok, 10);
            if (!ok || rule.skip < 0)
                return fail(error, QStringLiteral("bad count '%1'").arg(parts[i].trimmed()));
        } else if (key == u"times") {
            rule.times = value.toInt(&ok, 10);
            if (!ok || rule.times < 1)
                return fail(error, QStringLiteral("bad count '%1'").arg(parts[i].trimmed()));
        } else {
            return fail(error, QStringLiteral("unknown fault option '%1'").arg(parts[i].trimmed()));
        }
    }
    if (rule.closing && rule.kind != FaultKind::NoAnswer && rule.kind != FaultKind::Serial
        && rule.kind != FaultKind::Sign && rule.kind != FaultKind::Status && rule.kind != FaultKind::Delay)
        return fail(error, QStringLiteral("closing takes noanswer, serial, sign, status or delay"));
    // flaky=N counts the writes itself.
    if (rule.kind == FaultKind::Flaky)
        rule.times = rule.value;
    return rule;
}

QString FaultRule::toString() const
{
    QString text;
    for (const KindName &k : kKinds) {
        if (k.kind == kind)
            text = QLatin1String(k.name) + (k.needsValue ? QStringLiteral("=%1").arg(value) : QString());
    }
    if (command >= 0)
        text += QStringLiteral(",cmd=0x%1").arg(command, 2, 16, QLatin1Char('0'));
    if (skip > 0)
        text += QStringLiteral(",skip=%1").arg(skip);
    if (times >= 0 && kind != FaultKind::Flaky)
        text += QStringLiteral(",times=%1").arg(times);
    if (closing)
        text += QStringLiteral(",closing");
    return text;
}

} // namespace zm::sim
