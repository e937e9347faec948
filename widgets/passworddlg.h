#pragma once

#include <QWidget>

namespace Ui {
class PasswordDlg;
}

// Application-modal window asking for the access password; reports the outcome through
// ok() or fail() and closes. CANCEL closes without a signal.
class PasswordDlg : public QWidget
{
    Q_OBJECT

public:
    explicit PasswordDlg(QWidget *parent = nullptr);
    ~PasswordDlg() override;

signals:
    void ok();
    void fail();

private:
    void checkPassword();

    Ui::PasswordDlg *ui;
};
