#include "widgets/passworddlg.h"

#include "ui_passworddlg.h"
#include "widgets/accesspassword.h"

#include <QPointer>

PasswordDlg::PasswordDlg(QWidget *parent) : QWidget(parent), ui(new Ui::PasswordDlg)
{
    ui->setupUi(this);
    connect(ui->lineEdit_password, &QLineEdit::returnPressed, this, &PasswordDlg::checkPassword);
    connect(ui->pushButton_ok, &QPushButton::clicked, this, &PasswordDlg::checkPassword);
    connect(ui->pushButton_cancel, &QPushButton::clicked, this, &QWidget::close);
}

PasswordDlg::~PasswordDlg()
{
    delete ui;
}

void PasswordDlg::checkPassword()
{
    // The receiver may delete the dialog from its slot.
    QPointer<PasswordDlg> self(this);
    if (ui->lineEdit_password->text() == QLatin1String(accessPassword))
        emit ok();
    else
        emit fail();
    if (self)
        close();
}
