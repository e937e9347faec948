#include "records/uploader.h"

#include "records/duedates.h"
#include "records/recordsdatabase.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>
#include <QUuid>

namespace {

// The upload bookmark: bookkeeping of this bench, kept beside the events but not one of them.
constexpr const char *kBookmarkTable =
    "CREATE TABLE IF NOT EXISTS lab_uploads (target TEXT PRIMARY KEY, last_id INTEGER NOT NULL)";

} // namespace

JournalUploader::JournalUploader(const QString &journalFile, const LabTarget &target)
    : m_file(journalFile),
      m_connection(QStringLiteral("upload-") + QUuid::createUuid().toString(QUuid::WithoutBraces)),
      m_store(target)
{
}

JournalUploader::~JournalUploader()
{
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

bool JournalUploader::openJournal(QString *error)
{
    QSqlDatabase db = QSqlDatabase::contains(m_connection)
                          ? QSqlDatabase::database(m_connection, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    if (db.isOpen())
        return true;
    // Opening would create the file; until a first event there is nothing to send.
    if (!QFileInfo::exists(m_file))
        return true;
    db.setDatabaseName(m_file);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=3000"));
    QSqlQuery query(db);
    if (!db.open() || !query.exec(QLatin1String(kBookmarkTable))) {
        const QString why = query.lastError().isValid() ? query.lastError().text() : db.lastError().text();
        *error =
            tr("the calibration record %1 cannot be read: %2").arg(QDir::toNativeSeparators(m_file), why);
        db.close();
        return false;
    }
    return true;
}

qint64 JournalUploader::bookmark()
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT last_id FROM lab_uploads WHERE target = ?"));
    query.addBindValue(m_store.target().place);
    return query.exec() && query.next() ? query.value(0).toLongLong() : 0;
}

int JournalUploader::waiting(QString *localError)
{
    QString error;
    if (!openJournal(&error)) {
        if (localError)
            *localError = error;
        return -1;
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.isOpen())
        return 0;
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT count(*) FROM events WHERE id > ?"));
    query.addBindValue(bookmark());
    if (query.exec() && query.next())
        return query.value(0).toInt();
    if (localError)
        *localError = tr("the calibration record %1 cannot be read: %2")
                          .arg(QDir::toNativeSeparators(m_file), query.lastError().text());
    return -1;
}

JournalUploader::Result JournalUploader::sync()
{
    Result result;
    result.waiting = waiting(&result.localError);
    if (result.waiting < 0)
        return result;
    // Even with nothing to send: the owner's first sync sets up the lab's tables, and a bench
    // learns that it reaches them.
    if (!m_store.open()) {
        result.failure = m_store.failure();
        return result;
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    const QString columns = LabStore::columns().join(QLatin1String(", "));
    while (result.waiting > 0) {
        const qint64 from = bookmark();
        QSqlQuery select(db);
        select.setForwardOnly(true);
        select.prepare(QStringLiteral("SELECT id, %1 FROM events WHERE id > ? ORDER BY id LIMIT %2")
                           .arg(columns)
                           .arg(kBatch));
        select.addBindValue(from);
        if (!select.exec()) {
            result.localError = tr("the calibration record %1 cannot be read: %2")
                                    .arg(QDir::toNativeSeparators(m_file), select.lastError().text());
            return result;
        }
        QList<QVariantList> rows;
        qint64 last = from;
        while (select.next()) {
            last = select.value(0).toLongLong();
            QVariantList row;
            for (int i = 1; i <= LabStore::columns().size(); ++i)
                row.append(select.value(i));
            rows.append(row);
        }
        select.finish();
        if (rows.isEmpty())
            break;
        if (!m_store.insert(rows)) {
            result.failure = m_store.failure();
            return result;
        }
        // Another uploader of the file may have gone further meanwhile: the bookmark never goes back.
        QSqlQuery mark(db);
        mark.prepare(
            QStringLiteral("INSERT INTO lab_uploads (target, last_id) VALUES (?, ?) ON CONFLICT (target)"
                           " DO UPDATE SET last_id = max(last_id, excluded.last_id)"));
        mark.addBindValue(m_store.target().place);
        mark.addBindValue(last);
        if (!mark.exec()) {
            result.localError = tr("the calibration record %1 cannot be written: %2")
                                    .arg(QDir::toNativeSeparators(m_file), mark.lastError().text());
            return result;
        }
        result.uploaded += rows.size();
        result.waiting = waiting(&result.localError);
    }
    return result;
}

namespace {

// Lives on LabSync's thread: its connections are made, used and closed there.
class SyncWorker : public QObject
{
    Q_OBJECT
public:
    SyncWorker(const QString &file, const LabTarget &target) : m_file(file), m_target(target) {}

    void start()
    {
        m_uploader = std::make_unique<JournalUploader>(m_file, m_target);
        m_timer = new QTimer(this);
        m_timer->setSingleShot(true);
        connect(m_timer, &QTimer::timeout, this, &SyncWorker::round);
        round();
    }
    void stop()
    {
        delete m_timer;
        m_timer = nullptr;
        m_uploader.reset();
    }
    // Events come in bursts (a refresh, a write): one round after the burst.
    void soon()
    {
        if (m_timer)
            m_timer->start(200);
    }

    void checkDue(const QString &model, const QString &serial)
    {
        if (!m_uploader)
            return;
        RecordsDatabase local;
        LabStore &lab = m_uploader->store();
        const QSqlDatabase db = lab.open()           ? lab.database()
                                : local.open(m_file) ? local.database()
                                                     : QSqlDatabase();
        const DueSensor due =
            db.isValid() ? DueDates::check(db, model, serial, QDate::currentDate(), DueDates::intervalMonths)
                         : DueSensor{};
        emit dueChecked(model, serial, due.model.isEmpty() ? QString() : DueDates::text(due));
    }

signals:
    void waitingChanged(int waiting, const QString &reason);
    void dueChecked(const QString &model, const QString &serial, const QString &text);

private:
    void round()
    {
        const JournalUploader::Result result = m_uploader->sync();
        QString reason = result.localError.isEmpty() ? result.failure.message : result.localError;
        if (reason != m_lastReason && !reason.isEmpty())
            qDebug().noquote() << "lab database:" << reason;
        m_lastReason = reason;
        emit waitingChanged(qMax(result.waiting, 0), result.waiting > 0 ? reason : QString());
        if (result.waiting > 0 || !result.ok())
            m_timer->start(LabSync::kRetryMs);
    }

    QString m_file;
    LabTarget m_target;
    std::unique_ptr<JournalUploader> m_uploader;
    QTimer *m_timer = nullptr;
    QString m_lastReason;
};

} // namespace

LabSync::LabSync(const QString &journalFile, const LabTarget &target, QObject *parent)
    : QObject(parent), m_thread(new QThread(this))
{
    auto *worker = new SyncWorker(journalFile, target);
    m_worker = worker;
    worker->moveToThread(m_thread);
    connect(m_thread, &QThread::started, worker, &SyncWorker::start);
    connect(m_thread, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &SyncWorker::waitingChanged, this, &LabSync::waitingChanged);
    connect(worker, &SyncWorker::dueChecked, this, &LabSync::dueChecked);
    m_thread->setObjectName(QStringLiteral("lab upload"));
    m_thread->start(QThread::LowPriority);
}

LabSync::~LabSync()
{
    QMetaObject::invokeMethod(
        m_worker, [worker = static_cast<SyncWorker *>(m_worker)] { worker->stop(); },
        Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
}

QString LabSync::waitingText(int waiting)
{
    return waiting > 0 ? tr("records: %1 waiting for the lab database").arg(waiting) : QString();
}

void LabSync::nudge()
{
    QMetaObject::invokeMethod(
        m_worker, [worker = static_cast<SyncWorker *>(m_worker)] { worker->soon(); }, Qt::QueuedConnection);
}

void LabSync::checkDue(const QString &model, const QString &serial)
{
    QMetaObject::invokeMethod(
        m_worker,
        [worker = static_cast<SyncWorker *>(m_worker), model, serial] { worker->checkDue(model, serial); },
        Qt::QueuedConnection);
}

#include "uploader.moc"
