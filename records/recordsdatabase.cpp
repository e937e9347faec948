#include "records/recordsdatabase.h"

#include "records/labstore.h"
#include "records/recordschema.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace {

QAtomicInt g_connectionCount;

RecordEvent eventFrom(const QSqlQuery &query)
{
    RecordEvent e;
    QString *fields[] = {&e.timeUtc,      &e.utcOffset,      &e.kind,    &e.model,   &e.serial,
                         &e.firmware,     &e.toolVersion,    &e.setting, &e.command, &e.valueBefore,
                         &e.valueWritten, &e.valueConfirmed, &e.outcome, &e.details};
    for (int i = 0; i < int(std::size(fields)); ++i)
        *fields[i] = query.value(i).toString();
    return e;
}

} // namespace

RecordsDatabase::RecordsDatabase()
    : m_connection(QStringLiteral("records-reader-%1").arg(g_connectionCount.fetchAndAddRelaxed(1)))
{
}

RecordsDatabase::~RecordsDatabase()
{
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

QSqlDatabase RecordsDatabase::database() const
{
    return m_lab ? m_lab->database() : QSqlDatabase::database(m_connection, false);
}

bool RecordsDatabase::openLab(const LabTarget &target)
{
    m_error.clear();
    m_lab = std::make_unique<LabStore>(target);
    if (m_lab->open())
        return true;
    m_error = m_lab->failure().message;
    m_lab.reset();
    return false;
}

bool RecordsDatabase::isOpen() const
{
    if (m_lab)
        return m_lab->isOpen();
    return QSqlDatabase::contains(m_connection) && database().isOpen();
}

bool RecordsDatabase::open(const QString &path)
{
    m_error.clear();
    m_lab.reset();
    // Opening would create an empty file where the writer has not made one yet.
    if (!QFileInfo::exists(path)) {
        m_error = tr("No calibration record yet: %1").arg(QDir::toNativeSeparators(path));
        return false;
    }
    QSqlDatabase db = QSqlDatabase::contains(m_connection)
                          ? database()
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.close();
    db.setDatabaseName(path);
    // The writer may hold the file for a moment.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=3000"));
    if (!db.open()) {
        m_error = db.lastError().text();
        return false;
    }
    QSqlQuery version(db);
    if (!version.exec(QStringLiteral("PRAGMA user_version")) || !version.next()) {
        m_error = version.lastError().text();
        db.close();
        return false;
    }
    if (version.value(0).toInt() > RecordSchema::kVersion) {
        m_error = tr("The calibration record was written by a newer version of the tool.");
        db.close();
        return false;
    }
    return true;
}

QList<RecordedDevice> RecordsDatabase::devices() const
{
    QList<RecordedDevice> list;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT DISTINCT model, serial FROM events ORDER BY model, serial")))
        return list;
    while (query.next())
        list.append({query.value(0).toString(), query.value(1).toString()});
    return list;
}

QList<RecordEvent> RecordsDatabase::events(const RecordedDevice &device, const QString &toUtc) const
{
    QList<RecordEvent> list;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral(
        "SELECT time_utc, utc_offset, kind, model, serial, firmware, tool_version, setting,"
        " command, value_before, value_written, value_confirmed, outcome, details"
        " FROM events WHERE model = ? AND serial = ? AND (coalesce(?, '') = '' OR time_utc < ?)"
        " ORDER BY time_utc, id"));
    query.addBindValue(device.model);
    query.addBindValue(device.serial);
    query.addBindValue(toUtc);
    query.addBindValue(toUtc);
    if (!query.exec())
        return list;
    while (query.next())
        list.append(eventFrom(query));
    return list;
}

QString RecordsDatabase::firstEventTime(const RecordedDevice &device) const
{
    QSqlQuery query(database());
    query.prepare(QStringLiteral("SELECT MIN(time_utc) FROM events WHERE model = ? AND serial = ?"));
    query.addBindValue(device.model);
    query.addBindValue(device.serial);
    return query.exec() && query.next() ? query.value(0).toString() : QString();
}
