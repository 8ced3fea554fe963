#pragma once
// What the user reads when a command fails: its result text exactly as the chip's table has it,
// then, on a line of its own, which command failed and what to check. The windows, the
// procedures of the cores and zmctl all say it in these words.
//
//     failureText(session, rc::TimeOut)
//         -> "Cmd time out\n"
//            "get-version: no answer in 3000 ms: check the port, BautRate and the chip's power"
//
// The hints name what the user can change: the console's controls in a window, zmctl's options
// and commands on a terminal (setFailureWording, once at the start of a program).

#include "link/link_session.h"

#include <QString>

namespace zm {

enum class FailureWording {
    Window,   // "BautRate", "Stop CFbuf" ...
    Terminal, // "--baud", "zmctl fbuf-ctl stop-current" ...
};

// For the whole program; the windows' wording unless a program says otherwise.
void setFailureWording(FailureWording wording);
FailureWording failureWording();

// "get-version: no answer in 3000 ms: check ..." for the command `sent` that ended with
// `result`; empty for success, a stop, and results that need no more words. `answerSerial` is
// the serial number the chip answered with (used for 242).
QString failureContext(const LinkSession::SentCommand &sent, uint8_t result, uint8_t answerSerial,
                       FailureWording wording);

// The result text and, on the next line, the context of the session's last command. Empty when
// the port went away: the program tells that once, in its own words.
QString failureText(const LinkSession &session, uint8_t result);

// Lines joined with '\n', leaving out the empty ones.
QString joinLines(const QStringList &lines);

} // namespace zm
