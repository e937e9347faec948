#pragma once

// Turns the toolkit's messages into time-stamped lines for the log window.

#include <QDateTime>
#include <QString>
#include <QtGlobal>

class LogWindow;

// The single log window; while null, or while it is locked, messages are dropped.
extern LogWindow *g_logWindow;

// Whether a message logged now could be read. False only while the log window exists and is locked,
// when the handler drops every message: a caller then skips building a costly message text.
bool logWanted();

// One log line: "yyyy-MM-dd hh:mm:ss:zzz [TAG] : message\r\n".
QString formatLogLine(QtMsgType type, const QDateTime &time, const QString &message);

// Application-wide message handler. Safe to call from any thread: lines from other
// threads are handed to the GUI thread before they reach the window.
void logMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);
