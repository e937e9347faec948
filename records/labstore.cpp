#include "records/labstore.h"

#include <QRegularExpression>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>
#include <QUuid>

namespace {

// The lab's layout: the same events as the file, each with the uuid it was given on its bench.
// Version 1 is the file's version 3; the tables are the owner's, the trigger its guard.
// Run on every set-up by the owner; idempotent.
constexpr const char *kCreateStatements[] = {
    "CREATE TABLE IF NOT EXISTS records_schema (version integer NOT NULL)",
    "INSERT INTO records_schema SELECT 0 WHERE NOT EXISTS (SELECT 1 FROM records_schema)",
};

// The changes of the lab's layout, each run once by the owner in the transaction that raises
// records_schema to its version. Version 1: the same events as the file, each with the uuid it
// was given on its bench (the file's version 3).
struct LabMigration
{
    int version;
    const char *statement;
};
constexpr LabMigration kMigrations[] = {
    {1, "CREATE TABLE events ("
        " id bigserial PRIMARY KEY,"
        " uuid uuid NOT NULL UNIQUE,"
        " time_utc text NOT NULL,"
        " utc_offset text NOT NULL,"
        " kind text NOT NULL CHECK (kind IN ('read', 'write', 'action')),"
        " model text NOT NULL,"
        " serial text NOT NULL,"
        " firmware text NOT NULL,"
        " tool_version text NOT NULL,"
        " setting text, command text, value_before text, value_written text, value_confirmed text,"
        " outcome text, details text, tool text,"
        " received_utc timestamptz NOT NULL DEFAULT now())"}, // when the lab got it from the bench
    {1, "CREATE INDEX events_device ON events (model, serial, time_utc)"},
    // Append-only for everyone but the owner (and the roles it is made of), whatever they were
    // granted: an audit trail that a technician's role cannot edit even by mistake.
    {1,
     "CREATE OR REPLACE FUNCTION records_append_only() RETURNS trigger LANGUAGE plpgsql AS $$"
     " BEGIN"
     "  IF NOT pg_has_role(current_user, (SELECT relowner FROM pg_class WHERE oid = TG_RELID), 'USAGE') THEN"
     "   RAISE EXCEPTION 'calibration records are append-only';"
     "  END IF;"
     "  RETURN NULL;"
     " END $$"},
    {1, "CREATE TRIGGER events_append_only BEFORE UPDATE OR DELETE OR TRUNCATE ON events"
        " FOR EACH STATEMENT EXECUTE FUNCTION records_append_only()"},
};

// Any number: two benches creating the layout at once wait for each other on it.
constexpr qint64 kLayoutLock = 0x5451524543;

QString driverText(const QSqlError &error)
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return text.trimmed();
}

} // namespace

QString LabTarget::configuredUrl()
{
    if (qEnvironmentVariableIsSet(kEnvironment))
        return qEnvironmentVariable(kEnvironment).trimmed();
    return QSettings().value(QLatin1String(kSettingsKey)).toString().trimmed();
}

QString LabTarget::redacted(const QString &url)
{
    static const QRegularExpression userInfo(QStringLiteral("(://[^/:@]*):[^@/]*@"));
    static const QRegularExpression queryPassword(QStringLiteral("([?&]password=)[^&]*"));
    QString text = url;
    text.replace(userInfo, QStringLiteral("\\1:***@"));
    text.replace(queryPassword, QStringLiteral("\\1***"));
    return text;
}

LabTarget LabTarget::parse(const QString &text)
{
    LabTarget target;
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != QLatin1String("postgresql") && scheme != QLatin1String("postgres"))) {
        target.error =
            tr("\"%1\" is not a lab database URL such as postgresql://bench3@lab-db:5432/calibration")
                .arg(redacted(text));
        return target;
    }
    target.host = url.host();
    target.port = url.port(-1);
    target.user = url.userName();
    target.database = url.path().mid(1);
    QStringList options;
    bool sslMode = false;
    bool timeout = false;
    const auto items = QUrlQuery(url).queryItems(QUrl::FullyDecoded);
    for (const auto &item : items) {
        if (item.first == QLatin1String("password"))
            continue;
        // Qt's driver splits its options at ';' and libpq its at blanks: neither may be in a value.
        if (item.second.contains(QLatin1Char(';')) || item.second.contains(QLatin1Char(' '))) {
            target.error = tr("the lab database URL's %1 holds a blank or a ';'").arg(item.first);
            return target;
        }
        sslMode = sslMode || item.first == QLatin1String("sslmode");
        timeout = timeout || item.first == QLatin1String("connect_timeout");
        options.append(item.first + QLatin1Char('=') + item.second);
    }
    // TLS when the server offers it; a down server or an unknown host is told within seconds.
    if (!sslMode)
        options.append(QStringLiteral("sslmode=prefer"));
    if (!timeout)
        options.append(QStringLiteral("connect_timeout=5"));
    target.options = options.join(QLatin1Char(';'));
    QUrl shown = url;
    shown.setPassword(QString());
    QUrlQuery query(url);
    query.removeAllQueryItems(QStringLiteral("password"));
    shown.setQuery(query);
    target.shown = shown.toString();
    shown.setUserName(QString());
    target.place = shown.toString();
    return target;
}

LabTarget LabTarget::configured()
{
    const QString url = configuredUrl();
    return url.isEmpty() ? LabTarget() : parse(url);
}

const QStringList &LabStore::columns()
{
    static const QStringList names = {QStringLiteral("uuid"),
                                      QStringLiteral("time_utc"),
                                      QStringLiteral("utc_offset"),
                                      QStringLiteral("kind"),
                                      QStringLiteral("model"),
                                      QStringLiteral("serial"),
                                      QStringLiteral("firmware"),
                                      QStringLiteral("tool_version"),
                                      QStringLiteral("setting"),
                                      QStringLiteral("command"),
                                      QStringLiteral("value_before"),
                                      QStringLiteral("value_written"),
                                      QStringLiteral("value_confirmed"),
                                      QStringLiteral("outcome"),
                                      QStringLiteral("details"),
                                      QStringLiteral("tool")};
    return names;
}

LabStore::LabStore(const LabTarget &target)
    : m_target(target),
      m_connection(QStringLiteral("lab-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

LabStore::~LabStore()
{
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

QSqlDatabase LabStore::database() const
{
    return QSqlDatabase::database(m_connection, false);
}

bool LabStore::isOpen() const
{
    return QSqlDatabase::contains(m_connection) && database().isOpen();
}

void LabStore::close()
{
    if (QSqlDatabase::contains(m_connection))
        database().close();
}

bool LabStore::fail(LabFailure::Kind kind, const QString &message)
{
    m_failure = {kind, message};
    close();
    return false;
}

LabFailure LabStore::classify(const LabTarget &target, const QString &text)
{
    const QString where = target.shown;
    if (text.contains(QLatin1String("password authentication failed")) ||
        text.contains(QLatin1String("no password supplied")) ||
        text.contains(QLatin1String("authentication failed")))
        return {
            LabFailure::Refused,
            tr("the lab database %1 refused the password: check the password file (~/.pgpass or PGPASSFILE)")
                .arg(where)};
    if (text.contains(QLatin1String("translate host name")))
        return {LabFailure::Unreachable, tr("the lab database's host \"%1\" is unknown").arg(target.host)};
    if (text.contains(QLatin1String("does not exist")))
        return {LabFailure::Refused, tr("the lab database %1 refused the connection: %2").arg(where, text)};
    return {
        LabFailure::Unreachable,
        tr("the lab database %1 cannot be reached: %2").arg(where, text.section(QLatin1Char('\n'), 0, 0))};
}

bool LabStore::open()
{
    if (isOpen())
        return true;
    if (!m_target.isValid())
        return fail(LabFailure::Refused, m_target.error);
    QSqlDatabase db = QSqlDatabase::contains(m_connection)
                          ? database()
                          : QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connection);
    if (!db.isValid())
        return fail(LabFailure::Unreachable,
                    tr("Qt's PostgreSQL driver is missing (Debian package libqt5sql5-psql)"));
    db.setHostName(m_target.host);
    if (m_target.port > 0)
        db.setPort(m_target.port);
    db.setDatabaseName(m_target.database);
    db.setUserName(m_target.user);
    db.setConnectOptions(m_target.options);
    if (!db.open()) {
        m_failure = classify(m_target, driverText(db.lastError()));
        close();
        return false;
    }
    return ensureLayout();
}

bool LabStore::ensureLayout()
{
    QSqlQuery query(database());
    // The usual case, for every role: the layout is there and current.
    if (query.exec(QStringLiteral("SELECT version FROM records_schema")) && query.next()) {
        const int version = query.value(0).toInt();
        if (version > kVersion)
            return fail(
                LabFailure::Layout,
                tr("the lab database %1 was set up by a newer version of the tool").arg(m_target.shown));
        if (version == kVersion)
            return true;
    }
    query.finish();
    QStringList statements = {QStringLiteral("BEGIN"),
                              QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kLayoutLock)};
    for (const char *statement : kCreateStatements)
        statements.append(QLatin1String(statement));
    int version = 0;
    for (const QString &statement : qAsConst(statements)) {
        if (!query.exec(statement))
            break;
    }
    if (!query.lastError().isValid() && query.exec(QStringLiteral("SELECT version FROM records_schema")) &&
        query.next())
        version = query.value(0).toInt();
    if (!query.lastError().isValid()) {
        for (const LabMigration &migration : kMigrations) {
            if (migration.version > version && !query.exec(QLatin1String(migration.statement)))
                break;
        }
    }
    if (!query.lastError().isValid() && version < kVersion)
        query.exec(QStringLiteral("UPDATE records_schema SET version = %1").arg(kVersion));
    if (!query.lastError().isValid() && query.exec(QStringLiteral("COMMIT")))
        return true;
    const QString why = driverText(query.lastError());
    query.exec(QStringLiteral("ROLLBACK"));
    return fail(
        LabFailure::Layout,
        tr("the lab database %1 has no calibration records of this version and this role may not set them "
           "up (%2): have the database's owner run \"tqcal records sync\" once")
            .arg(m_target.shown, why));
}

bool LabStore::insert(const QList<QVariantList> &rows)
{
    if (!open())
        return false;
    QSqlDatabase db = database();
    // A connection the server dropped since (a restart) is made again once before it counts.
    if (!db.transaction()) {
        close();
        if (!open())
            return false;
        db = database();
        if (!db.transaction()) {
            m_failure = classify(m_target, driverText(db.lastError()));
            close();
            return false;
        }
    }
    QStringList marks;
    for (int i = 0; i < columns().size(); ++i)
        marks.append(QStringLiteral("?"));
    QSqlQuery query(db);
    // Idempotent: an event sent twice (a lost reply, two benches sharing a file) is kept once.
    query.prepare(QStringLiteral("INSERT INTO events (%1) VALUES (%2) ON CONFLICT (uuid) DO NOTHING")
                      .arg(columns().join(QLatin1String(", ")), marks.join(QLatin1String(", "))));
    for (const QVariantList &row : rows) {
        for (const QVariant &value : row)
            query.addBindValue(value);
        if (!query.exec()) {
            const QString why = driverText(query.lastError());
            db.rollback();
            const bool connected = db.isOpen() && QSqlQuery(db).exec(QStringLiteral("SELECT 1"));
            if (!connected)
                m_failure = classify(m_target, why);
            else
                m_failure = {LabFailure::Layout,
                             tr("the lab database %1 refused an event: %2").arg(m_target.shown, why)};
            close();
            return false;
        }
    }
    if (!db.commit()) {
        m_failure = classify(m_target, driverText(db.lastError()));
        close();
        return false;
    }
    return true;
}
