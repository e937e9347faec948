#include "widgets/logwindow.h"

#include "ui_logwindow.h"
#include "widgets/accesspassword.h"
#include "widgets/logmessagehandler.h"

LogWindow::LogWindow(QWidget *parent) : QWidget(parent), ui(new Ui::LogWindow)
{
    ui->setupUi(this);
    ui->textEdit->hide();
    connect(ui->lineEdit, &QLineEdit::returnPressed, ui->pushButton, &QPushButton::click);
    connect(ui->pushButton, &QPushButton::clicked, this, &LogWindow::checkPassword);
}

LogWindow::~LogWindow()
{
    if (g_logWindow == this)
        g_logWindow = nullptr;
    delete ui;
}

void LogWindow::appendLog(const QString &line)
{
    // UTF-8, because that is what the view decodes; Latin-1 would turn "µV" into garbage.
    ui->textEdit->putData(line.toUtf8());
}

void LogWindow::checkPassword()
{
    if (ui->lineEdit->text() != QLatin1String(accessPassword))
        return;
    ui->label->hide();
    ui->lineEdit->hide();
    ui->pushButton->hide();
    ui->textEdit->show();
    m_unlocked = true;
}
