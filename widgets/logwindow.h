#pragma once

#include <QWidget>

namespace Ui {
class LogWindow;
}

// Top-level window that shows the program's log once the access password is entered;
// lines arriving before that are not kept.
class LogWindow : public QWidget
{
    Q_OBJECT

public:
    explicit LogWindow(QWidget *parent = nullptr);
    ~LogWindow() override;

    void appendLog(const QString &line);
    void checkPassword();
    bool isUnlocked() const { return m_unlocked; }

private:
    Ui::LogWindow *ui;
    bool m_unlocked = false;
};
