#include "widgets/logmessagehandler.h"

#include "widgets/logwindow.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>

LogWindow *g_logWindow = nullptr;

namespace {

// Messages whose type number is below this are dropped; nothing is filtered today.
const int minimumLevel = 0;

const char *levelTag(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return "[DEBUG]";
    case QtWarningMsg:
        return "[WARNG]";
    case QtCriticalMsg:
        return "[CRITC]";
    case QtFatalMsg:
        return "[FATAL]";
    case QtInfoMsg:
        return "[SYSTM]";
    }
    return "[DEBUG]";
}

// Runs on the GUI thread only.
void deliverLine(const QString &line)
{
    if (g_logWindow && g_logWindow->isUnlocked())
        g_logWindow->appendLog(line);
}

} // namespace

QString formatLogLine(QtMsgType type, const QDateTime &time, const QString &message)
{
    return time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss:zzz ")) + QLatin1String(levelTag(type)) +
           QLatin1String(" : ") + message + QLatin1String("\r\n");
}

void logMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    Q_UNUSED(context)
    if (static_cast<int>(type) < minimumLevel)
        return;

    const QString line = formatLogLine(type, QDateTime::currentDateTime(), message);
    // The process ends right after a fatal message, so its line also goes to stderr.
    if (type == QtFatalMsg) {
        fputs(line.toLocal8Bit().constData(), stderr);
        fflush(stderr);
    }

    QCoreApplication *app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread()) {
        deliverLine(line);
    } else if (app && type != QtFatalMsg) {
        QMetaObject::invokeMethod(
            app, [line] { deliverLine(line); }, Qt::QueuedConnection);
    }
}
