#include "widgets/logmessagehandler.h"
#include "widgets/logwindow.h"
#include "widgets/ptermview.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
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
    void gate_typedPassword_keepsOnlyLaterLines_data();
    void gate_typedPassword_keepsOnlyLaterLines();
    void appendLog_nonAsciiText_shownIntact();
    void otherThreadMessage_queuedToGuiThread();
    void fatalMessage_lineWrittenOnce();

private:
    PTermView *view() const { return m_window->findChild<PTermView *>("textEdit"); }
    QLineEdit *passwordField() const { return m_window->findChild<QLineEdit *>("lineEdit"); }
    static void logFromWorker(const char *text);

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
    QVERIFY(!g_logWindow);
}

void TstLogMessageHandler::logFromWorker(const char *text)
{
    QScopedPointer<QThread> worker(QThread::create([text] { qWarning("%s", text); }));
    worker->start();
    QVERIFY(worker->wait(5000));
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

void TstLogMessageHandler::gate_typedPassword_keepsOnlyLaterLines_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("unlocked");
    QTest::newRow("show button") << "quirbentol57" << int(Qt::Key_Space) << true;
    QTest::newRow("enter") << "quirbentol57" << int(Qt::Key_Return) << true;
    QTest::newRow("trailing space") << "quirbentol57 " << int(Qt::Key_Return) << false;
    QTest::newRow("other case") << "Quirbentol57" << int(Qt::Key_Space) << false;
    QTest::newRow("empty") << "" << int(Qt::Key_Return) << false;
}

void TstLogMessageHandler::gate_typedPassword_keepsOnlyLaterLines()
{
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(bool, unlocked);
    qDebug("before");
    QTest::keyClicks(passwordField(), typed);
    // Space on the focused "show" button clicks it.
    QTest::keyClick(key == Qt::Key_Return ? static_cast<QWidget *>(passwordField())
                                          : m_window->findChild<QWidget *>("pushButton"),
                    Qt::Key(key));
    qDebug("after");
    QCOMPARE(m_window->isUnlocked(), unlocked);
    QCOMPARE(view()->isHidden(), !unlocked);
    QCOMPARE(passwordField()->isHidden(), unlocked);
    if (unlocked) {
        QVERIFY(view()->toPlainText().endsWith(" [DEBUG] : after\n"));
        QVERIFY(!view()->toPlainText().contains("before"));
    } else {
        QVERIFY(view()->toPlainText().isEmpty());
        QCOMPARE(passwordField()->text(), typed);
    }
}

void TstLogMessageHandler::appendLog_nonAsciiText_shownIntact()
{
    m_window->appendLog(QString::fromUtf8("unit \xc2\xb5V\r\n"));
    QCOMPARE(view()->toPlainText(), QString::fromUtf8("unit \xc2\xb5V\n"));
}

void TstLogMessageHandler::otherThreadMessage_queuedToGuiThread()
{
    passwordField()->setText("quirbentol57");
    m_window->checkPassword();
    logFromWorker("from worker");
    QVERIFY(view()->toPlainText().isEmpty()); // not touched from the worker
    QTRY_VERIFY(view()->toPlainText().endsWith("[WARNG] : from worker\n"));

    logFromWorker("late");
    delete m_window;
    m_window = nullptr;
    QCoreApplication::processEvents(); // the queued line finds no window
}

void TstLogMessageHandler::fatalMessage_lineWrittenOnce()
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"--fatal-child"});
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QCOMPARE(QString::fromLocal8Bit(child.readAllStandardError()).count("[FATAL] : device gone"), 1);
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
