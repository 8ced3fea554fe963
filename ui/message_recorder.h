#pragma once
// Switches zm::showMessage() to recording for as long as it lives (tests). One at a time.
//
//     zm::MessageRecorder messages;
//     QTest::mouseClick(button, Qt::LeftButton);
//     QTRY_COMPARE_WITH_TIMEOUT(messages.texts(), QStringList{"Cmd time out"}, 5000);
//     QCOMPARE(messages.at(0).icon, QMessageBox::Warning);

#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <mutex>

namespace zm {

struct RecordedMessage {
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

class MessageRecorder
{
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    // The recorder in force, or null when boxes are really shown.
    static MessageRecorder *current();

    // What showMessage() returns while recording; Ok unless set.
    void setAnswer(QMessageBox::StandardButton answer);

    void record(const RecordedMessage &m);
    QMessageBox::StandardButton answer() const;

    QList<RecordedMessage> messages() const;
    QStringList texts() const;
    // The first line of each: the fixed text of a failure, without the line that says which
    // command failed and what to check.
    QStringList headlines() const;
    int count() const;
    RecordedMessage at(int i) const;
    void clear();

private:
    mutable std::mutex m_mutex;
    QList<RecordedMessage> m_messages;
    QMessageBox::StandardButton m_answer = QMessageBox::Ok;
};

} // namespace zm
