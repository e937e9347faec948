#include "widgets/logmessagehandler.h"
#include "widgets/logwindow.h"
#include "widgets/ptermview.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QThread>

class TstLogMessageHandler : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void formatLogLine_type_taggedLine_data();
    void formatLogLine_type_taggedLine();
    void lockedWindow_messages_notKept();
    void checkPassword_wrongText_staysLocked_data();
    void checkPassword_wrongText_staysLocked();
    void enterInPasswordField_actsLikeShow();
    void appendLog_nonAsciiText_shownIntact();
    void otherThreadMessage_queuedToGuiThread();
    void destroyedWindow_laterMessages_dropped();
    void fatalMessage_lineWrittenOnce();

private:
    void unlock();
    PTermView *view() const { return m_window->findChild<PTermView *>("textEdit"); }
    QLineEdit *passwordField() const { return m_window->findChild<QLineEdit *>("lineEdit"); }

    LogWindow *m_window = nullptr;
    QtMessageHandler m_previous = nullptr;
};

void TstLogMessageHandler::init()
{
    m_window = new LogWindow;
    g_logWindow = m_window;
    m_previous = qInstallMessageHandler(logMessageHandler);
}

void TstLogMessageHandler::cleanup()
{
    qInstallMessageHandler(m_previous);
    delete m_window;
    m_window = nullptr;
    QVERIFY(!g_logWindow);
}

void TstLogMessageHandler::unlock()
{
    passwordField()->setText("quirbentol57");
    m_window->findChild<QPushButton *>("pushButton")->click();
    QVERIFY(m_window->isUnlocked());
}

void TstLogMessageHandler::formatLogLine_type_taggedLine_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("line");
    QTest::newRow("debug") << int(QtDebugMsg) << "2026-03-05 14:07:02:045 [DEBUG] : Timer Stop.\r\n";
    QTest::newRow("warning") << int(QtWarningMsg) << "2026-03-05 14:07:02:045 [WARNG] : Timer Stop.\r\n";
    QTest::newRow("critical") << int(QtCriticalMsg) << "2026-03-05 14:07:02:045 [CRITC] : Timer Stop.\r\n";
    QTest::newRow("fatal") << int(QtFatalMsg) << "2026-03-05 14:07:02:045 [FATAL] : Timer Stop.\r\n";
    QTest::newRow("info") << int(QtInfoMsg) << "2026-03-05 14:07:02:045 [SYSTM] : Timer Stop.\r\n";
}

void TstLogMessageHandler::formatLogLine_type_taggedLine()
{
    QFETCH(int, type);
    QFETCH(QString, line);
    const QDateTime time(QDate(2026, 3, 5), QTime(14, 7, 2, 45));
    QCOMPARE(formatLogLine(QtMsgType(type), time, "Timer Stop."), line);
}

void TstLogMessageHandler::lockedWindow_messages_notKept()
{
    qDebug("before unlock");
    QVERIFY(view()->isHidden());
    unlock();
    QVERIFY(!view()->isHidden());
    QVERIFY(passwordField()->isHidden());
    QVERIFY(view()->toPlainText().isEmpty());
    qDebug() << "port" << QString("COM3");
    QVERIFY(view()->toPlainText().endsWith("[DEBUG] : port \"COM3\"\n"));
}

void TstLogMessageHandler::checkPassword_wrongText_staysLocked_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("trailing space") << "quirbentol57 ";
    QTest::newRow("other case") << "Quirbentol57";
    QTest::newRow("empty") << "";
}

void TstLogMessageHandler::checkPassword_wrongText_staysLocked()
{
    QFETCH(QString, typed);
    passwordField()->setText(typed);
    m_window->checkPassword();
    QVERIFY(!m_window->isUnlocked());
    QVERIFY(view()->isHidden());
    QCOMPARE(passwordField()->text(), typed);
    qDebug("while locked");
    QVERIFY(view()->toPlainText().isEmpty());
}

void TstLogMessageHandler::enterInPasswordField_actsLikeShow()
{
    QTest::keyClicks(passwordField(), "quirbentol57");
    QTest::keyClick(passwordField(), Qt::Key_Return);
    QVERIFY(m_window->isUnlocked());
    QVERIFY(!view()->isHidden());
}

void TstLogMessageHandler::appendLog_nonAsciiText_shownIntact()
{
    unlock();
    m_window->appendLog(QString::fromUtf8("unit \xc2\xb5V\r\n"));
    QCOMPARE(view()->toPlainText(), QString::fromUtf8("unit \xc2\xb5V\n"));
}

void TstLogMessageHandler::otherThreadMessage_queuedToGuiThread()
{
    unlock();
    QThread *worker = QThread::create([] { qWarning("from worker"); });
    worker->start();
    QVERIFY(worker->wait(5000));
    delete worker;
    // Nothing may have touched the view from the worker.
    QVERIFY(view()->toPlainText().isEmpty());
    QTRY_VERIFY(view()->toPlainText().endsWith("[WARNG] : from worker\n"));
}

void TstLogMessageHandler::destroyedWindow_laterMessages_dropped()
{
    unlock();
    QThread *worker = QThread::create([] { qWarning("late"); });
    worker->start();
    QVERIFY(worker->wait(5000));
    delete worker;
    delete m_window;
    m_window = nullptr;
    QVERIFY(!g_logWindow);
    qDebug("after close");
    QCoreApplication::processEvents();
}

void TstLogMessageHandler::fatalMessage_lineWrittenOnce()
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"--fatal-child"});
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    const QString err = QString::fromLocal8Bit(child.readAllStandardError());
    QCOMPARE(err.count("[FATAL] : device gone"), 1);
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--fatal-child") == 0) {
        g_logWindow = new LogWindow;
        g_logWindow->findChild<QLineEdit *>("lineEdit")->setText("quirbentol57");
        g_logWindow->checkPassword();
        qInstallMessageHandler(logMessageHandler);
        qFatal("device gone");
    }
    TstLogMessageHandler test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_logmessagehandler.moc"
