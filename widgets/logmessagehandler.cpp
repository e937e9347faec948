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

// Runs on the GUI thread only. A locked window keeps nothing, so nothing is formatted for it.
void deliver(QtMsgType type, qint64 msecsSinceEpoch, const QString &message)
{
    if (g_logWindow && g_logWindow->isUnlocked())
        g_logWindow->logMessage(type, msecsSinceEpoch, message);
}

} // namespace

bool logWanted()
{
    return !g_logWindow || g_logWindow->isUnlocked();
}

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

    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    // The process ends right after a fatal message, so its line also goes to stderr.
    if (type == QtFatalMsg) {
        fputs(formatLogLine(type, QDateTime::fromMSecsSinceEpoch(now), message).toLocal8Bit().constData(),
              stderr);
        fflush(stderr);
    }

    QCoreApplication *app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread()) {
        deliver(type, now, message);
    } else if (app && type != QtFatalMsg) {
        QMetaObject::invokeMethod(
            app, [type, now, message] { deliver(type, now, message); }, Qt::QueuedConnection);
    }
}
