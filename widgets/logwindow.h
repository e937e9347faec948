#pragma once

#include <QString>
#include <QWidget>
#include <QtGlobal>

#include <deque>

namespace Ui {
class LogWindow;
}

// Top-level window that shows the program's log once the access password is entered;
// lines arriving before that are not kept. While it is hidden or minimized, messages wait
// unformatted (as many as the view holds) and become lines when it is shown again.
class LogWindow : public QWidget
{
    Q_OBJECT

public:
    explicit LogWindow(QWidget *parent = nullptr);
    ~LogWindow() override;

    void appendLog(const QString &line);
    // A message for the log, at a time in milliseconds since the epoch.
    void logMessage(QtMsgType type, qint64 msecsSinceEpoch, const QString &message);
    void checkPassword();
    bool isUnlocked() const { return m_unlocked; }
    int waitingMessageCount() const { return int(m_waiting.size()); }

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct Message
    {
        QtMsgType type;
        qint64 msecsSinceEpoch;
        QString text;
    };

    bool isSeen() const { return isVisible() && !isMinimized(); }
    void showWaitingMessages();

    Ui::LogWindow *ui;
    bool m_unlocked = false;
    std::deque<Message> m_waiting;
};
