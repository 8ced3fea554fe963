#pragma once
// Why a port would not open, in words that say what helps on this machine. The facts are
// gathered from the system in one place and the words are worked out from them alone, so that
// every case can be checked without the user, the groups or the device it describes.

#include <QSerialPort>
#include <QString>

namespace zm {

struct OpenFacts {
    bool exists = false;
    bool serialDevice = false;  // a character device (a tty), not a folder or a plain file
    bool accessible = false;    // this process may read and write it (permissions and ACLs)
    QString mode;               // "crw-rw----"
    QString owner;              // user name, or the number when the system has no name for it
    QString group;              // the same for the group
    bool groupMayOpen = false;  // the group has read and write, and it is not the super-user's
    QString user;               // who we run as
    bool inGroupAccount = false; // the user's account lists the group (/etc/group and the like)
    bool inGroupNow = false;     // this process carries the group already
    QString holder;             // "process 123 (minicom)" from a lock file, when one names it
};

// Looks at `path` (the device a port name stands for) as the current process sees it.
OpenFacts openFacts(const QString &path);

// The message for a port that would not open: `port` as the user gave it, `path` its device,
// `error` and `systemText` as the serial port object reported them.
QString openFailureText(const QString &port, const QString &path, QSerialPort::SerialPortError error,
                        const QString &systemText, const OpenFacts &facts);

// "COM20 (/dev/ttyS19)" for a COM name, the path itself otherwise.
QString portLabel(const QString &port, const QString &path);

// The process named by a lock file of the usual kind for `path`, as "process 123 (name)";
// empty when there is none or it names a process that is gone.
QString lockHolder(const QString &path);

} // namespace zm
