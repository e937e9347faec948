#include "widgets/logwindow.h"

#include "ui_logwindow.h"
#include "widgets/accesspassword.h"
#include "widgets/logmessagehandler.h"
#include "widgets/ptermview.h"
#include "widgets/repaintpacer.h"

#include <QDateTime>
#include <QEvent>

LogWindow::LogWindow(QWidget *parent) : QWidget(parent), ui(new Ui::LogWindow)
{
    ui->setupUi(this);
    new RepaintPacer(this);
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

void LogWindow::logMessage(QtMsgType type, qint64 msecsSinceEpoch, const QString &message)
{
    if (isSeen()) {
        appendLog(formatLogLine(type, QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch), message));
        return;
    }
    if (int(m_waiting.size()) >= PTermView::kMaxLines)
        m_waiting.pop_front();
    m_waiting.push_back({type, msecsSinceEpoch, message});
}

void LogWindow::showWaitingMessages()
{
    if (m_waiting.empty() || !isSeen())
        return;
    QString lines;
    for (const Message &message : m_waiting)
        lines += formatLogLine(message.type, QDateTime::fromMSecsSinceEpoch(message.msecsSinceEpoch),
                               message.text);
    m_waiting.clear();
    appendLog(lines);
}

void LogWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    showWaitingMessages();
}

void LogWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        showWaitingMessages();
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
