#pragma once
// The fault rules in force and what they do to one exchange.

#include "sim/fault_rule.h"

#include <QList>

#include <cstdint>
#include <optional>

namespace zm::sim {

// What the rules that matched one command (or notification) ask for.
struct FaultEffects {
    bool noAnswer = false;
    bool hangup = false;
    bool wrongSerial = false;
    bool wrongSign = false;
    bool longAnswer = false;
    std::optional<uint8_t> status;
    int delayMs = 0;
    std::optional<int> stall;
    bool flaky = false;
};

class FaultRules {
public:
    void add(const FaultRule &rule) { m_rules.append(rule); }
    void clear() { m_rules.clear(); }
    const QList<FaultRule> &rules() const { return m_rules; }

    // The effects for a received command. Each matching rule is used up once; stall only counts
    // for a command with a raw phase, flaky only for a write into an EEPROM or the flash.
    FaultEffects forCommand(uint8_t code, bool rawPhase, bool memoryWrite);
    // The effects for a motion notification: only rules naming cmd=0x39.
    FaultEffects forNotification();
    // The effects for the closing answer of a raw phase of `code`: only rules marked closing.
    FaultEffects forClosing(uint8_t code);

private:
    FaultEffects collect(int code, bool notification, bool rawPhase, bool memoryWrite, bool closing = false);

    QList<FaultRule> m_rules;
};

} // namespace zm::sim
