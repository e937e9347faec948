#include "records/calibrationrecord.h"

#include "device/devicemodels.h"
#include "records/recordschema.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUuid>
#include <QVariant>

#include <atomic>

namespace {

std::atomic<int> g_connections{0};

QString sqlError(const QSqlError &error)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return text.isEmpty() ? QStringLiteral("unknown error") : text;
}

// A text column that may hold NULL: a null QString binds as NULL.
QVariant nullable(const QString &text)
{
    return text.isNull() ? QVariant(QVariant::String) : QVariant(text);
}

QVariant notNull(const QString &text)
{
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text);
}

} // namespace

CalibrationRecord::CalibrationRecord(const QString &folder, QObject *parent)
    : QObject(parent), m_filePath(QDir(folder.isEmpty() ? defaultFolder() : folder)
                                      .absoluteFilePath(QLatin1String(RecordSchema::kFileName))),
      m_connection(QStringLiteral("calibration-record-%1").arg(g_connections++)),
      m_tool(QLatin1String(RecordSchema::kToolWindow))
{
}

CalibrationRecord::~CalibrationRecord()
{
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

QString CalibrationRecord::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString CalibrationRecord::toolVersion()
{
    return QStringLiteral(TQ_VERSION);
}

QString CalibrationRecord::modelName(int tqModel)
{
    return DeviceModels::name(tqModel);
}

QString CalibrationRecord::utcText(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QString CalibrationRecord::offsetText(const QDateTime &time)
{
    const int seconds = time.toLocalTime().offsetFromUtc();
    const int minutes = qAbs(seconds) / 60;
    return QStringLiteral("%1%2:%3")
        .arg(seconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString CalibrationRecord::unavailableMessage() const
{
    return tr("The calibration record cannot be written: %1. The tool carries on without it.").arg(m_reason);
}

bool CalibrationRecord::fail(const QString &what, const QString &why)
{
    m_reason = what;
    m_error = QStringLiteral("%1 (%2: %3)").arg(what, QDir::toNativeSeparators(m_filePath), why);
    m_open = false;
    if (QSqlDatabase::contains(m_connection))
        QSqlDatabase::database(m_connection, false).close();
    return false;
}

bool CalibrationRecord::open()
{
    if (m_open)
        return true;
    const QString folder = QFileInfo(m_filePath).absolutePath();
    if (!QDir().mkpath(folder))
        return fail(tr("the folder cannot be created"), folder);
    QSqlDatabase db = QSqlDatabase::contains(m_connection)
                          ? QSqlDatabase::database(m_connection, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    if (!db.isValid())
        return fail(tr("Qt's SQLite driver is missing"), sqlError(db.lastError()));
    db.setDatabaseName(m_filePath);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!db.open())
        return fail(tr("the file cannot be opened"), sqlError(db.lastError()));

    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return fail(tr("the file is not a calibration record"), sqlError(query.lastError()));
    const int version = query.value(0).toInt();
    if (version > RecordSchema::kVersion)
        return fail(tr("the file was written by a newer version of the tool"),
                    QStringLiteral("user_version %1").arg(version));
    // WAL: a killed process leaves every committed event readable. FULL: each commit reaches the
    // disk before append returns, so a power cut loses no event either (NORMAL would in WAL); one
    // flush per event is nothing at the pace of a calibration.
    // A file that cannot be written fails at BEGIN below, with the reason.
    query.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    query.finish();
    if (!query.exec(QStringLiteral("PRAGMA synchronous=FULL")) ||
        !query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return fail(tr("the file cannot be written"), sqlError(query.lastError()));
    // Read again under the lock: another copy of the tool may have raised the file meanwhile.
    const int lockedVersion =
        query.exec(QStringLiteral("PRAGMA user_version")) && query.next() ? query.value(0).toInt() : version;
    QStringList statements;
    for (const char *statement : RecordSchema::kCreateStatements)
        statements.append(QLatin1String(statement));
    for (const RecordSchema::Migration &migration : RecordSchema::kMigrations) {
        if (migration.version > lockedVersion)
            statements.append(QLatin1String(migration.statement));
    }
    if (lockedVersion < RecordSchema::kVersion)
        statements.append(QStringLiteral("PRAGMA user_version=%1").arg(RecordSchema::kVersion));
    for (const QString &statement : qAsConst(statements)) {
        if (!query.exec(statement)) {
            const QString why = sqlError(query.lastError());
            query.exec(QStringLiteral("ROLLBACK"));
            return fail(tr("the file cannot be written"), why);
        }
    }
    if (!query.exec(QStringLiteral("COMMIT"))) {
        const QString why = sqlError(query.lastError());
        query.exec(QStringLiteral("ROLLBACK"));
        return fail(tr("the file cannot be written"), why);
    }
    m_open = true;
    m_error.clear();
    m_reason.clear();
    return true;
}

bool CalibrationRecord::append(const CalibrationEvent &event)
{
    if (!open())
        return false;
    const QDateTime time = event.time.isValid() ? event.time : QDateTime::currentDateTime();
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(
        QStringLiteral("INSERT INTO events (time_utc, utc_offset, kind, model, serial, firmware, "
                       "tool_version, setting, command,"
                       " value_before, value_written, value_confirmed, outcome, details, tool, uuid)"
                       " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const QVariant &value :
         {QVariant(utcText(time)), QVariant(offsetText(time)), QVariant(event.kind), notNull(event.model),
          notNull(event.serial), notNull(event.firmware), QVariant(toolVersion()), nullable(event.setting),
          nullable(event.command), nullable(event.valueBefore), nullable(event.valueWritten),
          nullable(event.valueConfirmed), nullable(event.outcome), nullable(event.details), QVariant(m_tool),
          QVariant(QUuid::createUuid().toString(QUuid::WithoutBraces))})
        query.addBindValue(value);
    // Autocommit: the event is on disk when exec returns.
    if (!query.exec())
        return fail(tr("an event cannot be added"), sqlError(query.lastError()));
    emit appended();
    return true;
}
