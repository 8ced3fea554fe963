#include "sim/fault_rules.h"

namespace zm::sim {

FaultEffects FaultRules::forCommand(uint8_t code, bool rawPhase, bool memoryWrite)
{
    return collect(code, false, rawPhase, memoryWrite);
}

FaultEffects FaultRules::forNotification()
{
    return collect(0x39, true, false, false);
}

FaultEffects FaultRules::forClosing(uint8_t code)
{
    return collect(code, false, true, false, true);
}

FaultEffects FaultRules::collect(int code, bool notification, bool rawPhase, bool memoryWrite, bool closing)
{
    FaultEffects e;
    for (auto it = m_rules.begin(); it != m_rules.end();) {
        FaultRule &r = *it;
        const bool matches = r.closing == closing && (r.command < 0 ? !notification : r.command == code);
        const bool counts = matches && (r.kind != FaultKind::Stall || rawPhase)
            && (r.kind != FaultKind::Flaky || memoryWrite);
        if (!counts) {
            ++it;
            continue;
        }
        if (r.skip > 0) {
            --r.skip;
            ++it;
            continue;
        }
        switch (r.kind) {
        case FaultKind::NoAnswer: e.noAnswer = true; break;
        case FaultKind::Serial: e.wrongSerial = true; break;
        case FaultKind::Sign: e.wrongSign = true; break;
        case FaultKind::Long: e.longAnswer = true; break;
        case FaultKind::Status: e.status = uint8_t(r.value); break;
        case FaultKind::Delay: e.delayMs += r.value; break;
        case FaultKind::Stall: e.stall = r.value; break;
        case FaultKind::Flaky: e.flaky = true; break;
        case FaultKind::Hangup: e.hangup = true; break;
        }
        if (r.times > 0 && --r.times == 0)
            it = m_rules.erase(it);
        else
            ++it;
    }
    return e;
}

} // namespace zm::sim
