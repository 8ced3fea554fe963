#pragma once
// Watches for a lost port to come back: the same device path appears again (a USB adapter
// plugged in again, zmsim started again with the same --link). The console owns one; tool
// windows find it through current() to offer "Reopen" while they are in front.

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace zm {

class PortWatch : public QObject
{
    Q_OBJECT

public:
    // Opens the port again with the settings it had; true when it is open.
    using Reopener = std::function<bool()>;

    explicit PortWatch(QObject *parent = nullptr);
    ~PortWatch() override;

    // The one of the program, or null.
    static PortWatch *current();

    void setReopener(Reopener reopener) { m_reopener = std::move(reopener); }
    // Starts looking for `devicePath` every half second; `port` is what the user chose.
    void watch(const QString &port, const QString &devicePath);
    void stop();

    bool watching() const { return m_timer.isActive(); }
    bool isBack() const { return m_back; }
    QString port() const { return m_port; }
    // Asks the console to reopen; false when it could not.
    bool reopen();

    static constexpr int kPollMs = 500;

signals:
    void lost(const QString &port);
    void back(const QString &port);
    void reopened();

private:
    void poll();

    QTimer m_timer;
    QString m_port;
    QString m_devicePath;
    bool m_back = false;
    Reopener m_reopener;
};

} // namespace zm
