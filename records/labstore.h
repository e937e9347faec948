#pragma once

#include <QCoreApplication>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

// Where a lab keeps the records of every bench: a PostgreSQL URL such as
// postgresql://bench3@lab-db:5432/calibration. Its query items go to libpq as they are
// (sslmode, connect_timeout, host=/run/postgresql, service=...). A password in the URL is never
// used: credentials come from libpq's password file or service file only, so the URL can be
// shown, logged and put on a command line.
struct LabTarget
{
    Q_DECLARE_TR_FUNCTIONS(LabTarget)

public:
    static constexpr const char *kSettingsKey = "records/url";
    static constexpr const char *kEnvironment = "TQ_RECORDS_URL";

    QString host;
    int port = -1;
    QString database;
    QString user;
    QString options; // libpq's key=value pairs, ';' between them, as Qt's driver takes them
    QString shown;   // the URL without any password, for messages
    QString place;   // the URL without user or password: one database, whoever sends to it
    QString error;   // why the URL is refused; empty when it is good

    bool isValid() const { return error.isEmpty(); }

    // The environment wins over the settings file; an empty variable turns the lab store off.
    static QString configuredUrl();
    static LabTarget parse(const QString &url);
    // The configured target; isNull when none is configured.
    static LabTarget configured();
    bool isNull() const { return shown.isEmpty() && error.isEmpty(); }
    // The URL with its password (if any) replaced, for a message about a URL that did not parse.
    static QString redacted(const QString &url);
};

// What went wrong with the lab database, in the words a technician acts on.
struct LabFailure
{
    enum Kind
    {
        None,
        Unreachable,
        Refused,
        Layout
    };
    Kind kind = None;
    QString message;
};

// One connection to the lab database, in the thread that made it. Creates or raises its layout
// when the role may (the owner); a technician's role only adds and reads events.
class LabStore
{
    Q_DECLARE_TR_FUNCTIONS(LabStore)

public:
    // The layout of the lab's tables; raised with every change, as the file's is.
    static constexpr int kVersion = 1;
    // A whole event as the upload sends it, in the column order of kColumns.
    static const QStringList &columns();

    explicit LabStore(const LabTarget &target);
    ~LabStore();
    LabStore(const LabStore &) = delete;
    LabStore &operator=(const LabStore &) = delete;

    // Connects and makes sure of the layout; false with failure().
    bool open();
    bool isOpen() const;
    void close();
    LabFailure failure() const { return m_failure; }
    QSqlDatabase database() const;
    const LabTarget &target() const { return m_target; }

    // Adds the events (each a row in columns() order) in one transaction; an event whose uuid the
    // store holds already is skipped. False with failure() and nothing added.
    bool insert(const QList<QVariantList> &rows);

    // A clear message for a libpq error text; exposed for the tests of the wording.
    static LabFailure classify(const LabTarget &target, const QString &driverText);

private:
    bool ensureLayout();
    bool fail(LabFailure::Kind kind, const QString &message);

    LabTarget m_target;
    QString m_connection;
    LabFailure m_failure;
};
