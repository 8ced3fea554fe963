#pragma once
// One fault the simulated chip injects on request.

#include <QString>

#include <optional>

namespace zm::sim {

enum class FaultKind {
    NoAnswer, // the command is dropped unexecuted, nothing is sent
    Serial,   // the answer carries another serial number
    Sign,     // the answer starts with the command sign 0x56
    Long,     // the answer claims 17 data bytes: 22 bytes in all
    Status,   // the command is not executed and answered with status `value`
    Delay,    // the answer is held back `value` ms
    Stall,    // a raw phase stops after `value` bytes and has no closing answer
    Flaky,    // the next `value` memory writes (EEPROMs, flash) store a byte with one bit flipped
    Hangup,   // the chip closes the line instead of answering
};

struct FaultRule {
    FaultKind kind = FaultKind::NoAnswer;
    int value = 0;
    int command = -1; // command code it applies to; -1 for every command
    int times = -1;   // how many more times it applies; -1 for as long as it stays
    int skip = 0;     // how many matching commands still pass untouched before it applies
    // It applies to the closing answer of a raw frame-buffer phase rather than to the command's
    // first answer.
    bool closing = false;

    // Parses KIND[=VALUE][,cmd=CODE][,skip=N][,times=N][,closing]; CODE is hexadecimal with or
    // without 0x.
    // A rule without cmd never touches the chip's own motion notifications; cmd=0x39 does.
    static std::optional<FaultRule> parse(const QString &text, QString *error = nullptr);
    QString toString() const;
};

} // namespace zm::sim
